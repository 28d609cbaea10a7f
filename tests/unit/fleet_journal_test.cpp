// The journal of writes to many sirens: its lines as a CSV reader takes them,
// its place beside the profile, its appending, and the content checksum.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/fleet_list.h"
#include "model/fleet_journal.h"
#include "model/profile.h"
#include "test_files.h"

namespace {

void FillProfile(BProfile& profile) {
  profile.SetFragment(0, BFragment{"Гудок", 0, 300, false});
  profile.SetFragment(3, BFragment{"Сирена", 1000, 200, false});
  for (int i = 0; i < 300; ++i) profile.Image()[i] = static_cast<uint8_t>(i * 7);
  for (int i = 1000; i < 1200; ++i) profile.Image()[i] = static_cast<uint8_t>(i);
  profile.AppendPlaylistEntry(3);
  profile.AppendPlaylistEntry(0);
  profile.SetButton(1, 3);
}

TEST(FleetJournal, LinesPathsAndAppending) {
  BFleetRecord record;
  record.time = "2026-12-08 17:05:03";
  record.port = "tcp://10.0.0.5:4001";
  record.chips = 4;
  record.bytesWritten = 20000;
  record.bytesChecked = 20000;
  record.verdict = BFleetVerdict::Differs;
  record.firstDifference = 0x1F3A;
  record.profileName = "Школа, \"новая\"";
  record.checksum = 0xA1B2C3;
  EXPECT_EQ(
      "2026-12-08 17:05:03,tcp://10.0.0.5:4001,4,20000,20000,differs,0x01f3a,"
      "\"Школа, \"\"новая\"\"\",00a1b2c3\r\n",
      JournalLine(record));
  record.verdict = BFleetVerdict::NoSiren;
  record.firstDifference = -1;
  record.profileName = "p";
  EXPECT_EQ("2026-12-08 17:05:03,tcp://10.0.0.5:4001,4,20000,20000,no-siren,,p,00a1b2c3\r\n",
            JournalLine(record));

  EXPECT_EQ("C:\\Сирены\\p.csv", JournalPath("C:\\Сирены\\p.zpf"));
  EXPECT_EQ("C:\\v1.2\\p.csv", JournalPath("C:\\v1.2\\p"));
  EXPECT_EQ("/tmp/a.b.csv", JournalPath("/tmp/a.b.zpf"));

  TestFolder folder;
  const std::string path = folder.File("p.csv");
  std::string error;
  ASSERT_TRUE(AppendToJournal(path, record, error)) << error;
  record.port = "COM3";
  ASSERT_TRUE(AppendToJournal(path, record, error)) << error;
  const std::vector<uint8_t> bytes = ReadBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  record.port = "tcp://10.0.0.5:4001";
  std::string expected = "\xEF\xBB\xBF" + JournalLine(record);
  record.port = "COM3";
  expected += JournalLine(record);
  EXPECT_EQ(expected, text) << "one byte order mark, then the lines in order";
  EXPECT_FALSE(AppendToJournal(folder.File("no folder/p.csv"), record, error));
  EXPECT_FALSE(error.empty());
}

TEST(FleetJournal, ChecksumFollowsWhatTheSirenHoldsOnly) {
  BProfile original;
  FillProfile(original);
  const uint32_t sum = ProfileContentChecksum(original);
  BProfile same;
  FillProfile(same);
  same.RenameFragment(0, "другое имя");
  same.Image()[5000] = 0x55;  // free memory is not written
  EXPECT_EQ(sum, ProfileContentChecksum(same));
  for (int change = 0; change < 4; ++change) {
    BProfile changed;
    FillProfile(changed);
    if (change == 0) changed.Image()[1199] ^= 1;
    if (change == 1) changed.SetButton(1, 0);
    if (change == 2) changed.AppendPlaylistEntry(3);
    if (change == 3) changed.SetFragment(3, BFragment{"Сирена", 1000, 199, false});
    EXPECT_NE(sum, ProfileContentChecksum(changed)) << "change " << change;
  }
}

}  // namespace

namespace {

TEST(FleetJournal, TheFleetSettingKeepsEachSirenOnce) {
  EXPECT_EQ((std::vector<std::string>{"COM1", "COM2", "tcp://10.0.0.5:4001"}),
            ParseFleetList(" COM1;COM2;;com1 ; tcp://10.0.0.5:4001;"));
  EXPECT_TRUE(ParseFleetList("").empty());
  EXPECT_EQ("COM1;COM2;tcp://10.0.0.5:4001",
            JoinFleetList(ParseFleetList("COM1;COM2;tcp://10.0.0.5:4001")));
}

}  // namespace
