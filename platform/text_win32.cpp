// The texts from the executable's string table (UTF-16) in the language of
// the texts, formatted by the printf rules of the system's wide functions.
#include "platform/text.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/language_resources.h"

namespace {

// One printf conversion with its argument; the conversion itself when it fails.
template <typename T>
std::wstring FormatOne(const std::wstring& spec, T value) {
  int length = _scwprintf(spec.c_str(), value);
  if (length < 0) return spec;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  _snwprintf(buffer.data(), buffer.size(), spec.c_str(), value);
  return std::wstring(buffer.data(), static_cast<size_t>(length));
}

// One argument formatted by one printf conversion such as "%05x" or "%s".
std::wstring FormatArgument(const std::wstring& spec, const BTextArg& arg) {
  wchar_t conversion = spec.back();
  if (conversion == L's') {
    std::wstring text;
    if (arg.kind == BTextArg::Kind::Text) text = Widen(arg.text);
    if (arg.kind == BTextArg::Kind::Nested) text = FormatText(*arg.nested);
    if (arg.kind == BTextArg::Kind::Number) text = std::to_wstring(arg.number);
    return FormatOne(spec, text.c_str());
  }
  // Integers: keep flags and width, let the argument be 64-bit whatever the format said.
  std::wstring prefix = spec.substr(0, spec.find_first_of(L"lhIjzt", 1));
  if (prefix.size() == spec.size()) prefix.pop_back();
  return FormatOne(prefix + L"I64" + conversion, arg.number);
}

}  // namespace

// The chosen language's text, else the Russian one.
std::wstring LoadText(unsigned id, BLanguage language) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  std::wstring text = StringOfLanguage(module, id, language);
  if (text.empty() && language != BLanguage::Russian)
    text = StringOfLanguage(module, id, BLanguage::Russian);
  return text;
}

std::wstring LoadText(unsigned id) { return LoadText(id, TextLanguage()); }

// Each argument goes through its own conversion, so that numbers, UTF-8
// strings and nested texts each come out right whatever the format says.
std::wstring FormatText(const BText& text) {
  if (text.id == 0) return Widen(text.literal);
  std::wstring format = LoadText(static_cast<unsigned>(text.id));
  std::wstring result;
  size_t next = 0;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != L'%') {
      result += format[i++];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == L'%') {
      result += L'%';
      i += 2;
      continue;
    }
    size_t end = format.find_first_not_of(L"-+ #0123456789.lhIjzt", i + 1);
    if (end == std::wstring::npos) {
      result += format.substr(i);
      break;
    }
    std::wstring spec = format.substr(i, end - i + 1);
    i = end + 1;
    result += next < text.args.size() ? FormatArgument(spec, text.args[next++]) : spec;
  }
  return result;
}
