// How the WAVE reader takes the samples of a format record: linear PCM of any
// width as it is, IEEE float brought to 16-bit PCM here, and everything else
// through the system's converter. Portable: the chunk walk finds the record,
// BWaveFile (Windows) acts on the decision, and the unit tests and the fuzz
// target call these functions without Windows.
//
// The decisions:
//   - PCM (tag 1) is read directly whatever its width, as before: the
//     conversion to the siren's format mixes the channels and keeps each
//     sample's top byte, at the sample's real stride, which is the block's
//     share per channel when that is wider than the sample.
//   - WAVE_FORMAT_EXTENSIBLE (0xFFFE) with a complete extension (at least 22
//     extra bytes) and a subformat GUID of the standard family is read as the
//     tag in its first two bytes: PCM like tag 1 (the container width counts,
//     the valid bits are left-justified in it), float like tag 3; any other
//     subformat goes to the converter.
//   - IEEE float (tag 3) of 32 or 64 bits with a block of one sample per
//     channel is read directly. A sample is clamped to -1..1, scaled by 32768
//     and rounded to the nearest 16-bit value (1.0 gives 32767, NaN gives 0):
//     the 16-bit sample a 16-bit file of the same sound holds, so both files
//     import alike. Other float records go to the converter.
#pragma once

#include <cstdint>

// Size of a WAVEFORMATEXTENSIBLE record: the smallest buffer that keeps its subformat.
constexpr uint32_t kExtensibleFormatSize = 40;

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

enum class BWaveEncoding {
  Integer,    // linear PCM, delivered as it is
  Float,      // IEEE float, delivered as 16-bit PCM
  Converter,  // anything else: the system's converter
};

struct BWaveSampleFormat {
  BWaveEncoding encoding = BWaveEncoding::Converter;
  // The tag that names the format to the user: the record's own, or for an
  // extensible record the subformat's (0xFFFE when the GUID is of another family).
  uint16_t formatTag = 0;
  uint16_t bitsPerSample = 0;  // the container width
  // Integer PCM: the width the samples are read at, the container that the
  // block gives each sample when it is wider than the sample (24-bit samples
  // in 4-byte blocks), the samples left-justified in it.
  uint16_t readBits = 0;
};

// Decides from a format record of which `size` bytes were kept (at least 16).
BWaveSampleFormat ClassifyWaveFormat(const uint8_t* format, uint32_t size);

// Brings `count` little-endian IEEE float samples of `bits` (32 or 64) to
// signed 16-bit little-endian samples. `destination` may be `source`: a
// sample never grows.
void FloatToSixteenBit(const uint8_t* source, uint32_t count, uint16_t bits, uint8_t* destination);
