// Drag and drop of list rows: a fragment dragged into the playlist is
// inserted where it is dropped; a playlist row dragged within the playlist is
// moved. Only the playlist accepts drops, and only of fragments in slots 0 to
// 7 (a playlist value of 8 or more ends the playlist). Escape cancels a drag.
#include "main_window_base.h"

#include "toolkit/list_controls.h"
#include "string_ids.h"

namespace {
const int kScrollStep = 20;  // pixels the playlist scrolls when the cursor is above or below it
}  // namespace

void BMainDlgBase::OnFragmentBeginDrag(NMLISTVIEW* info) { BeginDrag(m_fragmentList, *info, true); }

void BMainDlgBase::OnPlaylistBeginDrag(NMLISTVIEW* info) { BeginDrag(m_playlist, *info, false); }

void BMainDlgBase::BeginDrag(HWND list, const NMLISTVIEW& info, bool fromFragments) {
  LVHITTESTINFO hit = {};
  hit.pt = info.ptAction;
  int row = static_cast<int>(::SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || JobHoldsProfile()) return;
  EnablePlayer(false);
  m_sourceIndex = row;
  m_sourceData = RowData(list, row);
  m_dragging = true;
  ::SetCapture(GetHwnd());
  m_dragFromFragments = fromFragments;
  m_dragFromPlaylist = !fromFragments;
  m_dropIndex = -1;
  HCURSOR& cursor = fromFragments ? m_fragmentDragCursor : m_playlistDragCursor;
  if (cursor == nullptr)
    cursor = static_cast<HCURSOR>(::LoadImageW(
        GetInstance(),
        MAKEINTRESOURCEW(fromFragments ? IDC_CURSOR_DRAG_FRAGMENT : IDC_CURSOR_DRAG_PLAYLIST),
        IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));

  POINT corner = {};
  m_dragImage = reinterpret_cast<HIMAGELIST>(
      ::SendMessageW(list, LVM_CREATEDRAGIMAGE, row, reinterpret_cast<LPARAM>(&corner)));
  if (m_dragImage != nullptr) {
    ::ImageList_BeginDrag(m_dragImage, 0, info.ptAction.x - corner.x, 0);
    POINT screen = info.ptAction;
    ::ClientToScreen(list, &screen);
    ::ImageList_DragEnter(::GetDesktopWindow(), screen.x, screen.y);
  }
}

void BMainDlgBase::EndDrag() {
  if (m_dragImage != nullptr) {
    ::ImageList_EndDrag();
    ::ImageList_Destroy(m_dragImage);
    m_dragImage = nullptr;
  }
  m_dragging = false;
}

void BMainDlgBase::CancelDrag(bool repaintNow) {
  if (m_dropIndex >= 0) {
    if (repaintNow)
      EraseInsertMark(m_dropIndex);
    else
      ::InvalidateRect(m_playlist, nullptr, TRUE);
  }
  m_dropIndex = -1;
  EndDrag();
  if (::GetCapture() == GetHwnd()) ::ReleaseCapture();
}

// Rows were inserted into or deleted from a list during a drag (a key, a job,
// a command): the dragged row or the drop place may no longer be what the
// user sees, so the drag ends without a drop. This runs inside the list's
// own update, where nothing is repainted.
void BMainDlgBase::OnListRowsChanged() {
  if (m_dragging) CancelDrag(false);
}

bool BMainDlgBase::DraggedFragmentFitsPlaylist() const {
  return m_sourceData >= 0 && IsPlaylistReference(static_cast<uint8_t>(m_sourceData));
}

void BMainDlgBase::OnMouseMove(WPARAM, LPARAM lParam) {
  if (!m_dragging) return;
  if (::GetCapture() != GetHwnd()) {
    if (m_dropIndex >= 0) EraseInsertMark(m_dropIndex);
    m_dropIndex = -1;
    EndDrag();
    return;
  }
  if (m_dropIndex >= 0) {
    EraseInsertMark(m_dropIndex);
    m_dropIndex = -1;
  }
  POINT cursor = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ::ClientToScreen(GetHwnd(), &cursor);
  if (m_dragImage != nullptr) ::ImageList_DragMove(cursor.x, cursor.y);
  ShowDragOverPlaylist(cursor);
}

// The cursor and the insert mark for a drag at `cursor` (screen coordinates).
void BMainDlgBase::ShowDragOverPlaylist(POINT cursor) {
  RECT client;
  ::GetClientRect(m_playlist, &client);
  ::MapWindowPoints(m_playlist, nullptr, reinterpret_cast<POINT*>(&client), 2);
  RECT window;
  ::GetWindowRect(m_playlist, &window);

  if (::PtInRect(&client, cursor)) {
    if (m_dragFromFragments && !DraggedFragmentFitsPlaylist()) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_NO));
      return;
    }
    bool full = RowCount(m_playlist) >= kMaxPlaylistEntries;
    if (m_dragFromFragments)
      ::SetCursor(full ? ::LoadCursorW(nullptr, IDC_NO) : m_fragmentDragCursor);
    else
      ::SetCursor(m_playlistDragCursor);
    LVHITTESTINFO hit = {};
    hit.pt = {client.left, cursor.y};
    ::ScreenToClient(m_playlist, &hit.pt);
    int row = static_cast<int>(
        ::SendMessageW(m_playlist, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0) row = RowCount(m_playlist);
    DrawInsertMark(row);
    m_dropIndex = row;
    return;
  }
  if (::PtInRect(&window, cursor)) {
    bool besideClient = cursor.y >= client.top && cursor.y < client.bottom;
    if (besideClient) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_NO));
      return;
    }
    int middle = window.top + (window.bottom - window.top) / 2;
    ::SendMessageW(m_playlist, LVM_SCROLL, 0, cursor.y > middle ? kScrollStep : -kScrollStep);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    return;
  }
  ::SetCursor(::LoadCursorW(nullptr, IDC_NO));
}

void BMainDlgBase::OnLButtonUp(WPARAM, LPARAM) {
  if (!m_dragging) return;
  bool captured = ::GetCapture() == GetHwnd();
  if (captured) ::ReleaseCapture();
  EndDrag();
  if (!captured) return;
  if (m_dropIndex >= 0) {
    EraseInsertMark(m_dropIndex);
    DropOnPlaylist(m_dropIndex);
  }
  m_dropIndex = -1;
}

// Only the row that was dragged is dropped, at a place the playlist has, and
// only while no siren job holds the profile.
void BMainDlgBase::DropOnPlaylist(int drop) {
  HWND source = m_dragFromFragments ? m_fragmentList : m_playlist;
  if (RowData(source, m_sourceIndex) != m_sourceData || drop > RowCount(m_playlist) ||
      JobHoldsProfile())
    return;
  if (m_dragFromFragments) {
    if (RowCount(m_playlist) >= kMaxPlaylistEntries) {
      ShowMessage(IDS_PLAYLIST_FULL, MB_ICONERROR, kMaxPlaylistEntries);
      return;
    }
    if (!m_document.InsertPlaylistEntry(drop, static_cast<int>(m_sourceData))) return;
    ShowPlaylist(drop);
    return;
  }
  int from = m_sourceIndex;
  if (drop == from || drop == from + 1) return;
  if (!m_document.MovePlaylistEntry(from, drop)) return;
  ShowPlaylist(from < drop ? drop - 1 : drop);
}

void BMainDlgBase::OnActivate(WPARAM, LPARAM) {
  if (!m_dragging || ::GetCapture() == GetHwnd()) return;
  if (m_dropIndex >= 0) EraseInsertMark(m_dropIndex);
  m_dropIndex = -1;
  EndDrag();
}

// A two-pixel line above row `index`, or below the last row.
void BMainDlgBase::DrawInsertMark(int index) {
  int count = RowCount(m_playlist);
  RECT row = {};
  row.left = LVIR_BOUNDS;
  if (index < count) {
    ::SendMessageW(m_playlist, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row));
  } else if (count > 0) {
    ::SendMessageW(m_playlist, LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&row));
    int height = row.bottom - row.top;
    row.top += height;
  } else {
    ::GetClientRect(m_playlist, &row);
  }
  RECT mark = {row.left, row.top - 1, row.right, row.top + 1};
  HDC dc = ::GetDC(m_playlist);
  ::FillRect(dc, &mark, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  ::ReleaseDC(m_playlist, dc);
}

void BMainDlgBase::EraseInsertMark(int) {
  ::InvalidateRect(m_playlist, nullptr, TRUE);
  ::UpdateWindow(m_playlist);
}
