#include "link/port_address.h"

#include <cctype>

#include "link/link_string_ids.h"

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i)
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
      return false;
  return true;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A decimal number of at most `maxDigits` digits in 1..maxValue.
bool ParseNumber(const std::string& text, size_t maxDigits, unsigned maxValue, unsigned& value) {
  if (!AllDigits(text) || text.size() > maxDigits) return false;
  value = static_cast<unsigned>(std::stoul(text));
  return value >= 1 && value <= maxValue;
}

bool HasBlank(const std::string& text) {
  for (char c : text)
    if (std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c)))
      return true;
  return false;
}

BPortAddressError ParseSerial(const std::string& text, BPortAddress& address) {
  if (HasBlank(text) || text.find_first_of(":/") != std::string::npos)
    return BPortAddressError::BadName;
  address.kind = BPortKind::Serial;
  address.name = text;
  if (StartsWithNoCase(text, "com")) {
    unsigned number = 0;
    if (!ParseNumber(text.substr(3), 3, 256, number)) return BPortAddressError::BadComNumber;
    address.name = "COM" + std::to_string(number);
  }
  return BPortAddressError::None;
}

// "host:port" or "[v6]:port" after the scheme.
BPortAddressError ParseHostAndPort(const std::string& rest, BPortAddress& address) {
  if (HasBlank(rest) || rest.find('/') != std::string::npos) return BPortAddressError::BadName;
  std::string host;
  std::string port;
  if (!rest.empty() && rest[0] == '[') {
    size_t close = rest.find(']');
    if (close == std::string::npos) return BPortAddressError::BadName;
    host = rest.substr(1, close - 1);
    if (close + 1 >= rest.size() || rest[close + 1] != ':') return BPortAddressError::BadPortNumber;
    port = rest.substr(close + 2);
  } else {
    size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
      if (rest.empty()) return BPortAddressError::NoHost;
      return BPortAddressError::BadPortNumber;
    }
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    // An IPv6 address names its port only inside brackets.
    if (host.find(':') != std::string::npos) return BPortAddressError::BadName;
  }
  if (host.empty()) return BPortAddressError::NoHost;
  unsigned number = 0;
  if (!ParseNumber(port, 5, 65535, number)) return BPortAddressError::BadPortNumber;
  address.host = host;
  address.port = static_cast<uint16_t>(number);
  return BPortAddressError::None;
}

}  // namespace

std::string BPortAddress::ToString() const {
  if (kind == BPortKind::Serial) return name;
  std::string text = kind == BPortKind::Tcp ? "tcp://" : "rfc2217://";
  text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return text + ":" + std::to_string(port);
}

BPortAddressError ParsePortAddress(const std::string& text, BPortAddress& address) {
  address = BPortAddress();
  if (text.empty()) return BPortAddressError::Empty;
  size_t scheme = text.find("://");
  if (scheme == std::string::npos) {
    BPortAddressError error = ParseSerial(text, address);
    if (error != BPortAddressError::None) address = BPortAddress();
    return error;
  }
  BPortKind kind;
  if (scheme == 3 && StartsWithNoCase(text, "tcp"))
    kind = BPortKind::Tcp;
  else if (scheme == 7 && StartsWithNoCase(text, "rfc2217"))
    kind = BPortKind::Rfc2217;
  else
    return BPortAddressError::UnknownScheme;
  BPortAddressError error = ParseHostAndPort(text.substr(scheme + 3), address);
  if (error != BPortAddressError::None) {
    address = BPortAddress();
    return error;
  }
  address.kind = kind;
  return BPortAddressError::None;
}

int PortAddressErrorText(BPortAddressError error) {
  switch (error) {
    case BPortAddressError::None:
      return 0;
    case BPortAddressError::UnknownScheme:
      return IDS_ADDRESS_UNKNOWN_SCHEME;
    case BPortAddressError::NoHost:
      return IDS_ADDRESS_NO_HOST;
    case BPortAddressError::BadPortNumber:
      return IDS_ADDRESS_BAD_PORT_NUMBER;
    case BPortAddressError::BadComNumber:
      return IDS_ADDRESS_BAD_COM_NUMBER;
    default:
      return IDS_ADDRESS_BAD_FORM;
  }
}
