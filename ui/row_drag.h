// BRowDrag: drag and drop of list rows. A fragment dragged into the playlist
// is inserted where it is dropped; a playlist row dragged within the
// playlist is moved. Only the playlist accepts drops, and only of fragments in
// slots 0 to 7 (a playlist value of 8 or more ends the playlist). Escape, a
// lost capture, another window coming forward or a change of either list's
// rows ends a drag without a drop.
#pragma once

#include <windows.h>
#include <commctrl.h>

// What a drag asks of the main window and does to the profile.
class BRowDragHost {
 public:
  virtual ~BRowDragHost() = default;
  // Whether a drag may begin now (no siren job holds the profile); the
  // player lets go of what it plays.
  virtual bool MayDragRows() = 0;
  // The drop: the fragment in `slot` inserted at playlist `position`, or the
  // playlist row `from` moved to stand before row `to`.
  virtual void DropFragment(int position, int slot) = 0;
  virtual void MovePlaylistRow(int from, int to) = 0;
};

class BRowDrag {
 public:
  BRowDrag(HWND window, HWND fragments, HWND playlist, BRowDragHost& host);
  ~BRowDrag();
  BRowDrag(const BRowDrag&) = delete;
  BRowDrag& operator=(const BRowDrag&) = delete;

  bool IsDragging() const { return m_dragging; }
  void Begin(HWND list, const NMLISTVIEW& info);
  // The window's mouse and activation messages while it holds the capture.
  void OnMouseMove(LPARAM lParam);
  void OnButtonUp();
  void OnActivate();
  // Rows were inserted into or deleted from a list (inside its own update,
  // where nothing is repainted).
  void OnListRowsChanged();
  void Cancel(bool repaintNow = true);

 private:
  void End();
  void ShowOverPlaylist(POINT screenPoint);
  bool DraggedFragmentFitsPlaylist() const;
  void Drop(int index);
  void DrawInsertMark(int index);
  void EraseInsertMark();
  HCURSOR DragCursor(bool fromFragments);

  HWND m_window;
  HWND m_fragments;
  HWND m_playlist;
  BRowDragHost& m_host;
  bool m_dragging = false;
  bool m_fromFragments = false;
  int m_dropIndex = -1;      // where the insert mark is shown, -1 for none
  int m_sourceIndex = -1;    // the dragged row
  LPARAM m_sourceData = -1;  // and its item data when the drag began
  HIMAGELIST m_image = nullptr;
  HCURSOR m_fragmentCursor = nullptr;  // loaded on first use
  HCURSOR m_playlistCursor = nullptr;
};
