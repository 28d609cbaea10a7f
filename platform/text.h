// The program's texts for the user. Portable code describes a text by its
// string-table id and its printf arguments (BText) and leaves the words to
// the string table; whoever shows it calls FormatText. The string ids live
// with each subsystem (audio/audio_string_ids.h, link/link_string_ids.h,
// model/model_string_ids.h, ui/string_ids.h); the one string table of the
// program includes them all.
//
// The Windows build reads the executable's string table in the chosen
// language (platform/language_resources.h) and formats each
// argument by its own conversion; names and system messages are UTF-8 strings,
// widened there. The native build has no string table: its stand-in names
// the id and the arguments ("text 221: 3, 32"), so that its tests can still
// tell the texts apart.
//
// Any thread may call these functions.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/language.h"

struct BText;

struct BTextArg {
  enum class Kind { Number, Text, Nested };
  Kind kind = Kind::Number;
  long long number = 0;
  std::string text;  // UTF-8, e.g. a port name or a system message
  std::shared_ptr<const BText> nested;

  BTextArg(int value) : number(value) {}
  BTextArg(unsigned value) : number(value) {}
  BTextArg(long value) : number(value) {}
  BTextArg(unsigned long value) : number(static_cast<long long>(value)) {}
  BTextArg(long long value) : number(value) {}
  BTextArg(std::string value) : kind(Kind::Text), text(std::move(value)) {}
  BTextArg(const char* value) : kind(Kind::Text), text(value) {}
  BTextArg(const BText& value);

  bool operator==(const BTextArg& other) const;
};

struct BText {
  int id = 0;  // string-table id; 0 for a ready text in `literal`
  std::vector<BTextArg> args;
  std::string literal;

  BText() = default;
  explicit BText(int stringId, std::vector<BTextArg> arguments = {})
      : id(stringId), args(std::move(arguments)) {}
  static BText Literal(std::string text);

  bool IsEmpty() const { return id == 0 && literal.empty(); }
  bool operator==(const BText& other) const;
  bool operator!=(const BText& other) const { return !(*this == other); }
};

// The string-table entry `id` as it stands (a printf format), in the language
// of the texts (platform/language.h) or in `language`, falling back to the
// Russian entry; empty when the table has none.
std::wstring LoadText(unsigned id);
std::wstring LoadText(unsigned id, BLanguage language);
// The words of a text, as the windows show them.
std::wstring FormatText(const BText& text);
// The same in UTF-8, for the error texts that readers and transports keep as
// narrow strings.
std::string FormatUtf8Text(const BText& text);

// The program's narrow strings (file, fragment and port names, error texts)
// are UTF-8; the windows' wide strings UTF-16. Nothing goes through the ANSI
// code page, so any name reads right on any Windows.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The code point at `at` of a UTF-8 text, `at` moved past it; false (and
// U+FFFD) for a byte that starts no valid sequence, `at` moved past that byte.
bool DecodeUtf8(const std::string& text, size_t& at, char32_t& code);
std::string Utf8FromCodePoint(char32_t code);
