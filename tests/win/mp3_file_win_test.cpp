// BMP3File under Windows: the MP3 files made by lame at build time (their
// folder comes in SIRELTA_TEST_MP3_DIR), missing and locked files, and the
// file seek of the platform layer that the reader relies on.
#include "audio/mp3_file.h"
#include "platform/error_text.h"
#include "platform/file.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string TestMp3(const std::string& name) {
  const std::string folder = EnvironmentText("SIRELTA_TEST_MP3_DIR");
  if (folder.empty()) return std::string();
  std::string path = "Z:" + folder + "/" + name + ".mp3";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

struct ReadSummary {
  size_t bytes = 0;
  int reads = 0;
  int32_t lastCount = 99;
  double sumOfSquares = 0;
};

ReadSummary ReadToTheEnd(BMP3File& reader) {
  ReadSummary summary;
  std::vector<uint8_t> buffer(BMP3File::kMinReadSize);
  for (int guard = 0; guard < 10000; ++guard) {
    int32_t count = 99;
    if (!reader.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), count)) {
      summary.lastCount = count;
      return summary;
    }
    EXPECT_GE(count, 0);
    ++summary.reads;
    summary.bytes += count;
    for (int32_t i = 0; i + 1 < count; i += 2) {
      double sample = static_cast<int16_t>(buffer[i] | buffer[i + 1] << 8);
      summary.sumOfSquares += sample * sample;
    }
  }
  ADD_FAILURE() << "Read never ended";
  return summary;
}

struct Tone {
  const char* name;
  uint16_t channels;
  uint32_t rate;
  uint32_t samplesPerFrame;
};

}  // namespace

TEST(Mp3FileWin, EveryGeneratedFileOpensAndReadsToTheEnd) {
  if (TestMp3("x").empty()) GTEST_SKIP() << "SIRELTA_TEST_MP3_DIR is not set";
  const Tone tones[] = {
      {"tone_44100_1ch", 1, 44100, 1152}, {"tone_44100_2ch", 2, 44100, 1152},
      {"tone_22050_1ch", 1, 22050, 576},  {"tone_22050_2ch", 2, 22050, 576},
      {"tone_11025_1ch", 1, 11025, 576},  {"tone_11025_2ch", 2, 11025, 576},
      {"tone_8000_1ch", 1, 8000, 576},    {"tone_8000_2ch", 2, 8000, 576},
  };
  for (const Tone& tone : tones) {
    SCOPED_TRACE(tone.name);
    BMP3File reader;
    ASSERT_TRUE(reader.Open(TestMp3(tone.name))) << reader.GetErrorText();
    const BPcmFormat& format = reader.GetFormat();
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.channels, tone.channels);
    EXPECT_EQ(format.samplesPerSec, tone.rate);
    EXPECT_EQ(format.blockAlign, tone.channels * 2);
    EXPECT_EQ(format.avgBytesPerSec, tone.channels * 2u * tone.rate);

    double frameMs = tone.samplesPerFrame * 1000.0 / tone.rate;
    int32_t length = reader.GetLength();
    EXPECT_GE(length, 1000);
    EXPECT_LE(length, 1000 + 4 * frameMs);

    ReadSummary summary = ReadToTheEnd(reader);
    EXPECT_EQ(summary.lastCount, 0);
    EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_HANDLE_EOF));
    double decodedMs = summary.bytes / format.blockAlign * 1000.0 / tone.rate;
    EXPECT_GE(decodedMs, length - frameMs);
    EXPECT_LE(decodedMs, length + 1.0);
    // A sine of half the full scale, not silence.
    double rms = std::sqrt(summary.sumOfSquares / (summary.bytes / 2));
    EXPECT_GT(rms, 9000.0);
    EXPECT_LT(rms, 13000.0);

    reader.Close();
    EXPECT_EQ(reader.GetLength(), -1);
    EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_INVALID_HANDLE));
  }
}

TEST(Mp3FileWin, MissingAndLockedFilesGiveTheSystemText) {
  ScratchFolder folder;
  BMP3File reader;
  EXPECT_FALSE(reader.Open(folder.Path("missing.mp3")));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(reader.Open(folder.Path("no folder\\missing.mp3")));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_PATH_NOT_FOUND));

  if (TestMp3("x").empty()) GTEST_SKIP() << "SIRELTA_TEST_MP3_DIR is not set";
  std::string path = folder.Path("locked.mp3");
  WriteWholeFile(path, ReadWholeFile(TestMp3("tone_22050_2ch")));

  // Another program holds the file without sharing it.
  HANDLE locked = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(reader.Open(path));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_SHARING_VIOLATION));
  CloseHandle(locked);

  // While the reader has it open, others may read it but not change or
  // delete it, so the reading goes on to the end.
  ASSERT_TRUE(reader.Open(path)) << reader.GetErrorText();
  HANDLE reading = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(reading, INVALID_HANDLE_VALUE);
  CloseHandle(reading);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  HANDLE writing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writing, INVALID_HANDLE_VALUE);
  ReadSummary summary = ReadToTheEnd(reader);
  EXPECT_EQ(summary.lastCount, 0);
  EXPECT_GT(summary.bytes, 22050u * 4);

  // Once closed, the file can go; opening it again fails with the system text.
  reader.Close();
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(reader.Open(path));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(ERROR_FILE_NOT_FOUND));
  int32_t count = 0;
  uint8_t buffer[BMP3File::kMinReadSize];
  EXPECT_FALSE(reader.Read(buffer, sizeof buffer, count));
  EXPECT_EQ(count, -1);
}

// A file with no whole frame is refused with the program's own text.
TEST(Mp3FileWin, AFileWithoutWholeFramesSaysSo) {
  ScratchFolder folder;
  std::vector<unsigned char> bytes = {0xFF, 0xFB, 0x90, 0x00};
  bytes.resize(400, 0);  // a 417-byte frame, cut short
  WriteWholeFile(folder.Path("cut.mp3"), bytes);
  BMP3File reader;
  EXPECT_FALSE(reader.Open(folder.Path("cut.mp3")));
  EXPECT_EQ(reader.GetErrorText(), Narrow(LoadText(IDS_NO_MPEG_FRAME)));
}

TEST(PlatformFileWin, SeeksFromTheStart) {
  ScratchFolder folder;
  BFile file;
  EXPECT_FALSE(file.Seek(0));
  EXPECT_EQ(GetLastSystemError(), static_cast<unsigned long>(ERROR_INVALID_HANDLE));
  ASSERT_TRUE(file.Create(folder.Path("a")));
  EXPECT_EQ(file.Write("0123456789", 10), 10);
  ASSERT_TRUE(file.OpenRead(folder.Path("a")));
  char buffer[4] = {};
  ASSERT_TRUE(file.Seek(7));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  ASSERT_TRUE(file.Seek(2));
  EXPECT_EQ(file.Read(buffer, 2), 2);
  EXPECT_EQ(std::string(buffer, 2), "23");
  ASSERT_TRUE(file.Seek(1000));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  unsigned long long size = 0;
  ASSERT_TRUE(file.GetSize(size));
  EXPECT_EQ(size, 10u);
  file.Close();
  EXPECT_NE(GetErrorText(EndOfFileSystemError()), GetErrorText(InvalidHandleSystemError()));
}
