// Tooltips of the main window's buttons and memory view.
#include "main_window.h"

#include <commctrl.h>

#include "resource.h"
#include "string_ids.h"

namespace {
// In the order in which the main window's own tool tests them.
const int kToolControls[] = {IDC_ADD_FRAGMENT,
                             IDC_DELETE_FRAGMENT,
                             IDC_PLAY_FRAGMENT,
                             IDC_PLAY_FRAGMENT_ON_SIREN,
                             IDC_STOP_ON_SIREN,
                             IDC_ADD_TO_PLAYLIST,
                             IDC_REMOVE_FROM_PLAYLIST,
                             IDC_PLAY_PLAYLIST,
                             IDC_PLAY_PLAYLIST_ON_SIREN,
                             IDC_STOP_PLAYLIST_ON_SIREN,
                             IDC_LOOP_PLAY,
                             IDC_PLAY_PAUSE,
                             IDC_STOP,
                             IDC_MEMORY_VIEW};

// Controls whose tip is the string with the control's own id.
bool HasOwnTipString(int id) {
  return id == IDC_ADD_FRAGMENT || (id >= IDC_PLAY_FRAGMENT && id <= IDC_PLAY_PLAYLIST) ||
         id == IDC_STOP || (id >= IDC_STOP_ON_SIREN && id <= IDC_LOOP_PLAY) ||
         id == IDC_MEMORY_VIEW;
}
}  // namespace

void BMainDlg::CreateToolTips() {
  m_toolTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetHwnd(), nullptr,
                                GetInstance(), nullptr);
  if (m_toolTip == nullptr) return;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetHwnd();
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  tool.uId = reinterpret_cast<UINT_PTR>(GetHwnd());
  ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  for (int id : kToolControls) {
    tool.uId = reinterpret_cast<UINT_PTR>(GetItem(id));
    ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    m_toolIds.push_back(id);
  }
}

int BMainDlg::ToolTipControlAt(HWND tool, POINT screenPoint) const {
  if (tool != GetHwnd()) return ::GetDlgCtrlID(tool);
  for (int id : m_toolIds) {
    RECT rect;
    if (::GetWindowRect(GetItem(id), &rect) && ::PtInRect(&rect, screenPoint)) return id;
  }
  return 0;
}

LRESULT BMainDlg::OnGetToolTipText(NMTTDISPINFOW* info) {
  if ((info->uFlags & TTF_IDISHWND) == 0) return 0;
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  int id = ToolTipControlAt(reinterpret_cast<HWND>(info->hdr.idFrom), cursor);
  int textId = 0;
  if (id == IDC_PLAY_PAUSE)
    textId = IsPlaying() ? IDS_PAUSE_TIP : IDC_PLAY_PAUSE;
  else if (HasOwnTipString(id))
    textId = id;
  if (textId == 0) return 0;
  info->hinst = GetInstance();
  info->lpszText = MAKEINTRESOURCEW(textId);
  return 0;
}
