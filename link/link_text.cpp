#include "link/link_text.h"

BLinkTextArg::BLinkTextArg(const BLinkText& value)
    : kind(Kind::Nested), nested(std::make_shared<const BLinkText>(value)) {}

bool BLinkTextArg::operator==(const BLinkTextArg& other) const {
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

BLinkText BLinkText::Literal(std::string text) {
  BLinkText result;
  result.literal = std::move(text);
  return result;
}

bool BLinkText::operator==(const BLinkText& other) const {
  return id == other.id && args == other.args && literal == other.literal;
}
