// BNetConnection: the siren link over the network, beside the COM port
// (BCOMConnection): a raw TCP server that passes the bytes as they are
// ("tcp://host:port"), or a Telnet server with RFC 2217 port control
// ("rfc2217://host:port", BTelnetCodec), such as a serial device server in
// front of the siren's line. It keeps the COM port's reply, read and write
// time-outs and its way of waiting for one reply at a time.
//
// Open only checks the address and starts the worker: the worker resolves
// the host, connects and, for RFC 2217, negotiates the line settings, all
// within kConnectLimitMs, so that the window keeps answering meanwhile. A
// failure there is reported as any failure of the port (OnError) with a text
// that names the address. The server closing the connection is noticed at
// once, also while no request waits.
//
// Threads: as BCOMConnectionBase. The socket, its event, the codec and the
// resolution belong to the worker while it runs; Open and Close make and
// close them on the user-interface thread while no worker runs.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <vector>

#include "link/connection_base.h"
#include "link/port_address.h"
#include "link/telnet_codec.h"

class BNetConnection : public BCOMConnectionBase {
 public:
  static constexpr DWORD kConnectLimitMs = 5000;

  BNetConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs,
                 DWORD replyLimitMs = kLinkReplyLimitMs);
  ~BNetConnection() override;

  bool Close(DWORD timeoutMs) override;

 protected:
  bool PreparePort(const std::string& portName) override;
  void ThreadProc() override;

 private:
  enum class Next { Continue, Replied, EndWorker };
  static constexpr int kTimedOut = -1;
  static constexpr int kStopped = -2;
  static constexpr int kFailed = -3;

  // Resolves, connects and negotiates; false when it failed (reported) or
  // the worker was stopped.
  bool Connect();
  // The addresses of the host, waited for at most until `deadline` (a tick
  // count); nullptr on failure (reported) or a stop. FreeAddrInfoW frees them.
  ADDRINFOW* Resolve(DWORD deadline);
  bool ConnectTo(const ADDRINFOW* address, DWORD deadline, int& error);
  bool Negotiate(DWORD deadline);
  void RunWorker();
  Next AwaitReply();
  // Waits at most `waitMs` for the socket and reads what came: the number of
  // the siren's bytes (0 when only Telnet came), or kTimedOut, kStopped,
  // kFailed (reported).
  int AwaitBytes(DWORD waitMs);
  // Reads what the socket holds into the receive buffer (decoded, with the
  // Telnet answers sent): the number of the siren's bytes, or kFailed.
  int ReadAvailable();
  // Sends all of `bytes`, waiting at most the write time-out; false on a
  // failure (reported) or a stop.
  bool SendAll(const std::vector<uint8_t>& bytes);
  // The address as the user wrote it, for the texts.
  std::string Named() const { return m_address.ToString(); }
  void ReportConnectFailure(int error);
  void CloseSocket();

  bool m_winsock = false;  // WSAStartup succeeded (constructor)
  BPortAddress m_address;
  SOCKET m_socket = INVALID_SOCKET;
  WSAEVENT m_socketEvent = WSA_INVALID_EVENT;
  BTelnetCodec m_codec;
  std::vector<uint8_t> m_frame;    // the request being sent
  std::vector<uint8_t> m_wire;     // what goes on the wire for it
  std::vector<uint8_t> m_decoded;  // the siren's bytes of one read
  std::vector<uint8_t> m_answers;  // the Telnet answers of one read
  size_t m_wireBytes = 0;          // what the last ReadAvailable took from the wire
};
