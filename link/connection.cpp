#include "link/connection.h"

#include <algorithm>
#include <vector>

std::string PortDevicePath(const std::string& portName) {
  if (portName.size() > 4 && portName.compare(0, 3, "COM") == 0) return "\\\\.\\" + portName;
  return portName;
}

BCOMConnection::BCOMConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs)
    : BCOMConnectionBase(handler, readTimeoutMs, writeTimeoutMs) {
  ZeroMemory(&m_readOverlapped, sizeof(m_readOverlapped));
  ZeroMemory(&m_writeOverlapped, sizeof(m_writeOverlapped));
}

// The worker runs this class's ThreadProc: it must be stopped here, before
// the derived part is gone.
BCOMConnection::~BCOMConnection() { Close(5000); }

bool BCOMConnection::Open(const std::string& portName) {
  m_waitByReading = false;
  ZeroMemory(&m_readOverlapped, sizeof(m_readOverlapped));
  ZeroMemory(&m_writeOverlapped, sizeof(m_writeOverlapped));
  m_readOverlapped.hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_writeOverlapped.hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (m_readOverlapped.hEvent == nullptr || m_writeOverlapped.hEvent == nullptr) {
    SetSystemError(::GetLastError());
    CloseOverlappedEvents();
    return false;
  }
  if (BCOMConnectionBase::Open(portName)) return true;
  CloseOverlappedEvents();
  return false;
}

bool BCOMConnection::Close(DWORD timeoutMs) {
  bool stopped = BCOMConnectionBase::Close(timeoutMs);
  CloseOverlappedEvents();
  return stopped;
}

HANDLE BCOMConnection::OpenPort(const std::string& portName) {
  return ::CreateFileA(PortDevicePath(portName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

void BCOMConnection::ThreadProc() {
  RunWorker();
  // A wait or a write may still be pending on buffers of this object.
  ::CancelIo(m_port);
}

void BCOMConnection::RunWorker() {
  std::vector<uint8_t> frame;
  bool goOn = false;
  for (;;) {
    // After a reply the next queued frame goes out without a trip through
    // the idle wait: the reply wait that just ended watched the stop event,
    // and the next one does again. The send event the frame's Send set is
    // left standing and costs one empty turn of the idle wait later.
    if (!goOn) {
      HANDLE idle[2] = {m_stopEvent, m_sendEvent};
      DWORD waited = ::WaitForMultipleObjects(2, idle, FALSE, INFINITE);
      if (waited == WAIT_OBJECT_0) return;
      if (waited != WAIT_OBJECT_0 + 1) {
        ReportSystemError(::GetLastError());
        return;
      }
    }
    goOn = false;
    // The frame stays queued until it is on the wire.
    if (!m_sendQueue.CopyFront(frame)) continue;
    if (WriteFrame(frame) == Next::EndWorker) return;
    m_sendQueue.PopFront();
    Next next = AwaitReply();
    if (next == Next::EndWorker) return;
    if (m_sendQueue.IsEmpty()) continue;
    if (next == Next::Replied) {
      goOn = true;
    } else {
      // After a time-out or a failed wait the idle wait looks at the stop
      // event before the next frame.
      ::SetEvent(m_sendEvent);
    }
  }
}

BCOMConnection::Next BCOMConnection::WriteFrame(const std::vector<uint8_t>& frame) {
  size_t written = 0;
  while (written < frame.size()) {
    DWORD count = 0;
    if (::WriteFile(m_port, frame.data() + written, static_cast<DWORD>(frame.size() - written),
                    nullptr, &m_writeOverlapped)) {
      // Done at once (the usual case): there is nothing to wait for, and the
      // result is already in the record.
      if (!::GetOverlappedResult(m_port, &m_writeOverlapped, &count, FALSE)) {
        ReportSystemError(::GetLastError());
        return Next::EndWorker;
      }
      written += count;
      continue;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      ReportSystemError(error);
      return Next::EndWorker;
    }
    HANDLE handles[2] = {m_stopEvent, m_writeOverlapped.hEvent};
    DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, m_writeTimeoutMs);
    if (waited == WAIT_OBJECT_0) return Next::EndWorker;
    if (waited == WAIT_TIMEOUT) {
      m_handler->OnTimeout();
      return Next::EndWorker;
    }
    if (waited != WAIT_OBJECT_0 + 1) {
      ReportSystemError(::GetLastError());
      return Next::EndWorker;
    }
    if (!::GetOverlappedResult(m_port, &m_writeOverlapped, &count, TRUE)) {
      ReportSystemError(::GetLastError());
      return Next::EndWorker;
    }
    written += count;
  }
  return Next::Continue;
}

BCOMConnection::Next BCOMConnection::AwaitReply() {
  for (;;) {
    int arrived = AwaitBytes();
    switch (arrived) {
      case kStopped:
      case kFailed:
        return Next::EndWorker;
      case kTimedOut:
        m_handler->OnTimeout();
        return Next::Continue;
      case kTimedOutStuck:
        // The read cannot be reused while its wait hangs on: report the
        // silence and end; the owner closes the link on a time-out anyway.
        m_handler->OnTimeout();
        return Next::EndWorker;
      case kGaveUp:
        // Reported already; the worker goes on with the next request.
        return Next::Continue;
      default:
        if (arrived > 0 && ParseReceived()) return Next::Replied;
    }
  }
}

int BCOMConnection::AwaitBytes() { return m_waitByReading ? AwaitFirstByte() : AwaitCommEvent(); }

int BCOMConnection::AwaitCommEvent() {
  m_eventMask = 0;
  if (!::WaitCommEvent(m_port, &m_eventMask, &m_readOverlapped)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      ReportSystemError(error);
      return kGaveUp;
    }
  }
  // The limit bounds the silence between two arrivals, not the whole reply.
  HANDLE handles[2] = {m_stopEvent, m_readOverlapped.hEvent};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, m_readTimeoutMs);
  if (waited == WAIT_OBJECT_0) return kStopped;
  if (waited == WAIT_TIMEOUT) {
    // The wait must not stay pending under the next request's wait.
    DWORD ignored = 0;
    return CancelPendingRead(ignored) ? kTimedOut : kTimedOutStuck;
  }
  if (waited != WAIT_OBJECT_0 + 1) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  DWORD transferred = 0;
  if (!::GetOverlappedResult(m_port, &m_readOverlapped, &transferred, TRUE)) {
    DWORD error = ::GetLastError();
    if (error == ERROR_OPERATION_ABORTED && m_eventMask == 0) {
      // Nobody cancelled it: the driver cannot wait for comm events here.
      m_waitByReading = true;
      return 0;
    }
    ReportSystemError(error);
    return kFailed;
  }
  if ((m_eventMask & EV_RXCHAR) == 0) return 0;
  return ReadWaitingBytes();
}

int BCOMConnection::AwaitFirstByte() {
  DWORD count = 0;
  if (!::ReadFile(m_port, m_received.FreeEnd(), 1, &count, &m_readOverlapped)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      ReportSystemError(error);
      return kFailed;
    }
  }
  HANDLE handles[2] = {m_stopEvent, m_readOverlapped.hEvent};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, m_readTimeoutMs);
  if (waited == WAIT_OBJECT_0) return kStopped;
  if (waited == WAIT_TIMEOUT) {
    // A byte that slipped in before the cancellation is kept.
    if (!CancelPendingRead(count)) return kTimedOutStuck;
    m_received.Commit(count);
    return kTimedOut;
  }
  if (waited != WAIT_OBJECT_0 + 1) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  if (!::GetOverlappedResult(m_port, &m_readOverlapped, &count, TRUE)) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  m_received.Commit(count);
  int rest = ReadWaitingBytes();
  return rest < 0 ? rest : static_cast<int>(count) + rest;
}

// Wine does not end a comm-event wait on a real serial device when it is
// cancelled; waiting for that without a limit would hang the worker.
bool BCOMConnection::CancelPendingRead(DWORD& count) {
  const DWORD kCancelWaitMs = 500;
  ::CancelIo(m_port);
  count = 0;
  if (::WaitForSingleObject(m_readOverlapped.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) return false;
  if (!::GetOverlappedResult(m_port, &m_readOverlapped, &count, FALSE)) count = 0;
  return true;
}

int BCOMConnection::ReadWaitingBytes() {
  DWORD errors = 0;
  COMSTAT status = {};
  if (!::ClearCommError(m_port, &errors, &status) || status.cbInQue == 0) return 0;
  DWORD wanted = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(m_received.FreeSpace()));
  if (wanted == 0) return 0;
  DWORD count = 0;
  if (!::ReadFile(m_port, m_received.FreeEnd(), wanted, &count, &m_readOverlapped)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      ReportSystemError(error);
      return kFailed;
    }
  }
  if (!::GetOverlappedResult(m_port, &m_readOverlapped, &count, TRUE)) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  m_received.Commit(count);
  return static_cast<int>(count);
}

void BCOMConnection::CloseOverlappedEvents() {
  for (OVERLAPPED* overlapped : {&m_readOverlapped, &m_writeOverlapped}) {
    if (overlapped->hEvent != nullptr) ::CloseHandle(overlapped->hEvent);
    overlapped->hEvent = nullptr;
  }
}
