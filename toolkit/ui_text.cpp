#include "toolkit/ui_text.h"

#include <cwchar>
#include <vector>

const wchar_t kProgramTitle[] = L"Sirelta";

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

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}
