#include "settings.h"

#include "toolkit/ui_text.h"

namespace {
const char kSettingsKey[] = "Software\\Sirelta";
const char kPortValue[] = "Port";
const char kProfileValue[] = "Profile";
const char kVerifyValue[] = "Verify";
const char kWaveValue[] = "Wave";
const char kSignalValue[] = "Signal";
const char kQualityValue[] = "Quality";
const char kLanguageValue[] = "Language";
const char kHighQuality[] = "high";
const char kStandardQuality[] = "standard";
const DWORD kValueBufferChars = 261;  // MAX_PATH and its terminating zero, plus one
}  // namespace

const char BSettings::kDefaultPort[] = "COM1";

void BSettings::Load() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::string value;
  port = ReadString(key, kPortValue, value) && !value.empty() ? value : kDefaultPort;
  profile = ReadString(key, kProfileValue, value) ? value : std::string();
  // The full check is what keeps an alarm device honest: only "0" turns it off.
  verifyAfterWrite = !(ReadString(key, kVerifyValue, value) && value == "0");
  wave = ReadString(key, kWaveValue, value) ? value : std::string();
  signal = ReadString(key, kSignalValue, value) ? value : std::string();
  // Only a "standard" chosen by the user turns the high-quality conversion off.
  highQualityConversion = !(ReadString(key, kQualityValue, value) && value == kStandardQuality);
  ::RegCloseKey(key);
}

HKEY BSettings::CreateKey() {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

void BSettings::WriteString(HKEY key, const char* name, const std::string& value) {
  ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void BSettings::Save() const {
  HKEY key = CreateKey();
  if (key == nullptr) return;
  WriteString(key, kPortValue, port);
  WriteString(key, kProfileValue, profile);
  WriteString(key, kVerifyValue, verifyAfterWrite ? "1" : "0");
  if (!wave.empty()) WriteString(key, kWaveValue, wave);
  if (!signal.empty()) WriteString(key, kSignalValue, signal);
  WriteString(key, kQualityValue, highQualityConversion ? kHighQuality : kStandardQuality);
  ::RegCloseKey(key);
}

void BSettings::SaveWave() const { SaveOne(kWaveValue, wave); }

void BSettings::SaveSignal() const { SaveOne(kSignalValue, signal); }

std::string BSettings::LoadLanguage() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  std::string value;
  if (!ReadString(key, kLanguageValue, value)) value.clear();
  ::RegCloseKey(key);
  return value;
}

void BSettings::SaveLanguage(const std::string& code) { SaveOne(kLanguageValue, code); }

void BSettings::SaveOne(const char* name, const std::string& value) {
  HKEY key = CreateKey();
  if (key == nullptr) return;
  WriteString(key, name, value);
  ::RegCloseKey(key);
}

// Accepts only a string value whose stored data ends in a zero within the buffer.
bool BSettings::ReadString(HKEY key, const char* name, std::string& value) {
  char buffer[kValueBufferChars] = {};
  DWORD type = 0;
  DWORD size = sizeof(buffer);
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (size == 0 || size > sizeof(buffer) || buffer[size - 1] != '\0') return false;
  value = Trim(buffer);
  return true;
}
