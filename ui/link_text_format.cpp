#include "link_text_format.h"

#include "toolkit/ui_text.h"

namespace {

// One argument formatted by one printf conversion such as "%05x" or "%s".
std::wstring FormatArgument(HINSTANCE instance, const std::wstring& spec, const BLinkTextArg& arg) {
  wchar_t conversion = spec.back();
  if (conversion == L's') {
    std::wstring text;
    if (arg.kind == BLinkTextArg::Kind::Text) text = Widen(arg.text);
    if (arg.kind == BLinkTextArg::Kind::Nested) text = FormatLinkText(instance, *arg.nested);
    if (arg.kind == BLinkTextArg::Kind::Number) text = std::to_wstring(arg.number);
    return FormatText(spec.c_str(), text.c_str());
  }
  // Integers: keep flags and width, let the argument be 64-bit whatever the format said.
  std::wstring prefix = spec.substr(0, spec.find_first_of(L"lhIjzt", 1));
  if (prefix.size() == spec.size()) prefix.pop_back();
  return FormatText((prefix + L"I64" + conversion).c_str(), arg.number);
}

}  // namespace

std::wstring FormatLinkText(HINSTANCE instance, const BLinkText& text) {
  if (text.id == 0) return Widen(text.literal);
  std::wstring format = LoadText(instance, static_cast<UINT>(text.id));
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
    result += next < text.args.size() ? FormatArgument(instance, spec, text.args[next++]) : spec;
  }
  return result;
}
