// The choice of the interface language: the setting wins, else the user's
// Windows interface language decides, by its primary language only.
#include "platform/language.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Windows language ids of some user interfaces (LANGIDs, as
// GetUserDefaultUILanguage gives them) and the language the program shows.
struct Interface {
  unsigned id;
  const char* name;
  BLanguage shown;
};
const Interface kInterfaces[] = {
    {0x0419, "ru-RU", BLanguage::Russian},   {0x0819, "ru-MD", BLanguage::Russian},
    {0x0422, "uk-UA", BLanguage::Russian},   {0x0423, "be-BY", BLanguage::Russian},
    {0x043F, "kk-KZ", BLanguage::Russian},   {0x0409, "en-US", BLanguage::English},
    {0x0809, "en-GB", BLanguage::English},   {0x0407, "de-DE", BLanguage::English},
    {0x0415, "pl-PL", BLanguage::English},   {0x0C1A, "sr-Cyrl-RS", BLanguage::English},
    {0x0444, "tt-RU", BLanguage::English},   {0x0443, "uz-Latn-UZ", BLanguage::English},
    {0x0000, "neutral", BLanguage::English}, {0x007F, "invariant", BLanguage::English},
};

TEST(Language, TheSettingWinsElseTheInterfaceLanguageDecides) {
  for (const Interface& ui : kInterfaces) {
    for (const char* none : {"", "  ", "de", "russian", "r u", "english", "enx"})
      EXPECT_EQ(ui.shown, ChooseLanguage(none, ui.id)) << ui.name << " with '" << none << "'";
    for (const char* russian : {"ru", "RU", " ru\t", "Ru"})
      EXPECT_EQ(BLanguage::Russian, ChooseLanguage(russian, ui.id)) << ui.name << " " << russian;
    for (const char* english : {"en", "EN", "en \r\n", "eN"})
      EXPECT_EQ(BLanguage::English, ChooseLanguage(english, ui.id)) << ui.name << " " << english;
  }
}

// What the setting stores is what it reads back, and the resources of each
// language are found by their Windows id.
TEST(Language, CodesRoundTripAndNameTheResources) {
  for (BLanguage language : {BLanguage::Russian, BLanguage::English}) {
    BLanguage read = language == BLanguage::Russian ? BLanguage::English : BLanguage::Russian;
    ASSERT_TRUE(ParseLanguageCode(LanguageCode(language), read));
    EXPECT_EQ(language, read);
    EXPECT_EQ(language, ChooseLanguage(LanguageCode(language), 0x0C1A));
  }
  EXPECT_EQ(std::string("ru"), LanguageCode(BLanguage::Russian));
  EXPECT_EQ(std::string("en"), LanguageCode(BLanguage::English));
  EXPECT_EQ(0x0419, ResourceLanguageId(BLanguage::Russian));
  EXPECT_EQ(0x0409, ResourceLanguageId(BLanguage::English));
  EXPECT_EQ(BLanguage::Russian, TextLanguage()) << "until it is set";
  SetTextLanguage(BLanguage::English);
  EXPECT_EQ(BLanguage::English, TextLanguage());
  SetTextLanguage(BLanguage::Russian);
}

}  // namespace
