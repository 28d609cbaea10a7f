// The texts in the native build, which has no string table: a text names its
// id and its arguments.
#include "platform/text.h"

namespace {

std::string Describe(const BText& text) {
  if (text.id == 0) return text.literal;
  std::string words = "text " + std::to_string(text.id);
  for (size_t i = 0; i < text.args.size(); ++i) {
    const BTextArg& arg = text.args[i];
    words += i == 0 ? ": " : ", ";
    if (arg.kind == BTextArg::Kind::Number) words += std::to_string(arg.number);
    if (arg.kind == BTextArg::Kind::Text) words += arg.text;
    if (arg.kind == BTextArg::Kind::Nested) words += "(" + Describe(*arg.nested) + ")";
  }
  return words;
}

}  // namespace

std::wstring LoadText(unsigned id) { return Widen("text " + std::to_string(id)); }

std::wstring LoadText(unsigned id, BLanguage) { return LoadText(id); }

std::wstring FormatText(const BText& text) { return Widen(Describe(text)); }
