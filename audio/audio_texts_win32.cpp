// The readers' texts from the executable's string table.
#include "audio/audio_texts.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

// The string-table entry `id` as a printf format; empty when there is none.
std::wstring LoadFormat(unsigned id) {
  // With a zero buffer size LoadStringW returns a pointer into the resource.
  const wchar_t* text = nullptr;
  const int length =
      ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

std::wstring Widened(const std::string& ansi) {
  const int size =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], size);
  return wide;
}

std::string Narrowed(const wchar_t* wide) {
  const int wideLength = static_cast<int>(std::wcslen(wide));
  const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_ACP, 0, wide, wideLength, &ansi[0], size, nullptr, nullptr);
  return ansi;
}

}  // namespace

std::string AudioText(unsigned id, unsigned long first, unsigned long second) {
  const std::wstring format = LoadFormat(id);
  if (format.empty()) return std::string();
  std::vector<wchar_t> wide(format.size() + 64, L'\0');
  _snwprintf(wide.data(), wide.size() - 1, format.c_str(), first, second);
  return Narrowed(wide.data());
}

std::string AudioText(unsigned id, const std::string& name) {
  const std::wstring format = LoadFormat(id);
  if (format.empty()) return std::string();
  const std::wstring wideName = Widened(name);
  std::vector<wchar_t> wide(format.size() + wideName.size() + 1, L'\0');
  _snwprintf(wide.data(), wide.size() - 1, format.c_str(), wideName.c_str());
  return Narrowed(wide.data());
}
