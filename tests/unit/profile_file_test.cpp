// The profile file: its exact layout, the reading rules and the failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/profile.h"
#include "model/profile_names.h"
#include "platform/text.h"
#include "platform/error_text.h"
#include "test_files.h"

namespace {

const std::size_t kEmptyFileSize = 262308;

// A profile with a bit of everything: names, bytes, bindings, a playlist.
void FillSample(BProfile& profile) {
  const char* names[] = {"Сирена", "", "beep \x01№", "long"};
  for (int i = 0; i < 4; ++i) {
    BFragment fragment;
    fragment.name = names[i];
    fragment.start = uint32_t(i) * 1000;
    fragment.length = 500 + uint32_t(i);
    profile.SetFragment(i * 3, fragment);
    std::fill_n(profile.Image() + fragment.start, fragment.length, uint8_t(0x10 + i));
  }
  profile.SetButton(0, 3);
  profile.SetButton(2, 0);
  profile.AppendPlaylistEntry(0);
  profile.AppendPlaylistEntry(6);
  profile.AppendPlaylistEntry(3);
}

// The bytes of one fragment record.
std::vector<uint8_t> Record(const std::string& name, uint32_t start, uint32_t length) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(name.size())};
  bytes.insert(bytes.end(), name.begin(), name.end());
  for (uint32_t value : {start, length}) {
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<uint8_t>(value >> shift));
  }
  return bytes;
}

// A whole file built by hand: the given records first, empty ones after them.
std::vector<uint8_t> BuildFile(const std::vector<std::vector<uint8_t>>& records,
                               const std::vector<uint8_t>& buttons = std::vector<uint8_t>(4, 255),
                               const std::vector<uint8_t>& playlist = std::vector<uint8_t>(16,
                                                                                           255)) {
  std::vector<uint8_t> bytes{'Z', 'P', 'F', 0};
  for (std::size_t slot = 0; slot < 16; ++slot) {
    std::vector<uint8_t> record =
        slot < records.size() ? records[slot] : Record("", 0xFFFFF, 0xFFFFF);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  bytes.insert(bytes.end(), buttons.begin(), buttons.end());
  bytes.insert(bytes.end(), playlist.begin(), playlist.end());
  bytes.insert(bytes.end(), kImageSize, 0xFF);
  return bytes;
}

class ProfileFile : public ::testing::Test {
 protected:
  ProfileFile() { profile.SetMessages(TestMessages()); }

  // Loads the bytes into the profile from a file.
  bool LoadBytes(const std::vector<uint8_t>& bytes) {
    WriteBytes(folder.File("in.zpf"), bytes);
    return profile.Load(folder.File("in.zpf"));
  }

  TestFolder folder;
  BProfile profile;
};

}  // namespace

TEST_F(ProfileFile, EmptyProfileHasTheExactLayout) {
  ASSERT_TRUE(profile.Save(folder.File("empty.zpf")));
  std::vector<uint8_t> bytes = ReadBytes(folder.File("empty.zpf"));
  ASSERT_EQ(bytes.size(), kEmptyFileSize);

  std::vector<uint8_t> expected{'Z', 'P', 'F', 0};
  for (int slot = 0; slot < 16; ++slot)
    expected.insert(expected.end(), {0x00, 0xFF, 0xFF, 0x0F, 0x00, 0xFF, 0xFF, 0x0F, 0x00});
  expected.insert(expected.end(), 4 + 16 + kImageSize, 0xFF);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"empty.zpf"});  // no temporary file left
}

TEST_F(ProfileFile, RoundTripKeepsEverythingTheFileHolds) {
  FillSample(profile);
  ASSERT_TRUE(profile.Save(folder.File("a.zpf")));
  std::vector<uint8_t> saved = ReadBytes(folder.File("a.zpf"));
  EXPECT_EQ(saved.size(), kEmptyFileSize + 6 + 7 + 4) << "one byte a letter in code page 1251";

  BProfile loaded;
  loaded.SetICCount(2);
  loaded.SetJobCursor(9);
  loaded.SetPlaylistSynced(true);
  ASSERT_TRUE(loaded.Load(folder.File("a.zpf"))) << loaded.GetErrorText();
  EXPECT_EQ(loaded.GetErrorKind(), BProfileError::None);

  // The link state is not in the file and stays as it was; the siren's
  // playlist is not the one loaded.
  EXPECT_EQ(loaded.GetICCount(), 2);
  EXPECT_EQ(loaded.GetJobCursor(), 9);
  EXPECT_FALSE(loaded.IsPlaylistSynced());
  loaded.SetICCount(0);
  loaded.SetJobCursor(0);
  loaded.SetPlaylistSynced(false);
  EXPECT_EQ(Snapshot(loaded), Snapshot(profile));

  ASSERT_TRUE(loaded.Save(folder.File("b.zpf")));
  EXPECT_EQ(ReadBytes(folder.File("b.zpf")), saved);
}

// Names in any script survive the file: those code page 1251 spells as
// older profiles keep them, the others as UTF-8 behind the byte order mark;
// a long name loses whole characters from its end, never part of one.
TEST_F(ProfileFile, NamesInAnyScriptSurviveTheFile) {
  const std::string names[] = {"Сирена ёж №1",
                               "Қазақша 日本 ёж",
                               "🔔 тревога",
                               "plain",
                               std::string(200, 'x') + "Ж",
                               "Ж" + std::string(300, 'y'),
                               [] {
                                 std::string many;
                                 for (int i = 0; i < 100; ++i) many += "日🔔";
                                 return many;
                               }()};
  for (const std::string& name : names) {
    const std::string bytes = NameForFile(name);
    ASSERT_LE(bytes.size(), kMaxNameLength);
    const std::string back = FitName(name);
    EXPECT_EQ(NameFromFile(bytes), back);
    EXPECT_EQ(name.compare(0, back.size(), back), 0) << "a start of the name";
    EXPECT_EQ(Narrow(Widen(back)), back) << "whole characters";
    const bool inCodePage = name.find("Қ") == std::string::npos &&
                            name.find("🔔") == std::string::npos &&
                            name.find("日") == std::string::npos;
    EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF") != 0, inCodePage) << name;

    profile.SetFragment(0, BFragment{name, 0, 1, false});
    ASSERT_TRUE(profile.Save(folder.File("n.zpf")));
    BProfile loaded;
    ASSERT_TRUE(loaded.Load(folder.File("n.zpf")));
    EXPECT_EQ(loaded.GetFragment(0).name, back);
  }
  // A name as older profiles hold it, in code page 1251.
  EXPECT_EQ(NameFromFile("\xD1\xE8\xF0\xE5\xED\xE0 \xB8"), "Сирена ё");
  EXPECT_EQ(FitName(std::string(300, 'x')), std::string(255, 'x'));
}

TEST_F(ProfileFile, LoadedFragmentsAreNotSynced) {
  BFragment fragment;
  fragment.start = 0;
  fragment.length = 10;
  fragment.synced = true;
  profile.SetFragment(0, fragment);
  ASSERT_TRUE(profile.Save(folder.File("a.zpf")));
  ASSERT_TRUE(profile.Load(folder.File("a.zpf")));
  EXPECT_FALSE(profile.GetFragment(0).synced);
}

TEST_F(ProfileFile, SaveReplacesALongerFileWholly) {
  WriteBytes(folder.File("a.zpf"), std::vector<uint8_t>(400000, 0x55));
  profile.SetFragment(0, BFragment{std::string(300, 'x'), 0, 1, false});
  ASSERT_TRUE(profile.Save(folder.File("a.zpf")));
  // The name is stored with at most 255 bytes, nothing of the old file remains.
  EXPECT_EQ(ReadBytes(folder.File("a.zpf")).size(), kEmptyFileSize + 255);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
  BProfile loaded;
  ASSERT_TRUE(loaded.Load(folder.File("a.zpf")));
  EXPECT_EQ(loaded.GetFragment(0).name, std::string(255, 'x'));
  EXPECT_EQ(loaded.GetFragment(1).start, 0xFFFFFu);
}

TEST_F(ProfileFile, MagicAndVersionRules) {
  struct Case {
    std::vector<uint8_t> head;
    BProfileError expected;
  };
  const Case cases[] = {
      {{'Z', 'P', 'F', 0}, BProfileError::UnexpectedEnd},  // the magic alone
      {{}, BProfileError::UnexpectedEnd},
      {{'Z', 'P', 'F'}, BProfileError::UnexpectedEnd},
      {{0x5B, 'P', 0, 0}, BProfileError::OtherVersion},
      {{'Z', 'P', 'F', 1}, BProfileError::OtherVersion},
      {{0x50, 'P', 'X', 'Y'}, BProfileError::OtherVersion},
      {{0x4D, 0x5A, 0x90, 0}, BProfileError::NotProfile},
      {{'Z', 'Q', 'F', 0}, BProfileError::NotProfile},
      {{0x6A, 'P', 'F', 0}, BProfileError::NotProfile},
  };
  const BProfileMessages messages = TestMessages();
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = c.head;
    if (c.expected != BProfileError::UnexpectedEnd)
      bytes.resize(kEmptyFileSize, 0xFF);  // long enough: the head decides
    EXPECT_FALSE(LoadBytes(bytes));
    EXPECT_EQ(profile.GetErrorKind(), c.expected) << "head size " << c.head.size();
  }

  LoadBytes({'[', 'P', 'F', 0});
  EXPECT_EQ(profile.GetErrorText(), messages.otherVersion);
  LoadBytes({'M', 'Z', 0, 0});
  EXPECT_EQ(profile.GetErrorText(), messages.notProfile);
  LoadBytes({'Z', 'P', 'F', 0});
  EXPECT_EQ(profile.GetErrorText(), messages.unexpectedEnd);
}

TEST_F(ProfileFile, EveryTruncationFailsAndChangesNothing) {
  BProfile source;
  FillSample(source);
  ASSERT_TRUE(source.Save(folder.File("full.zpf")));
  const std::vector<uint8_t> full = ReadBytes(folder.File("full.zpf"));
  const std::size_t headSize = full.size() - kImageSize;

  // The profile that fails to load holds something different.
  profile.SetFragment(5, BFragment{"keep", 7000, 70, true});
  profile.Image()[7000] = 0x42;
  profile.SetICCount(3);
  profile.SetPlaylistSynced(true);
  const std::vector<uint8_t> before = Snapshot(profile);

  std::vector<std::size_t> cuts;
  for (std::size_t size = 0; size <= headSize + 2; ++size)
    cuts.push_back(size);  // every field boundary of the head, and the image's first bytes
  for (std::size_t size : {headSize + 1023, headSize + 1024, headSize + 1025, full.size() - 1})
    cuts.push_back(size);

  for (std::size_t size : cuts) {
    EXPECT_FALSE(LoadBytes(std::vector<uint8_t>(full.begin(), full.begin() + size))) << size;
    EXPECT_EQ(profile.GetErrorKind(), BProfileError::UnexpectedEnd) << size;
    ASSERT_EQ(Snapshot(profile), before) << size;
  }
  EXPECT_TRUE(LoadBytes(full));
}

TEST_F(ProfileFile, TrailingBytesAreIgnored) {
  std::vector<uint8_t> bytes = BuildFile({Record("a", 0, 3)});
  bytes[bytes.size() - kImageSize] = 0x01;
  bytes.insert(bytes.end(), 5000, 0x00);
  ASSERT_TRUE(LoadBytes(bytes));
  EXPECT_EQ(profile.GetFragment(0).name, "a");
  EXPECT_EQ(profile.Image()[0], 0x01);
  EXPECT_EQ(profile.Image()[kImageSize - 1], 0xFF);
}

TEST_F(ProfileFile, LengthsRunningPastTheImageAreCut) {
  ASSERT_TRUE(LoadBytes(BuildFile({
      Record("cut", 262000, 500),
      Record("wraps", 262142, 5),  // 262140 - 262142 wraps: an empty slot
      Record("invalid start", 0xFFFFF, 10),
      Record("at the end", 262140, 5),
      Record("fits", 262000, 140),
      Record("huge", 0xFFFFFFFFu, 0xFFFFFFFFu),
      Record("", 100, 0x40000),
  })));
  EXPECT_EQ(profile.GetFragment(0).length, 140u);
  EXPECT_FALSE(profile.GetFragment(1).IsInUse());
  EXPECT_EQ(profile.GetFragment(1).length, 0xFFFFFFFEu);
  EXPECT_EQ(profile.GetFragment(2).length, 10u);
  EXPECT_FALSE(profile.GetFragment(2).IsInUse());
  EXPECT_EQ(profile.GetFragment(3).length, 0u);
  EXPECT_TRUE(profile.GetFragment(3).IsInUse());
  EXPECT_EQ(profile.GetFragment(4).length, 140u);
  EXPECT_FALSE(profile.GetFragment(5).IsInUse());
  EXPECT_EQ(profile.GetFragment(6).length, 0x40000u);
  EXPECT_FALSE(profile.GetFragment(6).IsInUse());
}

// The playlist ends at its first value of 8 or more; nothing behind it is kept.
TEST_F(ProfileFile, ReferencesOf128AndMoreBecomeNoneAndThePlaylistEndsAtItsMark) {
  std::vector<uint8_t> playlist{0x03, 0x07, 0x0A, 0x01, 0x80};
  playlist.resize(16, 0xFF);
  std::vector<std::vector<uint8_t>> records;  // every slot in use: no reference dangles
  for (uint32_t slot = 0; slot < 16; ++slot) records.push_back(Record("f", slot * 10, 10));
  ASSERT_TRUE(LoadBytes(BuildFile(records, {0x81, 0x0F, 0xC0, 0x03}, playlist)));
  std::vector<uint8_t> expected{3, 7};
  expected.resize(16, 255);
  for (int position = 0; position < 16; ++position)
    EXPECT_EQ(profile.GetPlaylistEntry(position), expected[position]) << position;
  EXPECT_EQ(profile.GetButton(0), 255);
  EXPECT_EQ(profile.GetButton(1), 0x0F);
  EXPECT_EQ(profile.GetButton(2), 255);
  EXPECT_EQ(profile.GetButton(3), 0x03);
}

TEST_F(ProfileFile, MissingFileGivesTheSystemText) {
  const std::vector<uint8_t> before = Snapshot(profile);
  EXPECT_FALSE(profile.Load(folder.File("missing.zpf")));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorCode(), static_cast<unsigned long>(ENOENT));
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(ENOENT));
  EXPECT_EQ(Snapshot(profile), before);

  // A folder cannot be read as a file.
  EXPECT_FALSE(profile.Load(folder.Path()));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(EISDIR));
}

TEST_F(ProfileFile, SaveIntoAMissingFolderFails) {
  EXPECT_FALSE(profile.Save(folder.File("no/such/a.zpf")));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(ENOENT));
  EXPECT_TRUE(folder.List().empty());
}

TEST_F(ProfileFile, FailedReplaceLeavesTheTargetAndNoTemporaryFile) {
  // A folder stands where the file should go: everything is written, the
  // last step fails.
  ASSERT_EQ(mkdir(folder.File("a.zpf").c_str(), 0700), 0);
  EXPECT_FALSE(profile.Save(folder.File("a.zpf")));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(EISDIR));
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
}

TEST_F(ProfileFile, FailedWriteKeepsTheOldFile) {
  // A file size limit makes the writes fail part-way through.
  FillSample(profile);
  ASSERT_TRUE(profile.Save(folder.File("a.zpf")));
  const std::vector<uint8_t> old = ReadBytes(folder.File("a.zpf"));
  profile.RenameFragment(0, "changed");

  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100000;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool saveResult = profile.Save(folder.File("a.zpf"));
  unsigned long code = profile.GetErrorCode();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saveResult);
  EXPECT_EQ(code, static_cast<unsigned long>(EFBIG));
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(EFBIG));
  EXPECT_EQ(ReadBytes(folder.File("a.zpf")), old);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
}

TEST_F(ProfileFile, ReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ASSERT_TRUE(profile.Save(folder.File("a.zpf")));
  const std::vector<uint8_t> old = ReadBytes(folder.File("a.zpf"));
  profile.RenameFragment(0, "changed");
  profile.SetFragment(0, BFragment{"x", 0, 1, false});
  ASSERT_EQ(chmod(folder.Path().c_str(), 0500), 0);
  EXPECT_FALSE(profile.Save(folder.File("a.zpf")));
  chmod(folder.Path().c_str(), 0700);
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(EACCES));
  EXPECT_EQ(ReadBytes(folder.File("a.zpf")), old);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
}

TEST_F(ProfileFile, ErrorTextsComeFromTheOwner) {
  BProfile plain;  // no texts supplied: the kind still tells what happened
  WriteBytes(folder.File("x"), {'M', 'Z'});
  EXPECT_FALSE(plain.Load(folder.File("x")));
  EXPECT_EQ(plain.GetErrorKind(), BProfileError::UnexpectedEnd);
  EXPECT_EQ(plain.GetErrorText(), "");

  plain.SetMessages(BProfileMessages{"not", "version", "end"});
  EXPECT_FALSE(plain.Load(folder.File("x")));
  EXPECT_EQ(plain.GetErrorText(), "end");
  ASSERT_TRUE(plain.Save(folder.File("y")));
  EXPECT_EQ(plain.GetErrorKind(), BProfileError::None);
  EXPECT_EQ(plain.GetErrorText(), "");
}
