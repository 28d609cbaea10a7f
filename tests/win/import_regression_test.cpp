// Files that imported before the readers learnt tags, cut frames, float,
// extensible records and pad bytes give the very same bytes now: PCM files of
// 8, 16 and 24 bits, mono and stereo, at the usual rates, converted as the
// import converts them, against the hashes of what the earlier readers gave.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_source.h"
#include "win_test_support.h"

namespace {

// Half a second of PCM: two sines and a little noise from a fixed generator,
// nearly full scale, each channel a little different, left-justified.
std::vector<unsigned char> PcmWave(uint16_t bits, uint16_t channels, uint32_t rate) {
  std::vector<unsigned char> file;
  auto put = [&file](uint32_t value, int size) {
    for (int b = 0; b < size; ++b) file.push_back(static_cast<unsigned char>(value >> (8 * b)));
  };
  const uint32_t bytes = bits / 8u, frames = rate / 2, size = frames * channels * bytes;
  file = {'R', 'I', 'F', 'F'};
  put(36 + size, 4);
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * bytes, 4);
  put(channels * bytes, 2);
  put(bits, 2);
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  put(size, 4);
  uint32_t noise = 12345;
  for (uint32_t i = 0; i < frames * channels; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double t = static_cast<double>(i / channels) / rate, pi = 3.141592653589793;
    const double value = 0.6 * std::sin(2 * pi * (440 + 110 * (i % channels)) * t) +
                         0.3 * std::sin(2 * pi * 2500 * t) +
                         0.05 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
    const int64_t sample = static_cast<int64_t>(std::floor(value * 2147483647.0));
    if (bits == 8)
      put(static_cast<uint32_t>((sample >> 24) + 128), 1);
    else
      put(static_cast<uint32_t>(sample >> (32 - 8 * bytes)), static_cast<int>(bytes));
  }
  return file;
}

// FNV-1a, 64 bits.
uint64_t Hash(const uint8_t* data, uint32_t length) {
  uint64_t hash = 14695981039346656037ull;
  for (uint32_t i = 0; i < length; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}

struct Converted {
  uint16_t bits;
  uint16_t channels;
  uint32_t rate;
  uint32_t length;  // siren bytes
  uint64_t hash;
};

}  // namespace

TEST(ImportRegression, PcmFilesConvertToTheBytesTheyAlwaysGave) {
  const Converted before[] = {
      {8, 1, 8000, 4883, 0xea123340767537eeu},   {8, 1, 9765, 4882, 0x286383b03f1520ebu},
      {8, 1, 11025, 4883, 0x7618586fbfdceed3u},  {8, 1, 22050, 4884, 0xd6f49f0a625c0bc3u},
      {8, 1, 44100, 4884, 0x38d0d31fd4fab81cu},  {8, 2, 8000, 4883, 0xf634eea3c30e2e00u},
      {8, 2, 9765, 4882, 0x1cb623f6d9c0e330u},   {8, 2, 11025, 4883, 0x371c45c8f7e6d2f9u},
      {8, 2, 22050, 4884, 0xeb3bf381f26a873fu},  {8, 2, 44100, 4884, 0x61dcdd7daafacfc3u},
      {16, 1, 8000, 4883, 0xea123340767537eeu},  {16, 1, 9765, 4882, 0x286383b03f1520ebu},
      {16, 1, 11025, 4883, 0x7618586fbfdceed3u}, {16, 1, 22050, 4884, 0xd6f49f0a625c0bc3u},
      {16, 1, 44100, 4884, 0x38d0d31fd4fab81cu}, {16, 2, 8000, 4883, 0x789a7e498cffb929u},
      {16, 2, 9765, 4882, 0xbd015a458708fd25u},  {16, 2, 11025, 4883, 0x658d531ef4f460a4u},
      {16, 2, 22050, 4884, 0x3a5cba371df886aeu}, {16, 2, 44100, 4884, 0xe90e4731d4477554u},
      {24, 1, 8000, 4883, 0xea123340767537eeu},  {24, 1, 9765, 4882, 0x286383b03f1520ebu},
      {24, 1, 11025, 4883, 0x7618586fbfdceed3u}, {24, 1, 22050, 4884, 0xd6f49f0a625c0bc3u},
      {24, 1, 44100, 4884, 0x38d0d31fd4fab81cu}, {24, 2, 8000, 4883, 0x08e6eee42bdc7dd3u},
      {24, 2, 9765, 4882, 0xf3a59dc2fa3b9fd4u},  {24, 2, 11025, 4883, 0xfcdf5bbbe524adb6u},
      {24, 2, 22050, 4884, 0x528defe10f920686u}, {24, 2, 44100, 4884, 0x35ff8a7a22ba5e80u},
      {32, 1, 8000, 4883, 0xea123340767537eeu},  {32, 1, 9765, 4882, 0x286383b03f1520ebu},
      {32, 1, 11025, 4883, 0x7618586fbfdceed3u}, {32, 1, 22050, 4884, 0xd6f49f0a625c0bc3u},
      {32, 1, 44100, 4884, 0x38d0d31fd4fab81cu}, {32, 2, 8000, 4883, 0x08e6eee42bdc7dd3u},
      {32, 2, 9765, 4882, 0xf3a59dc2fa3b9fd4u},  {32, 2, 11025, 4883, 0xfcdf5bbbe524adb6u},
      {32, 2, 22050, 4884, 0x528defe10f920686u}, {32, 2, 44100, 4884, 0x35ff8a7a22ba5e80u},
  };
  ScratchFolder folder;
  const std::string path = folder.Path("pcm.wav");
  for (const Converted& c : before) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) + " ch, " +
                 std::to_string(c.rate) + " Hz");
    WriteWholeFile(path, PcmWave(c.bits, c.channels, c.rate));
    BAudioSource source;
    ASSERT_TRUE(source.Open(path)) << source.GetErrorText();
    ASSERT_TRUE(source.Convert(9765, 100000)) << source.GetErrorText();
    uint32_t length = 0;
    const uint8_t* data = source.GetData(length);
    EXPECT_EQ(c.length, length);
    EXPECT_EQ(c.hash, Hash(data, length));
  }
}
