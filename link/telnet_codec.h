// BTelnetCodec: the client's side of a Telnet connection with RFC 2217 port
// control, as the network transport speaks it to a serial server. It turns
// the bytes the link sends into what goes on the wire (the Telnet escape
// byte 0xFF doubled, and a carriage return followed by a zero while the
// server has not agreed to binary transmission), and what comes from the
// wire into the siren's bytes, with every Telnet command and subnegotiation
// taken out. It answers the server's option negotiation: binary
// transmission and suppress-go-ahead both ways are accepted, the port
// control option (44) is offered, echo and everything else are refused.
// Once the server agrees to port control it sends the siren's line
// settings: 115200 baud, 8 data bits, no parity, 1 stop bit, no flow
// control, and notes what the server confirms.
//
// Portable and single-threaded: the transport's worker owns it. A command
// split over two reads is taken whole (the state carries over).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BTelnetCodec {
 public:
  static constexpr uint8_t kIac = 255;
  static constexpr uint8_t kDont = 254;
  static constexpr uint8_t kDo = 253;
  static constexpr uint8_t kWont = 252;
  static constexpr uint8_t kWill = 251;
  static constexpr uint8_t kSb = 250;
  static constexpr uint8_t kSe = 240;
  static constexpr uint8_t kBinary = 0;
  static constexpr uint8_t kEcho = 1;
  static constexpr uint8_t kSuppressGoAhead = 3;
  static constexpr uint8_t kComPort = 44;
  // RFC 2217 commands of the client; the server answers each with its code + 100.
  static constexpr uint8_t kSetBaudRate = 1;
  static constexpr uint8_t kSetDataSize = 2;
  static constexpr uint8_t kSetParity = 3;
  static constexpr uint8_t kSetStopSize = 4;
  static constexpr uint8_t kSetControl = 5;
  static constexpr uint8_t kServerOffset = 100;
  static constexpr uint32_t kBaudRate = 115200;
  static constexpr uint8_t kDataBits = 8;
  static constexpr uint8_t kParityNone = 1;
  static constexpr uint8_t kOneStopBit = 1;
  static constexpr uint8_t kNoFlowControl = 1;

  BTelnetCodec() { Reset(); }

  // Forgets every option and the half-read command; for a new connection.
  void Reset();
  // What the client says first: the offer of port control, binary
  // transmission both ways and suppress-go-ahead both ways.
  std::vector<uint8_t> Start();
  // Appends `count` bytes of the link, escaped, to `wire`.
  void Encode(const uint8_t* data, size_t count, std::vector<uint8_t>& wire) const;
  // Takes bytes from the wire: the siren's bytes are appended to `data`, the
  // answers the server's negotiation needs (and the line settings, once
  // port control is agreed) to `reply`, which the caller sends.
  void Decode(const uint8_t* wire, size_t count, std::vector<uint8_t>& data,
              std::vector<uint8_t>& reply);

  // The server agreed to port control, or refused it.
  bool IsComPortAgreed() const { return m_local[kComPort] == Option::Yes; }
  bool IsComPortRefused() const { return m_comPortRefused; }
  // The server has confirmed the speed, the data bits, the parity and the
  // stop bits (whatever values it gave).
  bool AreSettingsConfirmed() const { return (m_confirmed & kAllSettings) == kAllSettings; }
  // Port control is settled: refused, or agreed and its settings confirmed.
  bool IsNegotiationSettled() const {
    return m_comPortRefused || (IsComPortAgreed() && AreSettingsConfirmed());
  }
  // Anything of Telnet came from the server (a command or a subnegotiation).
  bool HeardTelnet() const { return m_heardTelnet; }
  // The values the server confirmed (0 for none yet).
  uint32_t ConfirmedBaudRate() const { return m_baudRate; }
  uint8_t ConfirmedDataBits() const { return m_dataBits; }
  uint8_t ConfirmedParity() const { return m_parity; }
  uint8_t ConfirmedStopBits() const { return m_stopBits; }
  bool IsServerBinary() const { return m_remote[kBinary] == Option::Yes; }
  bool IsClientBinary() const { return m_local[kBinary] == Option::Yes; }

 private:
  enum class Option : uint8_t { No, Yes, WantYes };
  enum class State : uint8_t { Data, Iac, Negotiation, Sub, SubIac };
  static constexpr unsigned kAllSettings = 0x0F;
  static constexpr size_t kMaxSubLength = 64;

  static bool LocalSupported(uint8_t option);
  static bool RemoteSupported(uint8_t option);
  static void Command(std::vector<uint8_t>& out, uint8_t verb, uint8_t option);
  void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
  void SendSettings(std::vector<uint8_t>& reply) const;
  void EndSubnegotiation();

  Option m_local[256];   // what we do (WILL/WONT)
  Option m_remote[256];  // what the server does (DO/DONT)
  State m_state = State::Data;
  uint8_t m_verb = 0;
  bool m_afterCr = false;
  bool m_comPortRefused = false;
  bool m_heardTelnet = false;
  std::vector<uint8_t> m_sub;
  unsigned m_confirmed = 0;
  uint32_t m_baudRate = 0;
  uint8_t m_dataBits = 0;
  uint8_t m_parity = 0;
  uint8_t m_stopBits = 0;
};
