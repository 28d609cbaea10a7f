#include "platform/language.h"

#include <atomic>
#include <cctype>

namespace {

// Primary language ids of Windows (the low ten bits of a language id).
const unsigned kPrimaryLanguageMask = 0x3FF;
const unsigned kRussianLanguages[] = {
    0x19,  // Russian
    0x22,  // Ukrainian
    0x23,  // Belarusian
    0x3F,  // Kazakh
};

// Set at start-up, read by any thread that loads a text.
std::atomic<BLanguage> g_textLanguage{BLanguage::Russian};

}  // namespace

const char* LanguageCode(BLanguage language) {
  return language == BLanguage::English ? "en" : "ru";
}

bool ParseLanguageCode(const std::string& code, BLanguage& language) {
  size_t first = code.find_first_not_of(" \t\r\n");
  size_t last = code.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  std::string word;
  for (size_t i = first; i <= last; ++i)
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
  for (BLanguage candidate : {BLanguage::Russian, BLanguage::English}) {
    if (word == LanguageCode(candidate)) {
      language = candidate;
      return true;
    }
  }
  return false;
}

BLanguage ChooseLanguage(const std::string& setting, unsigned userInterfaceLanguage) {
  BLanguage chosen = BLanguage::English;
  if (ParseLanguageCode(setting, chosen)) return chosen;
  for (unsigned primary : kRussianLanguages)
    if ((userInterfaceLanguage & kPrimaryLanguageMask) == primary) return BLanguage::Russian;
  return BLanguage::English;
}

unsigned short ResourceLanguageId(BLanguage language) {
  return language == BLanguage::English ? 0x0409 : 0x0419;
}

BLanguage TextLanguage() { return g_textLanguage.load(); }

void SetTextLanguage(BLanguage language) { g_textLanguage.store(language); }
