// Which WAVE format records the reader takes directly, and the float samples
// brought to 16 bits.
#include "audio/wave_sample_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A 40-byte record: tag, channels, rate 8000, block, bits, cbSize 22,
// valid bits, mask 0, and a subformat GUID of the standard family.
Bytes Record(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t subformat) {
  Bytes b(kExtensibleFormatSize, 0);
  Put16(b, 0, tag);
  Put16(b, 2, channels);
  Put16(b, 4, 8000);
  Put16(b, 12, static_cast<uint16_t>(channels * bits / 8));
  Put16(b, 14, bits);
  Put16(b, 16, 22);
  Put16(b, 18, bits);
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  Put16(b, 24, subformat);
  std::memcpy(&b[26], tail, sizeof tail);
  return b;
}

}  // namespace

TEST(WaveSampleFormat, TakesPcmAndFloatDirectlyAndLeavesTheRestToTheConverter) {
  Bytes foreignGuid = Record(0xFFFE, 2, 16, 1);
  foreignGuid[39] ^= 1;
  Bytes oddBlock = Record(3, 2, 32, 0);
  Put16(oddBlock, 12, 6);
  const struct {
    Bytes record;
    uint32_t kept;
    BWaveEncoding encoding;
    uint16_t tag;
  } cases[] = {
      {Record(1, 2, 24, 0), 16, BWaveEncoding::Integer, 1},
      {Record(3, 2, 32, 0), 18, BWaveEncoding::Float, 3},
      {Record(3, 6, 64, 0), 16, BWaveEncoding::Float, 3},
      {Record(3, 1, 16, 0), 16, BWaveEncoding::Converter, 3},  // no 16-bit float
      {oddBlock, 16, BWaveEncoding::Converter, 3},
      {Record(0xFFFE, 2, 24, 1), 40, BWaveEncoding::Integer, 1},
      {Record(0xFFFE, 4, 32, 3), 40, BWaveEncoding::Float, 3},
      {Record(0xFFFE, 1, 4, 0x11), 40, BWaveEncoding::Converter, 0x11},  // IMA ADPCM
      {foreignGuid, 40, BWaveEncoding::Converter, 0xFFFE},
      {Record(0xFFFE, 2, 16, 1), 39, BWaveEncoding::Converter, 0xFFFE},  // subformat cut off
      {Record(7, 1, 8, 0), 18, BWaveEncoding::Converter, 7},             // mu-law
  };
  for (const auto& c : cases) {
    const BWaveSampleFormat format = ClassifyWaveFormat(c.record.data(), c.kept);
    EXPECT_EQ(c.encoding, format.encoding) << &c - cases;
    EXPECT_EQ(c.tag, format.formatTag) << &c - cases;
  }
}

// A float sample gives the 16-bit sample of the same value: every 16-bit
// value survives the trip through float and double, and what lies outside
// -1..1 (or is no number) is clamped.
TEST(WaveSampleFormat, FloatSamplesBecomeTheSixteenBitSamplesOfTheSameValue) {
  std::vector<float> floats;
  std::vector<double> doubles;
  std::vector<int16_t> expected;
  for (int32_t v = -32768; v <= 32767; ++v) {
    floats.push_back(static_cast<float>(v / 32768.0));
    doubles.push_back(v / 32768.0);
    expected.push_back(static_cast<int16_t>(v));
  }
  const double outside[] = {1.0, 1.5, -1.5, 1e30, -1e300, 0.99999, std::nan(""), 0.5 / 32768};
  const int16_t clamped[] = {32767, 32767, -32768, 32767, -32768, 32767, 0, 1};
  for (size_t i = 0; i < std::size(outside); ++i) {
    floats.push_back(static_cast<float>(outside[i]));
    doubles.push_back(outside[i]);
    expected.push_back(clamped[i]);
  }
  for (uint16_t bits : {32, 64}) {
    SCOPED_TRACE(bits);
    Bytes bytes(expected.size() * bits / 8);
    std::memcpy(bytes.data(), bits == 32 ? static_cast<const void*>(floats.data()) : doubles.data(),
                bytes.size());
    // In place, as the reader does it.
    FloatToSixteenBit(bytes.data(), static_cast<uint32_t>(expected.size()), bits, bytes.data());
    std::vector<int16_t> got(expected.size());
    std::memcpy(got.data(), bytes.data(), got.size() * 2);
    EXPECT_EQ(expected, got);
  }
}
