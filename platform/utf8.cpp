// UTF-8 and the wide strings of the windows: UTF-16 on Windows (pairs of
// surrogates above U+FFFF), one code point per character natively.
#include "platform/text.h"

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendWide(std::wstring& wide, char32_t code) {
  if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
    code -= 0x10000;
    wide += static_cast<wchar_t>(0xD800 + (code >> 10));
    wide += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
  } else {
    wide += static_cast<wchar_t>(code);
  }
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

// A byte that starts no valid sequence (a stray continuation, an overlong
// or cut sequence, a surrogate) stands for U+FFFD, and decoding goes on
// with the next byte.
bool DecodeUtf8(const std::string& text, size_t& at, char32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  int count = lead < 0x80                   ? 0
              : lead >= 0xF0 && lead < 0xF5 ? 3
              : lead >= 0xE0                ? 2
              : lead >= 0xC2 && lead < 0xE0 ? 1
                                            : -1;
  if (lead >= 0xF5) count = -1;
  ++at;
  if (count < 0) {
    code = kReplacement;
    return false;
  }
  char32_t value = count == 0 ? lead : lead & (0x3F >> count);
  for (int i = 0; i < count; ++i) {
    if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
      code = kReplacement;
      return false;
    }
    value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (value < kLeast[count] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    code = kReplacement;
    return false;
  }
  at += static_cast<size_t>(count);
  code = value;
  return true;
}

std::wstring Widen(const std::string& utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    char32_t code = 0;
    DecodeUtf8(utf8, at, code);
    AppendWide(wide, code);
  }
  return wide;
}

// A lone surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& wide) {
  std::string utf8;
  utf8.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t code = static_cast<char32_t>(wide[i]);
    if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDFFF) {
      const bool pair =
          code < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
      code = pair ? 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(wide[++i]) - 0xDC00)
                  : kReplacement;
    }
    AppendUtf8(utf8, code > 0x10FFFF ? kReplacement : code);
  }
  return utf8;
}

std::string Utf8FromCodePoint(char32_t code) {
  std::string utf8;
  AppendUtf8(utf8, code);
  return utf8;
}
