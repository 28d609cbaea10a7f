#include "win_test_support.h"

#include <cstdio>
#include <random>

#include "platform/text.h"

// Paths are UTF-8, as the program's: they are widened for the system.
ScratchFolder::ScratchFolder() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  m_path = Narrow(temp) + "sirelta-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
  ::CreateDirectoryW(Widen(m_path).c_str(), nullptr);
}

std::string UnixScratchPath(const std::string& stem, const std::string& extension) {
  static const std::string run =
      std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(std::random_device()());
  return "/tmp/sirelta-" + stem + "-" + run + extension;
}

ScratchFolder::~ScratchFolder() {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(Widen(m_path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = Widen(Path(Narrow(name)));
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(path.c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(Widen(m_path).c_str());
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* file = ::_wfopen(Widen(path).c_str(), L"rb");
  if (file == nullptr) return bytes;
  unsigned char chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = ::_wfopen(Widen(path).c_str(), L"wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string EnvironmentText(const char* name) {
  const std::wstring wideName = Widen(name);
  const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::string();
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
  value.resize(length);
  return Narrow(value);
}

static const wchar_t kKey[] = L"Software\\Sirelta";

void DeleteSettingsKey() {
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  WriteSettingsValue("Language", REG_SZ, "ru", 3);
}

// A string value comes as UTF-8 with its zero and is stored as UTF-16.
void WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  std::wstring text;
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
    text = Widen(std::string(static_cast<const char*>(data), size - 1));
    data = text.c_str();
    size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  }
  ::RegSetValueExW(key, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
}

std::string ReadSettingsString(const char* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer);
  if (::RegGetValueW(HKEY_CURRENT_USER, kKey, Widen(name).c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
    return "<missing>";
  return Narrow(buffer);
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  while (!done()) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;  // left by a window destroyed earlier
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(2);
  }
  return true;
}

void WriteWave(const std::string& path, uint32_t rate, const std::vector<uint8_t>& samples) {
  auto u32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  std::string fmt = u16(1) + u16(1) + u32(rate) + u32(rate) + u16(1) + u16(8);
  std::string data(samples.begin(), samples.end());
  std::string body =
      "WAVE" + std::string("fmt ") + u32(16) + fmt + "data" + u32(uint32_t(data.size())) + data;
  const std::string bytes = "RIFF" + u32(uint32_t(body.size())) + body;
  WriteWholeFile(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}
