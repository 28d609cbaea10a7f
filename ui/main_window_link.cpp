// The main window's side of the siren link: the transport's callbacks, the
// commands of the Siren menu, and what the link shows and switches.
#include "main_window_base.h"

#include <commctrl.h>

#include "toolkit/list_controls.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlgBase::OnError(const std::string& text) { m_link.OnError(text); }

void BMainDlgBase::OnReceive(uint8_t code, uint8_t length, const uint8_t* data) {
  m_link.OnReceive(code, length, data);
}

void BMainDlgBase::OnTimeout() { m_link.OnTimeout(); }

void BMainDlgBase::OnGarbledReply() { m_link.OnGarbledReply(); }

void BMainDlgBase::OnStrayReply(uint8_t code) { m_link.OnStrayReply(code); }

// A progress message is handled from a timer: Windows serves a timer only when
// no input and no posted message waits, so keyboard and menu input (Abort)
// always comes first, however fast the replies come. The link posts the next
// progress message only after this one was handled, so nothing piles up.
void BMainDlgBase::OnLinkMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_MEMORY_READ_PROGRESS || message == WM_MEMORY_WRITE_PROGRESS) {
    m_pendingProgress = message;
    ::SetTimer(GetHwnd(), kProgressTimer, USER_TIMER_MINIMUM, nullptr);
    return;
  }
  m_link.HandleMessage(message);
}

void BMainDlgBase::OnProgressTimer() {
  ::KillTimer(GetHwnd(), kProgressTimer);
  UINT message = m_pendingProgress;
  m_pendingProgress = 0;
  if (message != 0) m_link.HandleMessage(message);
}
void BMainDlgBase::OnReadSiren() { m_link.StartRead(); }
void BMainDlgBase::OnWriteSiren() { m_link.StartWrite(); }
void BMainDlgBase::OnAbort() { m_link.Abort(); }
void BMainDlgBase::OnPlayFragmentOnSiren() { m_link.PlayFragment(); }
void BMainDlgBase::OnPlayPlaylistOnSiren() { m_link.PlayPlaylist(); }
void BMainDlgBase::OnStopOnSiren() { m_link.StopPlayback(); }

// Worker thread: only posts, never touches a window. PostMessage fails when
// the thread's queue is full (10 000 messages); the message waits for room
// then, as long as the window is there to make it.
bool BMainDlgBase::PostLinkMessage(unsigned message) {
  for (;;) {
    HWND target = m_linkMessageTarget;
    if (target == nullptr) return false;
    if (::PostMessageW(target, message, 0, 0)) return true;
    if (::GetLastError() != ERROR_NOT_ENOUGH_QUOTA || !::IsWindow(target)) return false;
    ::Sleep(10);
  }
}

// Worker thread: the string table is read-only and safe to read from any thread.
std::string BMainDlgBase::DefaultFragmentName(int number) {
  return FormatAnsiText(BText(IDS_FRAGMENT_DEFAULT_NAME, {number}));
}

void BMainDlgBase::ShowLinkStatus(const BLinkText& text) {
  InsertStatusLine(FormatText(text), false);
}

void BMainDlgBase::ReplaceLinkStatus(const BLinkText& text) {
  InsertStatusLine(FormatText(text), true);
}

void BMainDlgBase::ClearStatusLog() { ::SendMessageW(m_statusLog, CB_RESETCONTENT, 0, 0); }

void BMainDlgBase::ShowLinkError(const BLinkText& text) {
  ShowMessageBox(FormatText(text), MB_ICONERROR);
}

void BMainDlgBase::ShowLinkInformation(const BLinkText& text) {
  ShowMessageBox(FormatText(text), MB_ICONINFORMATION);
}

BAnswer BMainDlgBase::AskLink(const BLinkText& text, BQuestion question) {
  UINT type = MB_YESNO | MB_ICONWARNING;
  if (question == BQuestion::YesNoCancelWarning) type = MB_YESNOCANCEL | MB_ICONWARNING;
  if (question == BQuestion::YesNoInformation) type = MB_YESNO | MB_ICONINFORMATION;
  switch (ShowMessageBox(FormatText(text), type)) {
    case IDYES:
      return BAnswer::Yes;
    case IDNO:
      return BAnswer::No;
    default:
      return BAnswer::Cancel;
  }
}

void BMainDlgBase::SetProgressRange(int total) {
  ::SendMessageW(m_progress, PBM_SETRANGE32, 0, total);
  ::SendMessageW(m_progress, PBM_SETPOS, 0, 0);
}

void BMainDlgBase::SetProgressPosition(int position) {
  ::SendMessageW(m_progress, PBM_SETPOS, position, 0);
}

// The Connect command lives in the menu bar, which BMainDlg owns and updates.
void BMainDlgBase::SetConnectCommandText(bool) {}

void BMainDlgBase::SetAvailableSize(uint32_t bytes) { m_memoryView.SetAvailableSize(bytes); }

void BMainDlgBase::MarkProfileModified() { SetModified(true); }

int BMainDlgBase::SelectedFragment() {
  int row = SelectedRow(m_fragmentList);
  return row < 0 ? -1 : static_cast<int>(RowData(m_fragmentList, row));
}

uint32_t BMainDlgBase::TickCount() { return ::GetTickCount(); }

void BMainDlgBase::DebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }
