// A text for the user, described rather than formatted: a string-table id and
// its printf arguments. The link decides what to say; the window, which owns
// the string table, turns it into words.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct BLinkText;

struct BLinkTextArg {
  enum class Kind { Number, Text, Nested };
  Kind kind = Kind::Number;
  long long number = 0;
  std::string text;  // ANSI code page, e.g. a port name or a system message
  std::shared_ptr<const BLinkText> nested;

  BLinkTextArg(int value) : number(value) {}
  BLinkTextArg(unsigned value) : number(value) {}
  BLinkTextArg(long long value) : number(value) {}
  BLinkTextArg(std::string value) : kind(Kind::Text), text(std::move(value)) {}
  BLinkTextArg(const char* value) : kind(Kind::Text), text(value) {}
  BLinkTextArg(const BLinkText& value);

  bool operator==(const BLinkTextArg& other) const;
};

struct BLinkText {
  int id = 0;  // string-table id; 0 for a ready text in `literal`
  std::vector<BLinkTextArg> args;
  std::string literal;

  BLinkText() = default;
  explicit BLinkText(int stringId, std::vector<BLinkTextArg> arguments = {})
      : id(stringId), args(std::move(arguments)) {}
  static BLinkText Literal(std::string text);

  bool IsEmpty() const { return id == 0 && literal.empty(); }
  bool operator==(const BLinkText& other) const;
  bool operator!=(const BLinkText& other) const { return !(*this == other); }
};
