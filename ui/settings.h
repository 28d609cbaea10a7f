// The two settings kept under HKEY_CURRENT_USER\Software\Sirelta:
// "Port" (the serial port name) and "Profile" (the last profile file).
#pragma once

#include <windows.h>

#include <string>

class BSettings {
 public:
  static const char kDefaultPort[];

  std::string port = kDefaultPort;
  std::string profile;

  // Reads both values. A missing key leaves the defaults; a missing,
  // unreadable or empty "Port" gives "COM1", a bad "Profile" an empty path.
  void Load();
  // Writes both values; failures are ignored (settings are a convenience).
  void Save() const;

 private:
  static bool ReadString(HKEY key, const char* name, std::string& value);
};
