// The exported WAVE file: a standard 44-byte header for 8-bit mono PCM at the
// siren's rate, the samples plus 128, a pad byte after an odd count, and a
// failed write that leaves nothing behind.
#include "audio/wave_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_files.h"

namespace {

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

TEST(WaveWriter, WritesAStandardFileAndReplacesTheTargetOnlyWhenComplete) {
  TestFolder folder;
  const std::string path = folder.File("exported.wav");
  WriteBytes(path, {1, 2, 3});  // an older file of that name
  const std::vector<uint8_t> samples = {0x00, 0x7F, 0x80, 0xFF,
                                        0x10};  // signed: 0, 127, -128, -1, 16
  unsigned long error = 1;
  ASSERT_TRUE(WriteSirenWave(path, samples.data(), 5, error));
  EXPECT_EQ(0u, error);
  std::vector<uint8_t> file = ReadBytes(path);
  ASSERT_EQ(44u + 6u, file.size());
  EXPECT_EQ("RIFF", std::string(file.begin(), file.begin() + 4));
  EXPECT_EQ(file.size() - 8, Read32(file, 4));
  EXPECT_EQ("WAVEfmt ", std::string(file.begin() + 8, file.begin() + 16));
  EXPECT_EQ(16u, Read32(file, 16));
  EXPECT_EQ(0x00010001u, Read32(file, 20));  // PCM, one channel
  EXPECT_EQ(9765u, Read32(file, 24));
  EXPECT_EQ(9765u, Read32(file, 28));
  EXPECT_EQ(0x00080001u, Read32(file, 32));  // block align 1, 8 bits
  EXPECT_EQ("data", std::string(file.begin() + 36, file.begin() + 40));
  EXPECT_EQ(5u, Read32(file, 40));
  EXPECT_EQ((std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x7F, 0x90, 0x00}),
            std::vector<uint8_t>(file.begin() + 44, file.end()));
  EXPECT_EQ(std::vector<std::string>{"exported.wav"}, folder.List());  // no temporary left

  EXPECT_FALSE(WriteSirenWave(folder.File("missing/x.wav"), samples.data(), 5, error));
  EXPECT_NE(0u, error);
  EXPECT_EQ(std::vector<std::string>{"exported.wav"}, folder.List());
}
