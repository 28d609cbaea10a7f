// The readers' texts from the executable's string table.
#include "audio/audio_texts.h"

#include <windows.h>

#include <cwchar>
#include <vector>

std::string AudioText(unsigned id, unsigned long first, unsigned long second) {
  // With a zero buffer size LoadStringW returns a pointer into the resource.
  const wchar_t* text = nullptr;
  const int length =
      ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::string();
  const std::wstring format(text, static_cast<size_t>(length));
  std::vector<wchar_t> wide(format.size() + 64, L'\0');
  _snwprintf(wide.data(), wide.size() - 1, format.c_str(), first, second);
  const int wideLength = static_cast<int>(std::wcslen(wide.data()));
  const int size =
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &ansi[0], size, nullptr, nullptr);
  return ansi;
}
