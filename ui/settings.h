// The settings kept under HKEY_CURRENT_USER\Software\Sirelta: "Port" (the
// serial port name), "Profile" (the last profile file), "Verify" ("0" when a
// write ends with a read-back of a sample of what it sent, "1" or missing
// when of all of it), "Wave" (whether and where the waveform window is
// shown, see BWavePlacement), "Signal" (the last values of the signal
// dialog, see BSignalForm), "Quality" (the conversion of imported sound) and
// "Language" ("ru" or "en", the language of the interface, see
// platform/language.h) and "Recent" (the profiles opened or saved last,
// newest first, one path a string of a multi-string value) and "Fleet" (the
// sirens of the last write to several sirens, separated by ";").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class BSettings {
 public:
  static const char kDefaultPort[];

  std::string port = kDefaultPort;
  std::string profile;
  bool verifyAfterWrite = true;
  std::string wave;    // empty: never saved
  std::string signal;  // UTF-8, parsed by the signal dialog; empty: never saved
  // "Quality": "standard" for the standard conversion of imported sound,
  // "high" (or anything else, or nothing) for the high-quality one.
  bool highQualityConversion = true;
  std::vector<std::string> recent;  // newest first
  std::string fleet;  // "Fleet": the sirens of the last write to several, see link/fleet_list.h

  // Reads the values. A missing key leaves the defaults; a missing,
  // unreadable or empty "Port" gives "COM1", a bad "Profile" an empty path,
  // a "Verify" other than "0" true, a bad "Wave" an empty text.
  void Load();
  // Writes the values ("Wave" and "Signal" only when set); failures are ignored (settings
  // are a convenience).
  void Save() const;

  // Writes "Wave" alone (the other values keep what they hold).
  void SaveWave() const;
  // Writes "Signal" alone.
  void SaveSignal() const;
  // Writes "Recent" alone, at once, so that the next start finds the list
  // even when this one ends abruptly.
  void SaveRecent() const;
  // Writes "Fleet" alone.
  void SaveFleet() const;

  // "Language" as it stands ("ru", "en"; empty when missing or unreadable).
  // It is read before the windows are made and written only when the user
  // chooses a language, never by Save.
  static std::string LoadLanguage();
  static void SaveLanguage(const std::string& code);

  // "PortAdapter": the port that opened last and the identity of its adapter
  // (RememberedPortRecord, language-neutral), so that the adapter is found
  // again under another number. Written when a port opens; an empty record
  // removes the value.
  static std::string LoadPortAdapter();
  static void SavePortAdapter(const std::string& record);

 private:
  static bool ReadString(HKEY key, const wchar_t* name, std::string& value);
  static std::vector<std::string> ReadStrings(HKEY key, const wchar_t* name);
  static void WriteString(HKEY key, const wchar_t* name, const std::string& value);
  static HKEY CreateKey();
  static void SaveOne(const wchar_t* name, const std::string& value);
};
