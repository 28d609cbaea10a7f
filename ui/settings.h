// The settings kept under HKEY_CURRENT_USER\Software\Sirelta: "Port" (the
// serial port name), "Profile" (the last profile file) and "Verify" ("1" when
// a write ends with a read-back of what it sent, "0" otherwise).
#pragma once

#include <windows.h>

#include <string>

class BSettings {
 public:
  static const char kDefaultPort[];

  std::string port = kDefaultPort;
  std::string profile;
  bool verifyAfterWrite = false;

  // Reads the values. A missing key leaves the defaults; a missing,
  // unreadable or empty "Port" gives "COM1", a bad "Profile" an empty path,
  // a "Verify" other than "1" false.
  void Load();
  // Writes the values; failures are ignored (settings are a convenience).
  void Save() const;

 private:
  static bool ReadString(HKEY key, const char* name, std::string& value);
};
