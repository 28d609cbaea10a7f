// The signal dialog's values: the setting read and written, what the user
// typed checked against the limits, and the names of the new fragments.
#include "audio/signal_form.h"

#include <gtest/gtest.h>

namespace {

BSignalWords Words() {
  return {{L"Тон", L"Вой", L"Квакание", L"Двухтональный", L"Прерывистый", L"Тишина"}, L"Гц", L"с"};
}

// The setting names the kind by a word of its own, whatever the words of the
// list; the list's name of a kind, as settings once held it, is read too.
TEST(SignalForm, EveryKindComesBackFromTheSettingAndBadSettingsAreIgnored) {
  BSignalForm form(Words(), 262140);
  EXPECT_EQ(L"wail,600,1200,4,8,90", form.FormatSetting()) << "the defaults";
  for (const wchar_t* setting :
       {L"tone,440.5,1200,4,0.1,1", L"wail,50,4800,60,26.8,100", L"yelp,500,1500,0.05,2,75",
        L"hilo,660,880,1,3,80", L"pulse,1000,1200,0.2,1,50", L"silence,600,1200,4,0.5,90"}) {
    ASSERT_TRUE(form.ParseSetting(setting)) << setting;
    EXPECT_EQ(setting, form.FormatSetting());
  }
  ASSERT_TRUE(form.ParseSetting(L"Двухтональный,660,880,1,3,80"));
  EXPECT_EQ(L"hilo,660,880,1,3,80", form.FormatSetting());
  EXPECT_EQ(L"Двухтональный 660-880 Гц", form.FragmentName());
  ASSERT_TRUE(form.ParseSetting(L"silence,600,1200,4,0.5,90"));
  for (const wchar_t* bad :
       {L"", L"Вой,600,1200,4,8", L"Вой,600,1200,4,8,90,1", L"вой,600,1200,4,8,90",
        L"Wail,600,1200,4,8,90", L"Вой,600,1200,4,8,101", L"Вой,49,1200,4,8,90",
        L"Вой,600,1200,0.04,8,90", L"Вой,600,1200,4,0,90", L"Вой,600,12O0,4,8,90",
        L"Вой,600,1200,4,-8,90"}) {
    EXPECT_FALSE(form.ParseSetting(bad)) << bad;
    EXPECT_EQ(L"silence,600,1200,4,0.5,90", form.FormatSetting()) << "unchanged after " << bad;
  }
}

TEST(SignalForm, TypedValuesAreCheckedOnlyWhereTheKindUsesThem) {
  BSignalForm form(Words(), 29295);  // 3 s
  BSignalField bad = BSignalField::Level;
  EXPECT_FALSE(form.Accept(BSignalKind::Wail, {L"600", L"5000", L"4", L"2", L"90"}, bad));
  EXPECT_EQ(BSignalField::Frequency2, bad);
  EXPECT_FALSE(form.Accept(BSignalKind::Wail, {L"600", L"1200", L"4", L"3.01", L"90"}, bad));
  EXPECT_EQ(BSignalField::Duration, bad) << "longer than the largest block holds";
  for (const wchar_t* text : {L"1.2.3", L"-5", L"1e3", L".", L"1 000"})
    EXPECT_FALSE(form.Accept(BSignalKind::Yelp, {text, L"1500", L"1", L"1", L"1"}, bad)) << text;
  EXPECT_EQ(L"Вой 600-1200 Гц", form.FragmentName()) << "a refused value changes nothing";

  ASSERT_TRUE(form.Accept(BSignalKind::Tone, {L" 440,5 ", L"x", L"", L"3", L"100"}, bad));
  EXPECT_EQ(1200, form.Params().frequency2) << "an unused bad value keeps what it was";
  EXPECT_EQ(L"Тон 440.5 Гц", form.FragmentName());
  ASSERT_TRUE(form.Accept(BSignalKind::Pulse, {L"800", L"900", L"0.5", L"1", L"50"}, bad));
  EXPECT_EQ(900, form.Params().frequency2) << "an unused good value is taken";
  EXPECT_EQ(L"Прерывистый 800 Гц", form.FragmentName());
  ASSERT_TRUE(form.Accept(BSignalKind::Silence, {L"", L"", L"", L".5", L"0"}, bad));
  EXPECT_EQ(L"Тишина 0.5 с", form.FragmentName());

  BSignalForm cramped(Words(), 500);  // less than the shortest signal
  EXPECT_TRUE(cramped.Accept(BSignalKind::Tone, {L"600", L"", L"", L"0.1", L"90"}, bad));
}

}  // namespace
