// Files that imported before the readers learnt tags, cut frames, float,
// extensible records and pad bytes give the very same bytes now: PCM files of
// 8, 16 and 24 bits, mono and stereo, at the usual rates, converted as the
// import converts them, against the hashes of what the earlier readers gave.
// Only the last byte of a resampled sound differs from what they gave: it
// holds the last sample instead of extrapolating past it (it was 127 or -128,
// a click); the hash covers every byte before it.
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
  uint64_t hash;    // of every byte but the last
  int8_t last;
};

}  // namespace

TEST(ImportRegression, PcmFilesConvertToTheBytesTheyAlwaysGave) {
  const Converted before[] = {
      {8, 1, 8000, 4883, 0x8c437cac949365dau, -66},
      {8, 1, 9765, 4882, 0xc81b8a10e2219725u, -52},
      {8, 1, 11025, 4883, 0x410f07a181e98e1eu, -63},
      {8, 1, 22050, 4884, 0x9487d4ff6f7425ceu, -30},
      {8, 1, 44100, 4884, 0x9d8a558d5086c1f4u, -22},
      {8, 2, 8000, 4883, 0x0a39bc482c961a80u, -62},
      {8, 2, 9765, 4882, 0x222e4450040818d0u, -64},
      {8, 2, 11025, 4883, 0xbd0e047e66f84adcu, -62},
      {8, 2, 22050, 4884, 0x5b800cc28170a6c5u, -41},
      {8, 2, 44100, 4884, 0x7317dc3413d051ceu, -20},
      {16, 1, 8000, 4883, 0x8c437cac949365dau, -66},
      {16, 1, 9765, 4882, 0xc81b8a10e2219725u, -52},
      {16, 1, 11025, 4883, 0x410f07a181e98e1eu, -63},
      {16, 1, 22050, 4884, 0x9487d4ff6f7425ceu, -30},
      {16, 1, 44100, 4884, 0x9d8a558d5086c1f4u, -22},
      {16, 2, 8000, 4883, 0xd09686a58a08d333u, -62},
      {16, 2, 9765, 4882, 0xac275642a9362907u, -64},
      {16, 2, 11025, 4883, 0x4ad27d12e741e2b3u, -62},
      {16, 2, 22050, 4884, 0x68e362f169fffb1au, -40},
      {16, 2, 44100, 4884, 0x93762ae9c0574323u, -20},
      {24, 1, 8000, 4883, 0x8c437cac949365dau, -66},
      {24, 1, 9765, 4882, 0xc81b8a10e2219725u, -52},
      {24, 1, 11025, 4883, 0x410f07a181e98e1eu, -63},
      {24, 1, 22050, 4884, 0x9487d4ff6f7425ceu, -30},
      {24, 1, 44100, 4884, 0x9d8a558d5086c1f4u, -22},
      {24, 2, 8000, 4883, 0x8c2027c18dee43e1u, -62},
      {24, 2, 9765, 4882, 0x423e10ec70642e1cu, -64},
      {24, 2, 11025, 4883, 0xaa4b9c7dc89e640du, -62},
      {24, 2, 22050, 4884, 0x35e81f8457b920e2u, -40},
      {24, 2, 44100, 4884, 0xa6598215778be7ffu, -20},
      {32, 1, 8000, 4883, 0x8c437cac949365dau, -66},
      {32, 1, 9765, 4882, 0xc81b8a10e2219725u, -52},
      {32, 1, 11025, 4883, 0x410f07a181e98e1eu, -63},
      {32, 1, 22050, 4884, 0x9487d4ff6f7425ceu, -30},
      {32, 1, 44100, 4884, 0x9d8a558d5086c1f4u, -22},
      {32, 2, 8000, 4883, 0x8c2027c18dee43e1u, -62},
      {32, 2, 9765, 4882, 0x423e10ec70642e1cu, -64},
      {32, 2, 11025, 4883, 0xaa4b9c7dc89e640du, -62},
      {32, 2, 22050, 4884, 0x35e81f8457b920e2u, -40},
      {32, 2, 44100, 4884, 0xa6598215778be7ffu, -20},
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
    ASSERT_EQ(c.length, length);
    EXPECT_EQ(c.hash, Hash(data, length - 1));
    EXPECT_EQ(c.last, static_cast<int8_t>(data[length - 1]));
  }
}
