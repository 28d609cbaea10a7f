// Texts of the user interface: the string table as the program reads it, the
// formatting rules and the ANSI code page boundary.
#include "toolkit/ui_text.h"

#include <gtest/gtest.h>

#include "string_ids.h"

namespace {

TEST(UiTextTest, StringTableHoldsTheRussianTextsUnchanged) {
  EXPECT_EQ(L"Были сделаны изменения!\nСохранить?", LoadText(IDS_SAVE_CHANGES_PROMPT));
  EXPECT_EQ(L"Не удалось загрузить файл '%s'!\nОшибка: %s", LoadText(IDS_PROFILE_LOAD_FAILED));
  EXPECT_EQ(L"Профили Sirelta (*.zpf)|*.zpf|Все файлы (*.*)|*.*|", LoadText(IDS_PROFILE_FILTER));
  EXPECT_EQ(L"Добавить новый фрагмент", LoadText(1009));
  EXPECT_EQ(L"Удалить фрагмент из плейлиста", LoadText(1016));
  EXPECT_EQ(L"", LoadText(65000));
}

TEST(UiTextTest, FormattingTakesWideStringsAndNumbers) {
  EXPECT_EQ(L"Не удалось загрузить файл 'C:\\п.zpf'!\nОшибка: нет",
            FormatText(LoadText(IDS_PROFILE_LOAD_FAILED).c_str(), L"C:\\п.zpf", L"нет"));
  EXPECT_EQ(L"07.045 0x1F", FormatText(L"%02d.%03d 0x%0lX", 7, 45, 0x1FUL));
  std::wstring longText(5000, L'ж');
  EXPECT_EQ(longText + L"!", FormatText(L"%s!", longText.c_str()));
}

// The program runs with the Russian ANSI code page: fragment names and paths
// cross into the wide interface without loss.
// Names and paths are UTF-8 whatever the ANSI code page: every script, and
// characters beyond the first plane (two UTF-16 units), come back whole.
TEST(UiTextTest, NamesInAnyScriptRoundTripThroughUtf8) {
  for (const wchar_t* text : {L"Сирена №1", L"Қазақша 日本 ёж", L"🔔 тревога", L""}) {
    const std::string utf8 = Narrow(text);
    EXPECT_EQ(text, Widen(utf8));
    EXPECT_EQ(std::string::npos, utf8.find('?')) << "nothing lost to a code page";
  }
  EXPECT_EQ(std::string("\xF0\x9F\x94\x94"), Narrow(L"🔔"));
  EXPECT_EQ(L"\xFFFD", Widen("\xFF")) << "a stray byte is shown, not dropped";
}

TEST(UiTextTest, TrimRemovesBlanksAtBothEndsOnly) {
  EXPECT_EQ("a b", Trim(" \t a b \r\n"));
  EXPECT_EQ("", Trim("   "));
  EXPECT_EQ("x", Trim("x"));
}

}  // namespace
