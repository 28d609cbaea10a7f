// What the two builds share of the texts: describing them and comparing them.
#include "platform/text.h"

BTextArg::BTextArg(const BText& value)
    : kind(Kind::Nested), nested(std::make_shared<const BText>(value)) {}

bool BTextArg::operator==(const BTextArg& other) const {
  if (kind != other.kind) return false;
  switch (kind) {
    case Kind::Number:
      return number == other.number;
    case Kind::Text:
      return text == other.text;
    case Kind::Nested:
      return *nested == *other.nested;
  }
  return false;
}

BText BText::Literal(std::string text) {
  BText result;
  result.literal = std::move(text);
  return result;
}

bool BText::operator==(const BText& other) const {
  return id == other.id && args == other.args && literal == other.literal;
}

std::string FormatUtf8Text(const BText& text) { return Narrow(FormatText(text)); }
