// BWaveWindow: the waveform window. A tool window owned by the main window
// that shows the sound in the player as a min/max envelope on a time ruler,
// the marked range as a shaded band, the play position as a line and, for the
// playlist, the boundaries between its fragments with their names. The mouse
// wheel zooms (with Ctrl) and scrolls, a click sets the play position, a drag
// marks a range, a double click marks everything, Escape cancels the range.
//
// It keeps only a picture: the sound comes from the main window through
// SetSound, the play position and the marked range are read from the host
// when it says they changed (Refresh; the player panel holds them), and what
// the user does goes back to the host, which applies the panel's rules.
//
// The envelope, the range band, the ruler and the playlist's boundaries are
// kept in a picture of the whole window, drawn again only when the sound, the
// view, the size or the range changes; a new play position repaints just the
// old and the new play line's columns from it, which keeps playback (about 50
// positions a second) cheap.
//
// Threads: the user-interface thread only. The main window owns the object
// and the host; the window is destroyed with the object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "peak_pyramid.h"
#include "wave_placement.h"
#include "wave_viewport.h"
#include "toolkit/window_impl.h"

// What the user does in the waveform window, as the main window handles it.
class BWaveWindowHost {
 public:
  virtual ~BWaveWindowHost() = default;
  // A click: the play position moves to `sample`, as a trackbar move would.
  virtual void OnWaveSeek(uint32_t sample) = 0;
  // A drag: the range [start, end] is marked as Ctrl+B at start and Ctrl+E at
  // end would mark it. Called while the drag goes on.
  virtual void OnWaveMark(uint32_t start, uint32_t end) = 0;
  virtual void OnWaveMarkAll() = 0;
  virtual void OnWaveCancelRange() = 0;
  // The user hid the window (its caption button) or moved or sized it.
  virtual void OnWavePlacementChanged() = 0;
  // The play position and the marked range (none when end <= start).
  virtual void GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) = 0;
  // Marking (drag, double click, Escape) follows the range commands' rules.
  virtual bool IsWaveMarkingAllowed() = 0;
};

// A fragment of the playlist: where it begins in the sound, and its name.
struct BWaveSegment {
  uint32_t start = 0;
  std::wstring name;
};

class BWaveWindow : public BWindowImpl {
 public:
  static constexpr const wchar_t* kClassName = L"SireltaWaveWindow";

  explicit BWaveWindow(BWaveWindowHost& host) : m_host(host) {}
  ~BWaveWindow() override;

  // Creates the window hidden, owned by `owner`, at the remembered place (moved
  // onto the nearest monitor when it lies on none) or beside the owner.
  bool Create(HINSTANCE instance, HWND owner, const BWavePlacement& placement,
              const std::wstring& title, const std::wstring& emptyHint);
  void Show(bool visible);
  bool IsShown() const;
  // Where the window is now, for the settings.
  BWavePlacement GetPlacement() const;

  // A new sound (copied); `keepView` keeps zoom and scroll (an edit of the same
  // sound), otherwise the whole sound is shown. Segments only for the playlist.
  void SetSound(const uint8_t* samples, uint32_t count, bool keepView,
                std::vector<BWaveSegment> segments = {});
  // The position or the range changed: the window reads them from the host
  // and repaints what changed (the view follows a play position that walks
  // out of it).
  void Refresh();

  const BWaveViewport& Viewport() const { return m_viewport; }
  // The extremes of the shown sound over [first, last).
  BPeak SoundPeak(uint32_t first, uint32_t last) const { return m_pyramid.Range(first, last); }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct Layout {
    RECT ruler;
    RECT wave;
  };
  Layout GetLayout() const;
  uint32_t SampleAtPoint(int x) const;
  bool ReadCursor();

  void OnSize();
  void OnPaint();
  bool UpdatePicture(HDC screen, const RECT& client);
  void ReleasePicture();
  void InvalidatePicture();
  void InvalidatePlayLine(uint32_t position);
  void Paint(HDC dc, const RECT& client) const;
  void PaintPlayLine(HDC dc) const;
  void PaintRuler(HDC dc, const RECT& ruler) const;
  void PaintWave(HDC dc, const RECT& wave) const;
  void PaintSegments(HDC dc, const Layout& layout) const;
  void OnMouseWheel(WPARAM wParam, LPARAM lParam);
  void OnScroll(WORD request);
  void OnKey(WPARAM key);
  void OnButtonDown(int x);
  void OnMouseMove(int x);
  void OnButtonUp(int x);
  void ViewChanged();
  bool FollowPosition(uint32_t previous);
  void UpdateScrollBar();

  BWaveWindowHost& m_host;
  BPeakPyramid m_pyramid;
  BWaveViewport m_viewport;
  BWaveViewport m_keptView;  // the view of the last sound, while the player is empty
  std::vector<BWaveSegment> m_segments;
  std::wstring m_emptyHint;
  uint32_t m_position = 0;  // as the host said last
  uint32_t m_rangeStart = 0;
  uint32_t m_rangeEnd = 0;

  // The picture without the play line, the size of the client area.
  HDC m_pictureDc = nullptr;
  HBITMAP m_picture = nullptr;
  HGDIOBJ m_pictureOldBitmap = nullptr;
  SIZE m_pictureSize = {0, 0};
  bool m_pictureValid = false;

  // The mouse: pressed at m_pressSample; a drag once it moved a few pixels.
  bool m_pressed = false;
  bool m_dragging = false;
  int m_pressX = 0;
  uint32_t m_pressSample = 0;
  int m_wheelRest = 0;  // wheel delta not yet used (high-resolution wheels)
};
