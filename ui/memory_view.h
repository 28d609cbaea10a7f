// The memory strip of the main window: the siren's memory as one horizontal
// bar, a band per fragment, the end of the memory the connected siren has as
// a boundary line, bands beyond it in a warning colour, the selected fragment
// highlighted and a marker at the byte being played.
#pragma once

#include "memory_view_layout.h"
#include "toolkit/window_impl.h"

#include <cstdint>

class BMemoryView : public BWindowImpl {
 public:
  static constexpr const wchar_t* kClassName = L"MemoryViewCtrl";

  // For a view that is a window of its own rather than an attached control.
  static bool RegisterWindowClass(HINSTANCE instance);
  bool Create(HINSTANCE instance, HWND parent, int id, const RECT& rect,
              DWORD style = WS_CHILD | WS_VISIBLE);

  // Each returns false, changes nothing and sets the thread's last error to
  // ERROR_INVALID_PARAMETER when its check fails; a change repaints the window.
  bool SetMemorySize(std::uint32_t bytes);
  bool SetAvailableSize(std::uint32_t bytes);
  // A band may end up to 3 bytes past the total size.
  bool AddBand(std::uint32_t address, std::uint32_t length);
  // Puts a band in front of band `index` (the count appends); a selected
  // band stays selected.
  bool InsertBand(int index, std::uint32_t address, std::uint32_t length);
  bool SetBand(int index, std::uint32_t address, std::uint32_t length);
  bool RemoveBand(int index);
  bool ClearBands();                // also selects no band
  bool SetSelectedBand(int index);  // -1 for none
  bool SetMarker(int address);      // -1 hides it
  bool GetBand(int index, std::uint32_t& address, std::uint32_t& length) const;
  // Repaints with the background erased.
  void Repaint() { ::InvalidateRect(GetHwnd(), nullptr, TRUE); }

  bool SetBackgroundColour(COLORREF colour);
  bool SetInMemoryColour(COLORREF colour);
  bool SetOutOfMemoryColour(COLORREF colour);
  bool SetBoundaryColour(COLORREF colour);
  bool SetSelectionColour(COLORREF colour);
  bool SetMarkerColour(COLORREF colour);

  const BMemoryViewContent& GetContent() const { return m_content; }
  int GetBandCount() const { return static_cast<int>(m_content.bands.size()); }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct Colours {
    COLORREF background = RGB(64, 64, 64);
    COLORREF inMemory = RGB(0, 255, 0);
    COLORREF outOfMemory = RGB(255, 0, 0);
    COLORREF boundary = RGB(0, 0, 0);
    COLORREF selection = RGB(49, 106, 197);
    COLORREF marker = RGB(0, 0, 128);
  };

  bool IsBandIndex(int index) const { return index >= 0 && index < GetBandCount(); }
  bool Refuse() const;
  bool Changed(bool erase);
  bool SetColour(COLORREF& field, COLORREF colour);
  COLORREF ColourOf(BMemoryFillRole role) const;

  void EraseBackground(HDC dc) const;
  void Paint(HDC dc) const;
  void OnPaint(HDC givenDc) const;

  BMemoryViewContent m_content;
  Colours m_colours;
};
