#include "toolkit/ui_text.h"

#include <cwchar>
#include <vector>

const wchar_t kProgramTitle[] = L"Sirelta";

std::wstring LoadText(HINSTANCE instance, UINT id) {
  // With a zero buffer size LoadStringW returns a pointer into the resource.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FormatTextV(const wchar_t* format, va_list arguments) {
  va_list counting;
  va_copy(counting, arguments);
  int length = _vscwprintf(format, counting);
  va_end(counting);
  if (length < 0) return std::wstring(format);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  _vsnwprintf(buffer.data(), buffer.size(), format, arguments);
  buffer.back() = L'\0';
  return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::wstring FormatText(const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::wstring text = FormatTextV(format, arguments);
  va_end(arguments);
  return text;
}

std::wstring Widen(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  int length =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], length);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int length = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                     0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], length,
                        nullptr, nullptr);
  return ansi;
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}
