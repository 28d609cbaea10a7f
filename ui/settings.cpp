#include "settings.h"

#include <vector>

#include "toolkit/ui_text.h"

namespace {
const wchar_t kSettingsKey[] = L"Software\\Sirelta";
const wchar_t kPortValue[] = L"Port";
const wchar_t kProfileValue[] = L"Profile";
const wchar_t kVerifyValue[] = L"Verify";
const wchar_t kWaveValue[] = L"Wave";
const wchar_t kSignalValue[] = L"Signal";
const wchar_t kQualityValue[] = L"Quality";
const wchar_t kLanguageValue[] = L"Language";
const wchar_t kRecentValue[] = L"Recent";
const wchar_t kFleetValue[] = L"Fleet";
const DWORD kRecentLimitBytes = 1 << 20;
const wchar_t kPortAdapterValue[] = L"PortAdapter";
const char kHighQuality[] = "high";
const char kStandardQuality[] = "standard";
const DWORD kValueBufferChars = 32769;  // a long path and its terminating zero, plus one
}  // namespace

const char BSettings::kDefaultPort[] = "COM1";

void BSettings::Load() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::string value;
  port = ReadString(key, kPortValue, value) && !value.empty() ? value : kDefaultPort;
  profile = ReadString(key, kProfileValue, value) ? value : std::string();
  // The full check is what keeps an alarm device honest: only "0" turns it off.
  verifyAfterWrite = !(ReadString(key, kVerifyValue, value) && value == "0");
  wave = ReadString(key, kWaveValue, value) ? value : std::string();
  signal = ReadString(key, kSignalValue, value) ? value : std::string();
  // Only a "standard" chosen by the user turns the high-quality conversion off.
  highQualityConversion = !(ReadString(key, kQualityValue, value) && value == kStandardQuality);
  recent = ReadStrings(key, kRecentValue);
  fleet = ReadString(key, kFleetValue, value) ? value : std::string();
  ::RegCloseKey(key);
}

HKEY BSettings::CreateKey() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// Stored as UTF-16, whatever the ANSI code page.
void BSettings::WriteString(HKEY key, const wchar_t* name, const std::string& value) {
  const std::wstring wide = Widen(value);
  ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
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

void BSettings::SaveFleet() const { SaveOne(kFleetValue, fleet); }

// REG_MULTI_SZ: each path and its zero, and one more zero at the end.
void BSettings::SaveRecent() const {
  HKEY key = CreateKey();
  if (key == nullptr) return;
  std::wstring data;
  for (const std::string& path : recent) {
    if (path.empty()) continue;
    data += Widen(path);
    data += L'\0';
  }
  data += L'\0';
  ::RegSetValueExW(key, kRecentValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

std::string BSettings::LoadLanguage() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  std::string value;
  if (!ReadString(key, kLanguageValue, value)) value.clear();
  ::RegCloseKey(key);
  return value;
}

void BSettings::SaveLanguage(const std::string& code) { SaveOne(kLanguageValue, code); }

std::string BSettings::LoadPortAdapter() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  std::string value;
  if (!ReadString(key, kPortAdapterValue, value)) value.clear();
  ::RegCloseKey(key);
  return value;
}

void BSettings::SavePortAdapter(const std::string& record) {
  if (!record.empty()) {
    SaveOne(kPortAdapterValue, record);
    return;
  }
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  ::RegDeleteValueW(key, kPortAdapterValue);
  ::RegCloseKey(key);
}

void BSettings::SaveOne(const wchar_t* name, const std::string& value) {
  HKEY key = CreateKey();
  if (key == nullptr) return;
  WriteString(key, name, value);
  ::RegCloseKey(key);
}

// Accepts only a string value whose stored data ends in a zero within the buffer.
bool BSettings::ReadString(HKEY key, const wchar_t* name, std::string& value) {
  std::vector<wchar_t> buffer(kValueBufferChars, L'\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  const size_t chars = size / sizeof(wchar_t);
  if (chars == 0 || chars > buffer.size() || buffer[chars - 1] != L'\0') return false;
  value = Trim(Narrow(buffer.data()));
  return true;
}

// The strings of a REG_MULTI_SZ value of at most kRecentLimitBytes; nothing
// for another type or a missing value. The data may lack its final zeros.
std::vector<std::string> BSettings::ReadStrings(HKEY key, const wchar_t* name) {
  std::vector<std::string> strings;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ || size == 0 || size > kRecentLimitBytes)
    return strings;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
    return strings;
  const wchar_t* at = buffer.data();
  while (*at != L'\0') {
    std::wstring one = at;
    at += one.size() + 1;
    strings.push_back(Narrow(one));
  }
  return strings;
}
