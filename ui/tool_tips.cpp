#include "tool_tips.h"

#include "resource.h"
#include "string_ids.h"

namespace {
// In the order in which the window's own tool tests them.
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

void BToolTips::Create(HINSTANCE instance, HWND window) {
  m_instance = instance;
  m_window = window;
  m_toolTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                instance, nullptr);
  if (m_toolTip == nullptr) return;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  for (int id : kToolControls) {
    tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(window, id));
    ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void BToolTips::Destroy() {
  if (m_toolTip != nullptr) ::DestroyWindow(m_toolTip);
  m_toolTip = nullptr;
}

int BToolTips::ControlAt(HWND tool, POINT screenPoint) const {
  if (tool != m_window) return ::GetDlgCtrlID(tool);
  for (int id : kToolControls) {
    RECT rect;
    if (::GetWindowRect(::GetDlgItem(m_window, id), &rect) && ::PtInRect(&rect, screenPoint))
      return id;
  }
  return 0;
}

void BToolTips::FillText(NMTTDISPINFOW* info, bool playing) const {
  if ((info->uFlags & TTF_IDISHWND) == 0) return;
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  int id = ControlAt(reinterpret_cast<HWND>(info->hdr.idFrom), cursor);
  int textId = 0;
  if (id == IDC_PLAY_PAUSE)
    textId = playing ? IDS_PAUSE_TIP : IDC_PLAY_PAUSE;
  else if (HasOwnTipString(id))
    textId = id;
  if (textId == 0) return;
  info->hinst = m_instance;
  info->lpszText = MAKEINTRESOURCEW(textId);
}
