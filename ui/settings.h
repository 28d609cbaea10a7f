// The settings kept under HKEY_CURRENT_USER\Software\Sirelta: "Port" (the
// serial port name), "Profile" (the last profile file), "Verify" ("0" when a
// write ends with a read-back of a sample of what it sent, "1" or missing
// when of all of it) and "Wave"
// (whether and where the waveform window is shown, see BWavePlacement).
#pragma once

#include <windows.h>

#include <string>

class BSettings {
 public:
  static const char kDefaultPort[];

  std::string port = kDefaultPort;
  std::string profile;
  bool verifyAfterWrite = true;
  std::string wave;  // empty: never saved
  // "Quality": "high" for the high-quality conversion of imported sound,
  // "standard" (or anything else, or nothing) for the standard one.
  bool highQualityConversion = false;

  // Reads the values. A missing key leaves the defaults; a missing,
  // unreadable or empty "Port" gives "COM1", a bad "Profile" an empty path,
  // a "Verify" other than "0" true, a bad "Wave" an empty text.
  void Load();
  // Writes the values ("Wave" only when set); failures are ignored (settings
  // are a convenience).
  void Save() const;

  // Writes "Wave" alone (the other values keep what they hold).
  void SaveWave() const;

 private:
  static bool ReadString(HKEY key, const char* name, std::string& value);
  static void WriteString(HKEY key, const char* name, const std::string& value);
  static HKEY CreateKey();
};
