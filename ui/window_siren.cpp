#include "window_siren.h"

#include <commctrl.h>

#include <utility>

#include "link/com_ports.h"
#include "link/port_address.h"
#include "settings.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BWindowSiren::Attach(HWND window, HWND progress, BPrompts& prompts) {
  m_window = window;
  m_progress = progress;
  m_prompts = &prompts;
}

// No message is posted once the window is going; the worker ends first.
void BWindowSiren::Close() {
  m_window = nullptr;
  m_connection.Close(kLinkCloseTimeoutMs);
  m_net.Close(kLinkCloseTimeoutMs);
}

// A progress message is handled from a timer: Windows serves a timer only when
// no input and no posted message waits, so keyboard and menu input (Abort)
// always comes first, however fast the replies come. The link posts the next
// progress message only after this one was handled, so nothing piles up.
void BWindowSiren::OnLinkMessage(UINT message) {
  if (message == WM_MEMORY_READ_PROGRESS || message == WM_MEMORY_WRITE_PROGRESS) {
    m_pendingProgress = message;
    ::SetTimer(m_window, kProgressTimer, USER_TIMER_MINIMUM, nullptr);
    return;
  }
  m_link.HandleMessage(message);
}

void BWindowSiren::OnTimer(UINT_PTR timer) {
  if (timer == kRetryTimer) {
    m_link.OnRetryTimer();
    return;
  }
  if (timer != kProgressTimer) return;
  ::KillTimer(m_window, kProgressTimer);
  UINT message = m_pendingProgress;
  m_pendingProgress = 0;
  if (message != 0) m_link.HandleMessage(message);
}

// Worker thread: only posts, never touches a window. PostMessage fails when
// the thread's queue is full (10 000 messages); the message waits for room
// then, as long as the window is there to take it.
bool BWindowSiren::PostLinkMessage(unsigned message) {
  for (;;) {
    HWND target = m_window;
    if (target == nullptr) return false;
    if (::PostMessageW(target, message, 0, 0)) return true;
    if (::GetLastError() != ERROR_NOT_ENOUGH_QUOTA || !::IsWindow(target)) return false;
    ::Sleep(10);
  }
}

// Worker thread: the string table is read-only and safe to read from any thread.
std::string BWindowSiren::DefaultFragmentName(int number) {
  return FormatUtf8Text(BText(IDS_FRAGMENT_DEFAULT_NAME, {number}));
}

void BWindowSiren::ShowLinkStatus(const BLinkText& text) { m_log.Show(FormatText(text)); }

void BWindowSiren::ReplaceLinkStatus(const BLinkText& text) { m_log.Replace(FormatText(text)); }

void BWindowSiren::ShowLinkError(const BLinkText& text) {
  m_prompts->ShowMessageBox(FormatText(text), MB_ICONERROR);
}

void BWindowSiren::ShowLinkInformation(const BLinkText& text) {
  m_prompts->ShowMessageBox(FormatText(text), MB_ICONINFORMATION);
}

void BWindowSiren::ShowLinkWarning(const BLinkText& text) {
  m_prompts->ShowMessageBox(FormatText(text), MB_ICONWARNING);
}

BAnswer BWindowSiren::AskLink(const BLinkText& text, BQuestion question) {
  UINT type = MB_YESNO | MB_ICONWARNING;
  if (question == BQuestion::YesNoCancelWarning) type = MB_YESNOCANCEL | MB_ICONWARNING;
  if (question == BQuestion::YesNoInformation) type = MB_YESNO | MB_ICONINFORMATION;
  switch (m_prompts->ShowMessageBox(FormatText(text), type)) {
    case IDYES:
      return BAnswer::Yes;
    case IDNO:
      return BAnswer::No;
    default:
      return BAnswer::Cancel;
  }
}

void BWindowSiren::SetProgressRange(int total) {
  ::SendMessageW(m_progress, PBM_SETRANGE32, 0, total);
  ::SendMessageW(m_progress, PBM_SETPOS, 0, 0);
}

void BWindowSiren::SetProgressPosition(int position) {
  ::SendMessageW(m_progress, PBM_SETPOS, position, 0);
}

void BWindowSiren::DebugOutput(const std::string& text) {
  ::OutputDebugStringW(Widen(text).c_str());
}

void BWindowSiren::RunRetryTimer(bool run) {
  HWND window = m_window;
  if (window == nullptr) return;
  if (run)
    ::SetTimer(window, kRetryTimer, kRetryTimerMs, nullptr);
  else
    ::KillTimer(window, kRetryTimer);
}

// Only a local port has an adapter to find; the system is asked each time,
// since adapters come and go.
std::string BWindowSiren::FindPort(const std::string& portName) {
  BPortAddress address;
  if (ParsePortAddress(portName, address) != BPortAddressError::None || address.IsNetwork())
    return portName;
  std::string port =
      ChoosePort(address.name, BSettings::LoadPortAdapter(), EnumeratePresentPorts());
  m_foundAgain = port != address.name;
  return port;
}

// The port opened: the settings keep it, with the identity of its adapter
// when Windows knows one (and none for a port without, so that an old
// identity never leads elsewhere).
void BWindowSiren::SaveSettings() {
  const std::string& port = m_link.GetPortName();
  if (std::exchange(m_foundAgain, false)) m_host.PortFoundAgain(port);
  m_host.SaveSettings();
  BPortAddress address;
  if (ParsePortAddress(port, address) != BPortAddressError::None || address.IsNetwork()) return;
  BPortIdentity identity;
  for (const BPresentPort& present : EnumeratePresentPorts())
    if (_stricmp(present.name.c_str(), address.name.c_str()) == 0) identity = present.identity;
  BSettings::SavePortAdapter(identity.IsEmpty() ? std::string()
                                                : RememberedPortRecord(address.name, identity));
}
