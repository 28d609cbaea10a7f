// The port a siren is reached through, as the Port setting and the port
// dialog name it: a local serial port ("COM5", or a device name a driver
// gives, such as "CNCA0"), a raw TCP server that passes the bytes as they are
// ("tcp://host:port"), or a Telnet server with RFC 2217 port control
// ("rfc2217://host:port"). A host may be a name, an IPv4 address or an IPv6
// address in brackets ("tcp://[::1]:4001"). Portable; any thread.
#pragma once

#include <cstdint>
#include <string>

enum class BPortKind { Serial, Tcp, Rfc2217 };

// Why a text names no port (each has its text, see PortAddressErrorText).
enum class BPortAddressError {
  None,
  Empty,
  UnknownScheme,  // "udp://...", "telnet://..."
  NoHost,         // "tcp://:4001"
  BadPortNumber,  // missing, not a number, 0 or above 65535
  BadComNumber,   // "COM", "COM0", "COMX", "COM257"
  BadName,        // blanks, or ':' '/' in a local name
};

struct BPortAddress {
  BPortKind kind = BPortKind::Serial;
  // Serial: the name to open ("COM" names upper-cased, "com5" gives "COM5").
  std::string name;
  // Network: the host without brackets, and the TCP port.
  std::string host;
  uint16_t port = 0;

  bool IsNetwork() const { return kind != BPortKind::Serial; }
  // The address as the program writes it: "COM5", "tcp://host:4001",
  // "rfc2217://[::1]:4001".
  std::string ToString() const;
};

// Parses a trimmed port text. The scheme is taken in any case; a local name
// that begins with "COM" must be COM1..COM256.
BPortAddressError ParsePortAddress(const std::string& text, BPortAddress& address);

// The string-table id of the reason (link/link_string_ids.h); 0 for None.
int PortAddressErrorText(BPortAddressError error);
