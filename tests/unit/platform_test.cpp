// The file functions and error texts of the POSIX build.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/error_text.h"
#include "platform/file.h"
#include "test_files.h"

TEST(PlatformFile, WritesReadsAndReplaces) {
  TestFolder folder;
  BFile file;
  ASSERT_TRUE(file.Create(folder.File("a")));
  EXPECT_EQ(file.Write("hello", 5), 5);
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(file.IsOpen());

  std::string temp;
  ASSERT_TRUE(file.CreateTemporary(folder.File("a"), temp));
  std::string second;
  BFile other;
  ASSERT_TRUE(other.CreateTemporary(folder.File("a"), second));
  EXPECT_NE(temp, second);
  EXPECT_EQ(temp.rfind(folder.File("a"), 0), 0u);  // beside the target
  EXPECT_EQ(file.Write("xy", 2), 2);
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(other.Close());
  EXPECT_TRUE(BFile::Remove(second));

  ASSERT_TRUE(BFile::Replace(temp, folder.File("a")));
  EXPECT_EQ(folder.List(), std::vector<std::string>{"a"});

  ASSERT_TRUE(file.OpenRead(folder.File("a")));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 2);
  EXPECT_EQ(std::string(buffer, 2), "xy");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
}

TEST(PlatformFile, FailuresKeepTheSystemError) {
  TestFolder folder;
  BFile file;
  EXPECT_FALSE(file.OpenRead(folder.File("missing")));
  EXPECT_EQ(GetLastSystemError(), static_cast<unsigned long>(ENOENT));
  EXPECT_FALSE(file.Create(folder.File("no/such/folder")));
  EXPECT_EQ(GetLastSystemError(), static_cast<unsigned long>(ENOENT));
  EXPECT_FALSE(BFile::Remove(folder.File("missing")));
  EXPECT_EQ(file.Read(nullptr, 0), -1);  // not open
  EXPECT_EQ(GetLastSystemError(), static_cast<unsigned long>(EBADF));
  EXPECT_TRUE(file.Close());
}

TEST(PlatformFile, SeeksFromTheStart) {
  TestFolder folder;
  BFile file;
  EXPECT_FALSE(file.Seek(0));  // not open
  EXPECT_EQ(GetLastSystemError(), static_cast<unsigned long>(EBADF));
  ASSERT_TRUE(file.Create(folder.File("a")));
  EXPECT_EQ(file.Write("0123456789", 10), 10);
  ASSERT_TRUE(file.OpenRead(folder.File("a")));
  char buffer[4] = {};
  ASSERT_TRUE(file.Seek(7));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  ASSERT_TRUE(file.Seek(2));
  EXPECT_EQ(file.Read(buffer, 2), 2);
  EXPECT_EQ(std::string(buffer, 2), "23");
  ASSERT_TRUE(file.Seek(1000));  // past the end: reading finds the end
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
}

TEST(PlatformErrorText, GivesTheSystemMessage) {
  EXPECT_EQ(GetErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(GetErrorText(OutOfMemorySystemError()).empty());
  EXPECT_FALSE(GetErrorText(999999).empty());
  EXPECT_EQ(GetErrorText(EndOfFileSystemError()), "No data available");
  EXPECT_EQ(GetErrorText(InvalidHandleSystemError()), "Bad file descriptor");
}
