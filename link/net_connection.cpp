#include "link/net_connection.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>

#include "link/frame.h"
#include "link/link_string_ids.h"
#include "platform/error_text.h"
#include "platform/text.h"

namespace {

// What is left of the time until `deadline`, a tick count; 0 once it passed.
DWORD Remaining(DWORD deadline) {
  DWORD now = ::GetTickCount();
  return static_cast<int32_t>(deadline - now) > 0 ? deadline - now : 0;
}

// A host name is resolved on a thread of its own, so that the worker can
// give up at the connect limit or on a stop; whichever of the two is done
// last frees the record and what it holds.
struct BResolution {
  std::wstring host;
  std::wstring service;
  ADDRINFOW* result = nullptr;
  int error = 0;
  HANDLE done = nullptr;
  std::atomic<int> owners{2};

  void Release() {
    if (--owners > 0) return;
    if (result != nullptr) ::FreeAddrInfoW(result);
    if (done != nullptr) ::CloseHandle(done);
    delete this;
  }
};

DWORD WINAPI ResolveThread(LPVOID parameter) {
  BResolution* resolution = static_cast<BResolution*>(parameter);
  ADDRINFOW hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  resolution->error = ::GetAddrInfoW(resolution->host.c_str(), resolution->service.c_str(), &hints,
                                     &resolution->result);
  ::SetEvent(resolution->done);
  resolution->Release();
  return 0;
}

}  // namespace

BNetConnection::BNetConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs,
                               DWORD replyLimitMs)
    : BCOMConnectionBase(handler, readTimeoutMs, writeTimeoutMs, replyLimitMs) {
  WSADATA data;
  m_winsock = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

// The worker runs this class's ThreadProc: it must be stopped here, before
// the derived part is gone.
BNetConnection::~BNetConnection() {
  Close(5000);
  if (m_winsock) ::WSACleanup();
}

bool BNetConnection::PreparePort(const std::string& portName) {
  BPortAddress address;
  BPortAddressError error = ParsePortAddress(portName, address);
  if (error != BPortAddressError::None || !address.IsNetwork()) {
    int reason =
        error == BPortAddressError::None ? IDS_ADDRESS_BAD_FORM : PortAddressErrorText(error);
    SetErrorText(ERROR_INVALID_NAME,
                 FormatUtf8Text(BText(IDS_BAD_PORT_ADDRESS, {portName, BText(reason)})));
    return false;
  }
  if (!m_winsock) {
    SetSystemError(WSASYSNOTREADY);
    return false;
  }
  m_address = address;
  m_socketEvent = ::WSACreateEvent();
  if (m_socketEvent == WSA_INVALID_EVENT) {
    SetSystemError(::WSAGetLastError());
    return false;
  }
  return true;
}

bool BNetConnection::Close(DWORD timeoutMs) {
  bool stopped = StopWorker(timeoutMs);
  CloseSocket();
  if (m_socketEvent != WSA_INVALID_EVENT) ::WSACloseEvent(m_socketEvent);
  m_socketEvent = WSA_INVALID_EVENT;
  BCOMConnectionBase::Close(timeoutMs);
  return stopped;
}

void BNetConnection::CloseSocket() {
  if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

void BNetConnection::ThreadProc() {
  if (!Connect()) return;
  RunWorker();
}

void BNetConnection::ReportConnectFailure(int error) {
  ReportError(static_cast<DWORD>(error),
              FormatUtf8Text(BText(IDS_NET_CONNECT_FAILED,
                                   {Named(), ::GetErrorText(static_cast<unsigned long>(error))})));
}

bool BNetConnection::Connect() {
  const DWORD deadline = ::GetTickCount() + kConnectLimitMs;
  m_codec.Reset();
  ADDRINFOW* addresses = Resolve(deadline);
  if (addresses == nullptr) return false;
  int error = WSAEHOSTUNREACH;
  bool connected = false;
  for (const ADDRINFOW* address = addresses; address != nullptr && !connected;
       address = address->ai_next)
    connected = ConnectTo(address, deadline, error);
  ::FreeAddrInfoW(addresses);
  if (!connected) {
    if (::WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) return false;
    if (error == WSAETIMEDOUT)
      ReportError(ERROR_TIMEOUT,
                  FormatUtf8Text(BText(IDS_NET_CONNECT_TIMEOUT,
                                       {Named(), static_cast<int>(kConnectLimitMs / 1000)})));
    else
      ReportConnectFailure(error);
    return false;
  }
  return m_address.kind != BPortKind::Rfc2217 || Negotiate(deadline);
}

ADDRINFOW* BNetConnection::Resolve(DWORD deadline) {
  BResolution* resolution = new BResolution();
  resolution->host = Widen(m_address.host);
  resolution->service = std::to_wstring(m_address.port);
  resolution->done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = resolution->done != nullptr
                      ? ::CreateThread(nullptr, 0, ResolveThread, resolution, 0, nullptr)
                      : nullptr;
  if (thread == nullptr) {
    int error = static_cast<int>(::GetLastError());
    resolution->owners = 1;
    resolution->Release();
    ReportConnectFailure(error);
    return nullptr;
  }
  ::CloseHandle(thread);
  HANDLE handles[2] = {m_stopEvent, resolution->done};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, Remaining(deadline));
  ADDRINFOW* addresses = nullptr;
  if (waited == WAIT_OBJECT_0 + 1) {
    if (resolution->error != 0)
      ReportConnectFailure(resolution->error);
    else
      std::swap(addresses, resolution->result);
  } else if (waited == WAIT_TIMEOUT) {
    ReportError(ERROR_TIMEOUT,
                FormatUtf8Text(BText(IDS_NET_CONNECT_TIMEOUT,
                                     {Named(), static_cast<int>(kConnectLimitMs / 1000)})));
  }
  resolution->Release();
  return addresses;
}

// `error` gets the reason of a failure (WSAETIMEDOUT at the deadline); a
// stop ends it without one.
bool BNetConnection::ConnectTo(const ADDRINFOW* address, DWORD deadline, int& error) {
  m_socket = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
  if (m_socket == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return false;
  }
  // Every frame is small and waits for its reply: it must go at once.
  BOOL noDelay = TRUE;
  ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
  if (::WSAEventSelect(m_socket, m_socketEvent, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    error = ::WSAGetLastError();
    CloseSocket();
    return false;
  }
  if (::connect(m_socket, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0)
    return true;
  error = ::WSAGetLastError();
  if (error != WSAEWOULDBLOCK) {
    CloseSocket();
    return false;
  }
  for (;;) {
    HANDLE handles[2] = {m_stopEvent, m_socketEvent};
    DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, Remaining(deadline));
    if (waited != WAIT_OBJECT_0 + 1) {
      error = waited == WAIT_TIMEOUT ? WSAETIMEDOUT : 0;
      CloseSocket();
      return false;
    }
    WSANETWORKEVENTS events = {};
    if (::WSAEnumNetworkEvents(m_socket, m_socketEvent, &events) != 0) {
      error = ::WSAGetLastError();
      CloseSocket();
      return false;
    }
    if ((events.lNetworkEvents & FD_CONNECT) == 0) continue;
    error = events.iErrorCode[FD_CONNECT_BIT];
    if (error == 0) return true;
    CloseSocket();
    return false;
  }
}

// Port control is offered and the settings go as soon as the server agrees;
// the worker goes on once the server confirmed them or refused port control
// (its own settings stand then). A server that never answers a word of
// Telnet is not one: the siren's bytes would meet the commands.
bool BNetConnection::Negotiate(DWORD deadline) {
  if (!SendAll(m_codec.Start())) return false;
  while (!m_codec.IsNegotiationSettled()) {
    int got = AwaitBytes(Remaining(deadline));
    if (got == kStopped || got == kFailed) return false;
    if (got == kTimedOut || Remaining(deadline) == 0) {
      if (m_codec.HeardTelnet()) break;
      ReportError(ERROR_TIMEOUT,
                  FormatUtf8Text(BText(IDS_NET_NO_TELNET_ANSWER,
                                       {Named(), static_cast<int>(kConnectLimitMs / 1000)})));
      return false;
    }
  }
  return true;
}

bool BNetConnection::SendAll(const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  const DWORD deadline = ::GetTickCount() + m_writeTimeoutMs;
  while (sent < bytes.size()) {
    int count = ::send(m_socket, reinterpret_cast<const char*>(bytes.data() + sent),
                       static_cast<int>(bytes.size() - sent), 0);
    if (count > 0) {
      sent += static_cast<size_t>(count);
      continue;
    }
    int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      ReportSystemError(static_cast<DWORD>(error));
      return false;
    }
    // The socket's event also wakes this wait for what came in; the next
    // wait for bytes reads first, so nothing is missed.
    HANDLE handles[2] = {m_stopEvent, m_socketEvent};
    DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, Remaining(deadline));
    if (waited == WAIT_OBJECT_0) return false;
    if (waited == WAIT_TIMEOUT) {
      ReportSystemError(ERROR_TIMEOUT);
      return false;
    }
  }
  return true;
}

int BNetConnection::ReadAvailable() {
  WSANETWORKEVENTS events = {};
  ::WSAEnumNetworkEvents(m_socket, m_socketEvent, &events);
  // A read that leaves bytes behind makes the socket signal again, so one
  // call may stop early and the worker still hears of the rest.
  const size_t kMostPerCall = 16384;
  int total = 0;
  size_t& taken = m_wireBytes;
  taken = 0;
  while (taken < kMostPerCall) {
    MakeRoom(m_received);
    uint8_t chunk[1024];
    int wanted = static_cast<int>(std::min(sizeof(chunk), m_received.FreeSpace()));
    int count = ::recv(m_socket, reinterpret_cast<char*>(chunk), wanted, 0);
    if (count == 0) {
      ReportError(WSAECONNRESET, FormatUtf8Text(BText(IDS_NET_CLOSED_BY_SERVER, {Named()})));
      return kFailed;
    }
    if (count < 0) {
      int error = ::WSAGetLastError();
      if (error == WSAEWOULDBLOCK) break;
      ReportError(
          static_cast<DWORD>(error),
          FormatUtf8Text(BText(IDS_NET_CONNECT_FAILED,
                               {Named(), ::GetErrorText(static_cast<unsigned long>(error))})));
      return kFailed;
    }
    taken += static_cast<size_t>(count);
    if (m_address.kind == BPortKind::Tcp) {
      total += static_cast<int>(m_received.Append(chunk, static_cast<size_t>(count)));
      continue;
    }
    m_decoded.clear();
    m_answers.clear();
    m_codec.Decode(chunk, static_cast<size_t>(count), m_decoded, m_answers);
    total += static_cast<int>(m_received.Append(m_decoded.data(), m_decoded.size()));
    if (!m_answers.empty() && !SendAll(m_answers)) return kFailed;
  }
  return total;
}

int BNetConnection::AwaitBytes(DWORD waitMs) {
  // Telnet alone (a negotiation) counts as an arrival too: the caller looks
  // at what it settled before waiting again.
  int got = ReadAvailable();
  if (got != 0 || m_wireBytes > 0) return got;
  HANDLE handles[2] = {m_stopEvent, m_socketEvent};
  DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, waitMs);
  if (waited == WAIT_OBJECT_0) return kStopped;
  if (waited == WAIT_TIMEOUT) return kTimedOut;
  if (waited != WAIT_OBJECT_0 + 1) {
    ReportSystemError(::GetLastError());
    return kFailed;
  }
  return ReadAvailable();
}

void BNetConnection::RunWorker() {
  // Whatever the server sent before the first request answers nothing.
  if (ReadAvailable() == kFailed) return;
  DiscardReceived();
  bool goOn = false;
  for (;;) {
    if (!goOn) {
      HANDLE idle[3] = {m_stopEvent, m_sendEvent, m_socketEvent};
      DWORD waited = ::WaitForMultipleObjects(3, idle, FALSE, INFINITE);
      if (waited == WAIT_OBJECT_0) return;
      if (waited == WAIT_OBJECT_0 + 2) {
        // Bytes nobody asked for, or the server closing the connection.
        if (ReadAvailable() == kFailed) return;
        DiscardReceived();
        continue;
      }
      if (waited != WAIT_OBJECT_0 + 1) {
        ReportSystemError(::GetLastError());
        return;
      }
    }
    goOn = false;
    if (!m_sendQueue.CopyFront(m_frame)) continue;
    DiscardReceived();
    if (ReadAvailable() == kFailed) return;
    DiscardReceived();
    m_wire.clear();
    if (m_address.kind == BPortKind::Rfc2217)
      m_codec.Encode(m_frame.data(), m_frame.size(), m_wire);
    else
      m_wire = m_frame;
    if (!SendAll(m_wire)) return;
    m_sendQueue.PopFront();
    Next next = AwaitReply();
    if (next == Next::EndWorker) return;
    if (m_sendQueue.IsEmpty()) continue;
    if (next == Next::Replied)
      goOn = true;
    else
      ::SetEvent(m_sendEvent);
  }
}

// As on the COM port: each wait is bounded by the read time-out and by what
// is left of the reply limit; bytes without a good reply among them followed
// by a short quiet are a garbled reply.
BNetConnection::Next BNetConnection::AwaitReply() {
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
      default:
        if (arrived > 0 && ParseReceived(m_frame[1])) return Next::Replied;
        if (arrived > 0) bytesCame = true;
    }
  }
}
