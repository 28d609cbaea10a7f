// The registry settings, read and written against the real registry.
#include "settings.h"

#include <gtest/gtest.h>

#include "toolkit/ui_text.h"
#include "win_test_support.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override { DeleteSettingsKey(); }

  static BSettings Loaded() {
    BSettings settings;
    settings.Load();
    return settings;
  }
  static void WriteString(const char* name, const std::string& value) {
    WriteSettingsValue(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
  }
};

TEST_F(SettingsTest, WithoutTheKeyTheDefaultsHold) {
  BSettings settings = Loaded();
  EXPECT_EQ("COM1", settings.port);
  EXPECT_EQ("", settings.profile);
}

TEST_F(SettingsTest, SavedValuesComeBackTrimmed) {
  WriteString("Port", "  COM7 \t");
  WriteString("Profile", Narrow(L" C:\\Профили\\сирена.zpf "));
  BSettings settings = Loaded();
  EXPECT_EQ("COM7", settings.port);
  EXPECT_EQ(Narrow(L"C:\\Профили\\сирена.zpf"), settings.profile);
}

TEST_F(SettingsTest, EmptyOrBlankPortGivesTheDefault) {
  WriteString("Port", "   ");
  WriteString("Profile", "a.zpf");
  EXPECT_EQ("COM1", Loaded().port);
  WriteString("Port", "");
  EXPECT_EQ("COM1", Loaded().port);
}

TEST_F(SettingsTest, ValuesOfAnotherTypeAreRefused) {
  DWORD number = 5;
  WriteSettingsValue("Port", REG_DWORD, &number, sizeof(number));
  WriteSettingsValue("Profile", REG_BINARY, "abc", 3);
  BSettings settings = Loaded();
  EXPECT_EQ("COM1", settings.port);
  EXPECT_EQ("", settings.profile);
}

TEST_F(SettingsTest, ExpandableStringsAreAccepted) {
  WriteSettingsValue("Port", REG_EXPAND_SZ, "COM3", 5);
  EXPECT_EQ("COM3", Loaded().port);
}

// Long paths (up to 32767 characters, in any script) are kept; longer values
// are refused.
TEST_F(SettingsTest, OverlongValuesAreRefused) {
  std::string overlong(32800, 'x');
  WriteString("Profile", overlong);
  EXPECT_EQ("", Loaded().profile);
  std::string longest;
  for (int i = 0; i < 4000; ++i) longest += "Пути";  // 16000 characters, 32000 bytes of UTF-8
  WriteString("Profile", longest);
  EXPECT_EQ(longest, Loaded().profile);
}

TEST_F(SettingsTest, SaveWritesBothValuesForTheNextStart) {
  BSettings settings;
  settings.port = "COM12";
  settings.profile = "D:\\x.zpf";
  settings.Save();
  EXPECT_EQ("COM12", ReadSettingsString("Port"));
  EXPECT_EQ("D:\\x.zpf", ReadSettingsString("Profile"));
  BSettings again = Loaded();
  EXPECT_EQ("COM12", again.port);
  EXPECT_EQ("D:\\x.zpf", again.profile);
}

// "Verify" holds "1" or "0"; anything else, or nothing, means on.
TEST_F(SettingsTest, VerifyAfterWriteIsOffOnlyForZero) {
  EXPECT_TRUE(Loaded().verifyAfterWrite);
  WriteString("Port", "COM2");  // the key without the value
  EXPECT_TRUE(Loaded().verifyAfterWrite);
  WriteString("Verify", "0");
  EXPECT_FALSE(Loaded().verifyAfterWrite);
  for (const char* other : {"1", "", "2", "no", "0 0"}) {
    WriteString("Verify", other);
    EXPECT_TRUE(Loaded().verifyAfterWrite) << other;
  }
  DWORD zero = 0;
  WriteSettingsValue("Verify", REG_DWORD, &zero, sizeof(zero));
  EXPECT_TRUE(Loaded().verifyAfterWrite);

  BSettings settings;
  settings.verifyAfterWrite = true;
  settings.Save();
  EXPECT_EQ("1", ReadSettingsString("Verify"));
  EXPECT_TRUE(Loaded().verifyAfterWrite);
  settings.verifyAfterWrite = false;
  settings.Save();
  EXPECT_EQ("0", ReadSettingsString("Verify"));
}

// "Quality" holds "high" or "standard"; anything else, or nothing, is high.
TEST_F(SettingsTest, QualityIsStandardOnlyForStandard) {
  EXPECT_TRUE(Loaded().highQualityConversion);
  EXPECT_TRUE(BSettings().highQualityConversion);
  WriteString("Quality", "standard");
  EXPECT_FALSE(Loaded().highQualityConversion);
  for (const char* other : {"high", "", "Standard", "0", "низкое"}) {
    WriteString("Quality", other);
    EXPECT_TRUE(Loaded().highQualityConversion) << other;
  }
  BSettings settings;
  settings.highQualityConversion = true;
  settings.Save();
  EXPECT_EQ("high", ReadSettingsString("Quality"));
  settings.highQualityConversion = false;
  settings.Save();
  EXPECT_EQ("standard", ReadSettingsString("Quality"));
}

}  // namespace

// The remembered adapter is a value of its own; an empty record removes it.
TEST_F(SettingsTest, ThePortAdapterIsKeptBesideThePort) {
  EXPECT_EQ("", BSettings::LoadPortAdapter());
  const std::string record = "COM7;vid=1A86;pid=7523;serial=;location=5&2A5E3B1&0&3";
  BSettings::SavePortAdapter(record);
  EXPECT_EQ(record, BSettings::LoadPortAdapter());
  EXPECT_EQ(record, ReadSettingsString("PortAdapter"));
  BSettings settings;
  settings.port = "tcp://127.0.0.1:4001";
  settings.Save();
  EXPECT_EQ(record, BSettings::LoadPortAdapter()) << "Save leaves it alone";
  BSettings loaded;
  loaded.Load();
  EXPECT_EQ("tcp://127.0.0.1:4001", loaded.port);
  BSettings::SavePortAdapter("");
  EXPECT_EQ("<missing>", ReadSettingsString("PortAdapter"));
}
