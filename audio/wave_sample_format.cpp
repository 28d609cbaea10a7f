// How the WAVE reader takes the samples of a format record.
#include "audio/wave_sample_format.h"

#include <cmath>
#include <cstring>

#include "audio/wave_chunks.h"

namespace {

// The last 14 bytes of every subformat GUID of the standard family
// (xxxxxxxx-0000-0010-8000-00AA00389B71); the first two bytes hold the tag.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint32_t kSubformatOffset = 24;
constexpr uint16_t kExtensionSize = 22;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The tag an extensible record stands for: its subformat's, or 0xFFFE.
uint16_t ExtensibleTag(const uint8_t* format, uint32_t size) {
  if (size < kExtensibleFormatSize || Get16(format + 16) < kExtensionSize)
    return kWaveFormatExtensible;
  const uint8_t* guid = format + kSubformatOffset;
  if (std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0) return kWaveFormatExtensible;
  return Get16(guid);
}

double ReadFloat(const uint8_t* p, uint16_t bits) {
  if (bits == 32) {
    float value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
  double value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

int16_t FloatSample(double value) {
  if (std::isnan(value)) return 0;
  const double scaled = std::round(std::fmin(std::fmax(value, -1.0), 1.0) * 32768.0);
  return static_cast<int16_t>(std::fmin(scaled, 32767.0));
}

}  // namespace

BWaveSampleFormat ClassifyWaveFormat(const uint8_t* format, uint32_t size) {
  const BWaveFormatFields fields = ParseWaveFormat(format);
  BWaveSampleFormat result;
  result.formatTag = fields.formatTag;
  result.bitsPerSample = fields.bitsPerSample;
  if (result.formatTag == kWaveFormatExtensible) {
    result.formatTag = ExtensibleTag(format, size);
    if (result.formatTag == kWaveFormatExtensible) return result;
  }
  if (result.formatTag == kWaveFormatPcm) {
    result.encoding = BWaveEncoding::Integer;
    result.readBits = fields.bitsPerSample;
    const uint32_t sampleBytes = (fields.bitsPerSample + 7u) / 8u;
    const uint32_t share = fields.channels != 0 && fields.blockAlign % fields.channels == 0
                               ? fields.blockAlign / fields.channels
                               : 0;
    if (share > sampleBytes && share <= 4) result.readBits = static_cast<uint16_t>(share * 8);
  } else if (result.formatTag == kWaveFormatFloat) {
    const bool readable = (fields.bitsPerSample == 32 || fields.bitsPerSample == 64) &&
                          fields.blockAlign == fields.channels * (fields.bitsPerSample / 8u);
    if (readable) result.encoding = BWaveEncoding::Float;
  }
  return result;
}

void FloatToSixteenBit(const uint8_t* source, uint32_t count, uint16_t bits, uint8_t* destination) {
  const uint32_t sampleBytes = bits / 8u;
  // Front to back: sample i is written at 2i, at or before where it was read.
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t sample =
        static_cast<uint16_t>(FloatSample(ReadFloat(source + i * sampleBytes, bits)));
    destination[2 * i] = static_cast<uint8_t>(sample);
    destination[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
  }
}
