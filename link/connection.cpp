#include "link/connection.h"

#include "platform/text.h"

#include <algorithm>
#include <vector>

#include "link/frame.h"

std::string PortDevicePath(const std::string& portName) {
  if (portName.size() > 4 && portName.compare(0, 3, "COM") == 0) return "\\\\.\\" + portName;
  return portName;
}

BCOMConnection::BCOMConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs,
                               DWORD replyLimitMs)
    : BCOMConnectionBase(handler, readTimeoutMs, writeTimeoutMs, replyLimitMs) {}

// The worker runs this class's ThreadProc: it must be stopped here, before
// the derived part is gone.
BCOMConnection::~BCOMConnection() {
  Close(5000);
  delete m_io;
}

bool BCOMConnection::Open(const std::string& portName) {
  m_waitByReading = false;
  if (m_io == nullptr) m_io = new BIoRecords();
  ZeroMemory(&m_io->read, sizeof(m_io->read));
  ZeroMemory(&m_io->write, sizeof(m_io->write));
  m_io->readPending = m_io->writePending = false;
  m_io->read.hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_io->write.hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (m_io->read.hEvent == nullptr || m_io->write.hEvent == nullptr) {
    SetSystemError(::GetLastError());
    CloseOverlappedEvents();
    return false;
  }
  if (BCOMConnectionBase::Open(portName)) return true;
  CloseOverlappedEvents();
  return false;
}

bool BCOMConnection::Close(DWORD timeoutMs) {
  bool stopped = StopWorker(timeoutMs);
  SettleWorkerIo();
  BCOMConnectionBase::Close(timeoutMs);
  CloseOverlappedEvents();
  return stopped;
}

bool BCOMConnection::HasPendingIo() const {
  return m_io != nullptr && (m_io->readPending || m_io->writePending);
}

void BCOMConnection::SettleWorkerIo() {
  if (!HasPendingIo()) return;
  // Only a killed worker, or a driver that keeps a cancelled wait, leaves an
  // operation behind. CancelIo of the worker cannot run any more; CancelIoEx
  // reaches the operations of every thread.
  if (m_port != INVALID_HANDLE_VALUE) {
    ::CancelIoEx(m_port, nullptr);
    if (WaitForPendingIo(kCancelWaitMs)) return;
    // Closing the port ends whatever is still waiting on it.
    ::CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
  }
  if (WaitForPendingIo(kCancelWaitMs)) return;
  // Nothing ended it: the records and their events stay with the operation
  // for good, and the next Open makes new ones.
  m_io = nullptr;
}

bool BCOMConnection::WaitForPendingIo(DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (m_io->readPending && HasOverlappedIoCompleted(&m_io->read)) m_io->readPending = false;
    if (m_io->writePending && HasOverlappedIoCompleted(&m_io->write)) m_io->writePending = false;
    if (!HasPendingIo()) return true;
    DWORD waited = ::GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    // The event of an ending operation wakes this wait early.
    HANDLE event = m_io->readPending ? m_io->read.hEvent : m_io->write.hEvent;
    ::WaitForSingleObject(event, std::min<DWORD>(timeoutMs - waited, 10));
  }
}

bool BCOMConnection::PreparePort(const std::string& portName) {
  ZeroMemory(&m_settings, sizeof(m_settings));
  m_settings.DCBlength = sizeof(m_settings);
  m_settings.BaudRate = CBR_115200;
  m_settings.ByteSize = 8;
  m_settings.Parity = NOPARITY;
  m_settings.StopBits = ONESTOPBIT;
  m_settings.fDtrControl = DTR_CONTROL_DISABLE;
  m_settings.fRtsControl = RTS_CONTROL_DISABLE;

  m_port = OpenPort(portName);
  // No driver time-outs: the worker bounds every wait itself.
  COMMTIMEOUTS timeouts = {0, 0, 0, 0, 0};
  if (m_port == INVALID_HANDLE_VALUE || !::SetCommState(m_port, &m_settings) ||
      !::SetCommTimeouts(m_port, &timeouts) || !::SetCommMask(m_port, EV_RXCHAR)) {
    SetSystemError(::GetLastError());
    return false;
  }
  return true;
}

HANDLE BCOMConnection::OpenPort(const std::string& portName) {
  return ::CreateFileW(Widen(PortDevicePath(portName)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

void BCOMConnection::ThreadProc() {
  RunWorker();
  // A wait, a read or a write may still be pending on the records: cancel it
  // and let it end before the owner closes the events or reuses the records.
  if (!HasPendingIo()) return;
  ::CancelIo(m_port);
  WaitForPendingIo(kCancelWaitMs);
}

void BCOMConnection::RunWorker() {
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
    if (!m_sendQueue.CopyFront(m_io->frame)) continue;
    if (!DropUnrequestedBytes()) return;
    if (WriteFrame() == Next::EndWorker) return;
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

// A reply answers only a request that was written and has not been answered:
// a late copy of the last reply, or a frame of another device, must not be
// taken for the answer to the request about to go out. One ClearCommError
// when nothing waits, the usual case.
bool BCOMConnection::DropUnrequestedBytes() {
  DiscardReceived();
  if (ReadWaitingBytes() == kFailed) return false;
  DiscardReceived();
  return true;
}

BCOMConnection::Next BCOMConnection::WriteFrame() {
  const std::vector<uint8_t>& frame = m_io->frame;
  OVERLAPPED* overlapped = &m_io->write;
  size_t written = 0;
  while (written < frame.size()) {
    DWORD count = 0;
    m_io->writePending = true;
    if (::WriteFile(m_port, frame.data() + written, static_cast<DWORD>(frame.size() - written),
                    nullptr, overlapped)) {
      // Done at once (the usual case): there is nothing to wait for, and the
      // result is already in the record.
      m_io->writePending = false;
      if (!::GetOverlappedResult(m_port, overlapped, &count, FALSE)) {
        ReportSystemError(::GetLastError());
        return Next::EndWorker;
      }
      written += count;
      continue;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      m_io->writePending = false;
      ReportSystemError(error);
      return Next::EndWorker;
    }
    // On the stop event and on a time-out the write stays pending; the end
    // of the worker cancels it and waits for it.
    HANDLE handles[2] = {m_stopEvent, overlapped->hEvent};
    DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, m_writeTimeoutMs);
    if (waited == WAIT_OBJECT_0) return Next::EndWorker;
    if (waited == WAIT_TIMEOUT) {
      // The worker ends here, so the link must not wait for a request sent
      // again: a failure, not a time-out.
      ReportSystemError(ERROR_TIMEOUT);
      return Next::EndWorker;
    }
    if (waited != WAIT_OBJECT_0 + 1) {
      ReportSystemError(::GetLastError());
      return Next::EndWorker;
    }
    BOOL done = ::GetOverlappedResult(m_port, overlapped, &count, TRUE);
    m_io->writePending = false;
    if (!done) {
      ReportSystemError(::GetLastError());
      return Next::EndWorker;
    }
    written += count;
  }
  return Next::Continue;
}

BCOMConnection::Next BCOMConnection::AwaitReply() {
  // Each wait is bounded by the read time-out (the silence between two
  // arrivals) and by what is left of the reply limit, counted from the end
  // of the write: a device that keeps talking without answering times out too.
  // Bytes that came without a good reply among them, followed by a short
  // quiet, are a garbled reply.
  const DWORD start = ::GetTickCount();
  bool bytesCame = false;
  for (;;) {
    const DWORD spent = ::GetTickCount() - start;
    DWORD waitMs = spent >= m_replyLimitMs ? 0 : std::min(m_readTimeoutMs, m_replyLimitMs - spent);
    bool quietEndsIt = bytesCame && waitMs > kLinkGarbledQuietMs;
    if (quietEndsIt) waitMs = kLinkGarbledQuietMs;
    int arrived = waitMs == 0 ? kTimedOut : AwaitBytes(waitMs);
    switch (arrived) {
      case kStopped:
      case kFailed:
        return Next::EndWorker;
      case kTimedOut:
        if (quietEndsIt)
          m_handler->OnGarbledReply();
        else
          m_handler->OnTimeout();
        return Next::Continue;
      case kTimedOutStuck:
        // The read cannot be reused while its wait hangs on: the worker
        // ends, reported as a failure so that nothing waits for a retry.
        ReportSystemError(ERROR_TIMEOUT);
        return Next::EndWorker;
      case kGaveUp:
        // Reported already; the worker goes on with the next request.
        return Next::Continue;
      default:
        // Only the reply to the request just written ends the wait; the
        // bytes after it answer nothing and are dropped before the next write.
        if (arrived > 0 && ParseReceived(m_io->frame[1])) return Next::Replied;
        if (arrived > 0) bytesCame = true;
    }
  }
}

int BCOMConnection::AwaitBytes(DWORD waitMs) {
  // A byte kept on a time-out may have filled the buffer: never read into it
  // without room.
  MakeRoom(m_received);
  return m_waitByReading ? AwaitFirstByte(waitMs) : AwaitCommEvent(waitMs);
}

int BCOMConnection::AwaitCommEvent(DWORD waitMs) {
  m_io->eventMask = 0;
  m_io->readPending = true;
  if (!::WaitCommEvent(m_port, &m_io->eventMask, &m_io->read)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      m_io->readPending = false;
      ReportSystemError(error);
      return kGaveUp;
    }
  }
  HANDLE handles[2] = {m_stopEvent, m_io->read.hEvent};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, waitMs);
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
  if (!FinishRead(transferred)) {
    DWORD error = ::GetLastError();
    if (error == ERROR_OPERATION_ABORTED && m_io->eventMask == 0) {
      // Nobody cancelled it: the driver cannot wait for comm events here.
      m_waitByReading = true;
      return 0;
    }
    ReportSystemError(error);
    return kFailed;
  }
  if ((m_io->eventMask & EV_RXCHAR) == 0) return 0;
  return ReadWaitingBytes();
}

int BCOMConnection::AwaitFirstByte(DWORD waitMs) {
  DWORD count = 0;
  m_io->readPending = true;
  if (!::ReadFile(m_port, &m_io->firstByte, 1, &count, &m_io->read)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      m_io->readPending = false;
      ReportSystemError(error);
      return kFailed;
    }
  }
  HANDLE handles[2] = {m_stopEvent, m_io->read.hEvent};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, waitMs);
  if (waited == WAIT_OBJECT_0) return kStopped;
  if (waited == WAIT_TIMEOUT) {
    // A byte that slipped in before the cancellation is kept.
    if (!CancelPendingRead(count)) return kTimedOutStuck;
    m_received.Append(&m_io->firstByte, count);
    return kTimedOut;
  }
  if (waited != WAIT_OBJECT_0 + 1) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  if (!FinishRead(count)) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  m_received.Append(&m_io->firstByte, count);
  int rest = ReadWaitingBytes();
  return rest < 0 ? rest : static_cast<int>(count) + rest;
}

bool BCOMConnection::FinishRead(DWORD& count) {
  BOOL done = ::GetOverlappedResult(m_port, &m_io->read, &count, TRUE);
  m_io->readPending = false;
  return done != FALSE;
}

// Wine does not end a comm-event wait on a real serial device when it is
// cancelled; waiting for that without a limit would hang the worker.
bool BCOMConnection::CancelPendingRead(DWORD& count) {
  ::CancelIo(m_port);
  count = 0;
  if (!WaitForPendingIo(kCancelWaitMs)) return false;
  if (!::GetOverlappedResult(m_port, &m_io->read, &count, FALSE)) count = 0;
  return true;
}

int BCOMConnection::ReadWaitingBytes() {
  DWORD errors = 0;
  COMSTAT status = {};
  if (!::ClearCommError(m_port, &errors, &status)) return 0;
  // Framing, parity, overrun: kept for the owner's message on a time-out.
  if (errors != 0) m_lineErrors |= errors;
  if (status.cbInQue == 0) return 0;
  DWORD wanted = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(m_received.FreeSpace()));
  if (wanted == 0) return 0;
  DWORD count = 0;
  m_io->readPending = true;
  if (!::ReadFile(m_port, m_received.FreeEnd(), wanted, &count, &m_io->read)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      m_io->readPending = false;
      ReportSystemError(error);
      return kFailed;
    }
    // The bytes are in the driver already, so the read ends at once; a
    // device pulled out at this moment must not hold the worker for good.
    if (::WaitForSingleObject(m_io->read.hEvent, m_readTimeoutMs) != WAIT_OBJECT_0) {
      CancelPendingRead(count);
      ReportSystemError(ERROR_TIMEOUT);
      return kFailed;
    }
  }
  if (!FinishRead(count)) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  m_received.Commit(count);
  return static_cast<int>(count);
}

void BCOMConnection::CloseOverlappedEvents() {
  if (m_io == nullptr) return;
  for (OVERLAPPED* overlapped : {&m_io->read, &m_io->write}) {
    if (overlapped->hEvent != nullptr) ::CloseHandle(overlapped->hEvent);
    overlapped->hEvent = nullptr;
  }
}
