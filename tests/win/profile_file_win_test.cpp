// The profile file through the Windows file functions: round trips, failures
// with the system's texts, read-only and locked targets.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "model/profile.h"
#include "platform/error_text.h"
#include "platform/file.h"

namespace {

// A fresh folder under the user's temporary folder, removed with its files.
class WinTestFolder {
 public:
  WinTestFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (unsigned number = GetTickCount(); m_path.empty(); ++number) {
      std::string candidate = std::string(base) + "sirelta-test-" + std::to_string(number);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) m_path = candidate;
    }
  }
  ~WinTestFolder() {
    for (const std::string& name : List()) {
      std::string file = File(name);
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(m_path.c_str());
  }
  std::string File(const std::string& name) const { return m_path + "\\" + name; }
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(File("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

 private:
  std::string m_path;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  BFile file;
  if (!file.OpenRead(path)) return bytes;
  uint8_t piece[4096];
  long got;
  while ((got = file.Read(piece, sizeof piece)) > 0) bytes.insert(bytes.end(), piece, piece + got);
  return bytes;
}

bool EndsWithLineBreak(const std::string& text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

void FillSample(BProfile& profile) {
  // "Сирена" in code page 1251, and a name with every kind of byte.
  BFragment first{"Сирена", 0, 3000, false};
  BFragment second{std::string("a\0b№", 6), 5000, 100, false};
  profile.SetFragment(0, first);
  profile.SetFragment(4, second);
  for (uint32_t address = 0; address < 3000; ++address)
    profile.Image()[address] = static_cast<uint8_t>(address * 7);
  profile.SetButton(1, 4);
  profile.AppendPlaylistEntry(4);
  profile.AppendPlaylistEntry(0);
}

}  // namespace

TEST(ProfileFileWin, RoundTripIsByteIdentical) {
  WinTestFolder folder;
  BProfile profile;
  FillSample(profile);
  ASSERT_TRUE(profile.Save(folder.File("a.zpf"))) << profile.GetErrorText();
  const std::vector<uint8_t> saved = ReadAll(folder.File("a.zpf"));
  EXPECT_EQ(saved.size(), 262308u + 6 + 4) << "a letter a byte in code page 1251";
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});

  BProfile loaded;
  ASSERT_TRUE(loaded.Load(folder.File("a.zpf"))) << loaded.GetErrorText();
  EXPECT_EQ(loaded.GetFragment(0).name, "Сирена");
  EXPECT_EQ(loaded.GetFragment(4).name, std::string("a\0b№", 6));
  EXPECT_EQ(loaded.GetPlaylistEntry(0), 4);
  EXPECT_EQ(loaded.GetButton(1), 4);
  EXPECT_EQ(loaded.Image()[2999], static_cast<uint8_t>(2999 * 7));

  // Saving over the existing file replaces it with the same bytes.
  ASSERT_TRUE(loaded.Save(folder.File("a.zpf"))) << loaded.GetErrorText();
  EXPECT_EQ(ReadAll(folder.File("a.zpf")), saved);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
}

TEST(ProfileFileWin, FailedOpenGivesTheSystemText) {
  WinTestFolder folder;
  BProfile profile;
  EXPECT_FALSE(profile.Load(folder.File("missing.zpf")));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorCode(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(profile.GetErrorText().empty());

  EXPECT_FALSE(profile.Load(folder.File("no-folder\\missing.zpf")));
  EXPECT_EQ(profile.GetErrorCode(), static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(ERROR_PATH_NOT_FOUND));

  EXPECT_FALSE(profile.Save(folder.File("no-folder\\a.zpf")));
  EXPECT_EQ(profile.GetErrorCode(), static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(folder.List().empty());
}

TEST(ProfileFileWin, ShortFileEndsEarly) {
  WinTestFolder folder;
  BFile file;
  ASSERT_TRUE(file.Create(folder.File("short.zpf")));
  ASSERT_EQ(file.Write("ZPF\0", 4), 4);
  ASSERT_TRUE(file.Close());

  BProfile profile;
  profile.SetMessages(BProfileMessages{"not", "version", "end"});
  EXPECT_FALSE(profile.Load(folder.File("short.zpf")));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::UnexpectedEnd);
  EXPECT_EQ(profile.GetErrorText(), "end");
}

TEST(ProfileFileWin, ReadOnlyTargetKeepsItsContent) {
  WinTestFolder folder;
  const std::string path = folder.File("a.zpf");
  BProfile profile;
  ASSERT_TRUE(profile.Save(path));
  const std::vector<uint8_t> old = ReadAll(path);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));

  FillSample(profile);
  EXPECT_FALSE(profile.Save(path));
  EXPECT_EQ(profile.GetErrorKind(), BProfileError::System);
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(profile.GetErrorCode()));
  EXPECT_FALSE(profile.GetErrorText().empty());
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});  // no temporary file left
}

TEST(ProfileFileWin, OpenTargetKeepsItsContentAndCanStillBeRead) {
  WinTestFolder folder;
  const std::string path = folder.File("a.zpf");
  BProfile profile;
  ASSERT_TRUE(profile.Save(path));
  const std::vector<uint8_t> old = ReadAll(path);

  // Another program reads the file and lets others read it too.
  HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  BProfile other;
  EXPECT_TRUE(other.Load(path)) << other.GetErrorText();

  FillSample(profile);
  EXPECT_FALSE(profile.Save(path));  // the file cannot be replaced while it is open
  EXPECT_EQ(profile.GetErrorText(), GetErrorText(profile.GetErrorCode()));
  CloseHandle(reader);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a.zpf"});
}

TEST(ProfileFileWin, ErrorTextHasNoLineBreak) {
  std::string text = GetErrorText(ERROR_ACCESS_DENIED);
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(EndsWithLineBreak(text)) << text;
  EXPECT_NE(text.rfind("Unknown error", 0), 0u) << text;
  EXPECT_EQ(GetErrorText(0xE0001234), "Unknown error 0xE0001234");
}
