#include "row_drag.h"

#include "model/geometry.h"
#include "resource.h"
#include "toolkit/list_controls.h"

namespace {
const int kScrollStep = 20;  // pixels the playlist scrolls when the cursor is above or below it
}  // namespace

BRowDrag::BRowDrag(HWND window, HWND fragments, HWND playlist, BRowDragHost& host)
    : m_window(window), m_fragments(fragments), m_playlist(playlist), m_host(host) {}

BRowDrag::~BRowDrag() {
  End();
  for (HCURSOR cursor : {m_fragmentCursor, m_playlistCursor})
    if (cursor != nullptr) ::DestroyCursor(cursor);
}

void BRowDrag::Begin(HWND list, const NMLISTVIEW& info) {
  LVHITTESTINFO hit = {};
  hit.pt = info.ptAction;
  int row = static_cast<int>(::SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || !m_host.MayDragRows()) return;
  m_sourceIndex = row;
  m_sourceData = RowData(list, row);
  m_dragging = true;
  ::SetCapture(m_window);
  m_fromFragments = list == m_fragments;
  m_dropIndex = -1;
  DragCursor(m_fromFragments);

  POINT corner = {};
  m_image = reinterpret_cast<HIMAGELIST>(
      ::SendMessageW(list, LVM_CREATEDRAGIMAGE, row, reinterpret_cast<LPARAM>(&corner)));
  if (m_image != nullptr) {
    ::ImageList_BeginDrag(m_image, 0, info.ptAction.x - corner.x, 0);
    POINT screen = info.ptAction;
    ::ClientToScreen(list, &screen);
    ::ImageList_DragEnter(::GetDesktopWindow(), screen.x, screen.y);
  }
}

HCURSOR BRowDrag::DragCursor(bool fromFragments) {
  HCURSOR& cursor = fromFragments ? m_fragmentCursor : m_playlistCursor;
  if (cursor == nullptr)
    cursor = static_cast<HCURSOR>(::LoadImageW(
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_window, GWLP_HINSTANCE)),
        MAKEINTRESOURCEW(fromFragments ? IDC_CURSOR_DRAG_FRAGMENT : IDC_CURSOR_DRAG_PLAYLIST),
        IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  return cursor;
}

void BRowDrag::End() {
  if (m_image != nullptr) {
    ::ImageList_EndDrag();
    ::ImageList_Destroy(m_image);
    m_image = nullptr;
  }
  m_dragging = false;
}

void BRowDrag::Cancel(bool repaintNow) {
  if (m_dropIndex >= 0) {
    if (repaintNow)
      EraseInsertMark();
    else
      ::InvalidateRect(m_playlist, nullptr, TRUE);
  }
  m_dropIndex = -1;
  End();
  if (::GetCapture() == m_window) ::ReleaseCapture();
}

// The dragged row or the drop place may no longer be what the user sees.
void BRowDrag::OnListRowsChanged() {
  if (m_dragging) Cancel(false);
}

bool BRowDrag::DraggedFragmentFitsPlaylist() const {
  return m_sourceData >= 0 && IsPlaylistReference(static_cast<uint8_t>(m_sourceData));
}

void BRowDrag::OnMouseMove(LPARAM lParam) {
  if (!m_dragging) return;
  if (m_dropIndex >= 0) EraseInsertMark();
  m_dropIndex = -1;
  if (::GetCapture() != m_window) {
    End();
    return;
  }
  POINT cursor = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ::ClientToScreen(m_window, &cursor);
  if (m_image != nullptr) ::ImageList_DragMove(cursor.x, cursor.y);
  ShowOverPlaylist(cursor);
}

// The cursor and the insert mark for a drag at `cursor` (screen coordinates).
void BRowDrag::ShowOverPlaylist(POINT cursor) {
  RECT client;
  ::GetClientRect(m_playlist, &client);
  ::MapWindowPoints(m_playlist, nullptr, reinterpret_cast<POINT*>(&client), 2);
  RECT window;
  ::GetWindowRect(m_playlist, &window);
  HCURSOR no = ::LoadCursorW(nullptr, IDC_NO);

  if (::PtInRect(&client, cursor)) {
    if (m_fromFragments && !DraggedFragmentFitsPlaylist()) {
      ::SetCursor(no);
      return;
    }
    bool full = RowCount(m_playlist) >= kMaxPlaylistEntries;
    ::SetCursor(m_fromFragments && full ? no : DragCursor(m_fromFragments));
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
      ::SetCursor(no);
      return;
    }
    int middle = window.top + (window.bottom - window.top) / 2;
    ::SendMessageW(m_playlist, LVM_SCROLL, 0, cursor.y > middle ? kScrollStep : -kScrollStep);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    return;
  }
  ::SetCursor(no);
}

void BRowDrag::OnButtonUp() {
  if (!m_dragging) return;
  bool captured = ::GetCapture() == m_window;
  if (captured) ::ReleaseCapture();
  End();
  if (!captured) return;
  if (m_dropIndex >= 0) {
    EraseInsertMark();
    Drop(m_dropIndex);
  }
  m_dropIndex = -1;
}

// Only the row that was dragged is dropped, at a place the playlist has.
void BRowDrag::Drop(int drop) {
  HWND source = m_fromFragments ? m_fragments : m_playlist;
  if (RowData(source, m_sourceIndex) != m_sourceData || drop > RowCount(m_playlist)) return;
  if (m_fromFragments) {
    m_host.DropFragment(drop, static_cast<int>(m_sourceData));
    return;
  }
  if (drop != m_sourceIndex && drop != m_sourceIndex + 1)
    m_host.MovePlaylistRow(m_sourceIndex, drop);
}

void BRowDrag::OnActivate() {
  if (!m_dragging || ::GetCapture() == m_window) return;
  if (m_dropIndex >= 0) EraseInsertMark();
  m_dropIndex = -1;
  End();
}

// A two-pixel line above row `index`, or below the last row.
void BRowDrag::DrawInsertMark(int index) {
  int count = RowCount(m_playlist);
  RECT row = {};
  row.left = LVIR_BOUNDS;
  if (index < count) {
    ::SendMessageW(m_playlist, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row));
  } else if (count > 0) {
    ::SendMessageW(m_playlist, LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&row));
    row.top = row.bottom;
  } else {
    ::GetClientRect(m_playlist, &row);
  }
  RECT mark = {row.left, row.top - 1, row.right, row.top + 1};
  HDC dc = ::GetDC(m_playlist);
  ::FillRect(dc, &mark, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  ::ReleaseDC(m_playlist, dc);
}

void BRowDrag::EraseInsertMark() {
  ::InvalidateRect(m_playlist, nullptr, TRUE);
  ::UpdateWindow(m_playlist);
}
