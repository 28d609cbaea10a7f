#include "link/connection_base.h"

#include "link/frame.h"
#include "link/link_string_ids.h"
#include "platform/error_text.h"
#include "platform/text.h"

namespace {

void CloseAndForget(HANDLE& handle, HANDLE closedValue) {
  if (handle != closedValue) ::CloseHandle(handle);
  handle = closedValue;
}

}  // namespace

BCOMConnectionBase::BCOMConnectionBase(BCOMHandler& handler, DWORD readTimeoutMs,
                                       DWORD writeTimeoutMs, DWORD replyLimitMs)
    : m_handler(&handler),
      m_readTimeoutMs(readTimeoutMs),
      m_writeTimeoutMs(writeTimeoutMs),
      m_replyLimitMs(replyLimitMs) {
  ZeroMemory(&m_settings, sizeof(m_settings));
}

BCOMConnectionBase::~BCOMConnectionBase() { BCOMConnectionBase::Close(5000); }

bool BCOMConnectionBase::Open(const std::string& portName) {
  m_sendQueue.Clear();
  m_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_sendEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_received.Clear();
  m_strayReplies = 0;
  m_lineErrors = 0;
  m_lastError = 0;
  m_errorText.clear();
  if (m_stopEvent == nullptr || m_sendEvent == nullptr) {
    SetSystemError(::GetLastError());
    ReleaseHandles();
    return false;
  }

  if (!PreparePort(portName)) {
    ReleaseHandles();
    return false;
  }
  m_thread = ::CreateThread(nullptr, 0, ThreadStart, this, 0, &m_threadId);
  if (m_thread == nullptr) {
    SetSystemError(::GetLastError());
    ReleaseHandles();
    return false;
  }
  m_isOpen = true;
  return true;
}

bool BCOMConnectionBase::Close(DWORD timeoutMs) {
  bool stopped = StopWorker(timeoutMs);
  ReleaseHandles();
  m_isOpen = false;
  return stopped;
}

bool BCOMConnectionBase::StopWorker(DWORD timeoutMs) {
  if (m_thread == nullptr) return true;
  bool stopped = true;
  ::SetEvent(m_stopEvent);
  DWORD waited = ::WaitForSingleObject(m_thread, timeoutMs);
  if (waited == WAIT_TIMEOUT) {
    m_lastError = kStopTimedOut;
    m_errorText = FormatUtf8Text(BText(IDS_RECEIVE_THREAD_TIMEOUT, {static_cast<int>(timeoutMs)}));
    stopped = false;
  } else if (waited != WAIT_OBJECT_0) {
    m_lastError = ::GetLastError();
    m_errorText =
        FormatUtf8Text(BText(IDS_RECEIVE_THREAD_STOP_FAILED, {::GetErrorText(m_lastError)}));
    stopped = false;
  }
  if (!stopped) {
    ::TerminateThread(m_thread, 0);
    // TerminateThread returns before the thread has gone.
    ::WaitForSingleObject(m_thread, timeoutMs);
  }
  CloseAndForget(m_thread, nullptr);
  m_threadId = 0;
  CloseAndForget(m_stopEvent, nullptr);
  return stopped;
}

void BCOMConnectionBase::Send(uint8_t code, uint8_t length, const uint8_t* payload) {
  m_sendQueue.Push(BuildRequestFrame(code, length, payload));
  // The worker looks at the queue itself after each reply, so a frame it
  // queues from inside OnReceive needs no wake-up (and saves a server call
  // per exchange under Wine).
  if (m_sendEvent != nullptr && ::GetCurrentThreadId() != m_threadId) ::SetEvent(m_sendEvent);
}

std::string BCOMConnectionBase::GetErrorText() const { return m_errorText; }

bool BCOMConnectionBase::IsOpen() const { return m_isOpen; }

bool BCOMConnectionBase::ParseReceived(int awaitedRequest) {
  uint32_t strays = 0;
  bool answered = ::ParseReceived(m_received, *m_handler, awaitedRequest, &strays);
  m_strayReplies += strays;
  return answered;
}

void BCOMConnectionBase::DiscardReceived() {
  m_strayReplies += ::DiscardReceived(m_received, m_handler);
}

void BCOMConnectionBase::SetSystemError(DWORD code) {
  m_lastError = code;
  m_errorText = ::GetErrorText(code);
}

void BCOMConnectionBase::ReportSystemError(DWORD code) {
  SetSystemError(code);
  m_handler->OnError(m_errorText);
}

void BCOMConnectionBase::SetErrorText(DWORD code, const std::string& text) {
  m_lastError = code;
  m_errorText = text;
}

void BCOMConnectionBase::ReportError(DWORD code, const std::string& text) {
  SetErrorText(code, text);
  m_handler->OnError(m_errorText);
}

DWORD WINAPI BCOMConnectionBase::ThreadStart(LPVOID connection) {
  static_cast<BCOMConnectionBase*>(connection)->ThreadProc();
  return 0;
}

void BCOMConnectionBase::ReleaseHandles() {
  CloseAndForget(m_thread, nullptr);
  m_threadId = 0;
  CloseAndForget(m_stopEvent, nullptr);
  CloseAndForget(m_port, INVALID_HANDLE_VALUE);
  CloseAndForget(m_sendEvent, nullptr);
}
