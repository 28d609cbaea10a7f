#include "audio/pcm_conversion.h"

#include <cmath>
#include <cstring>

namespace {

// Reads the signed little-endian sample of `bytes` bytes at `p`.
int32_t ReadSigned(const uint8_t* p, uint32_t bytes) {
  uint32_t value = 0;
  for (uint32_t b = 0; b < bytes; ++b) value |= static_cast<uint32_t>(p[b]) << (8 * b);
  uint32_t shift = 32 - 8 * bytes;
  return static_cast<int32_t>(value << shift) >> shift;  // sign-extended
}

void WriteSigned(uint8_t* p, uint32_t bytes, int32_t sample) {
  uint32_t value = static_cast<uint32_t>(sample);
  for (uint32_t b = 0; b < bytes; ++b) p[b] = static_cast<uint8_t>(value >> (8 * b));
}

int32_t MixFrame(const uint8_t* frame, uint16_t channels, uint32_t sampleBytes) {
  if (sampleBytes == 1) {
    uint32_t sum = 0;
    for (uint16_t c = 0; c < channels; ++c) sum += frame[c];
    return static_cast<int32_t>(sum / channels);
  }
  if (sampleBytes == 4) {
    double sum = 0.0;
    for (uint16_t c = 0; c < channels; ++c) sum += ReadSigned(frame + 4 * c, 4);
    return static_cast<int32_t>(std::trunc(sum / channels));
  }
  int64_t sum = 0;
  for (uint16_t c = 0; c < channels; ++c) sum += ReadSigned(frame + sampleBytes * c, sampleBytes);
  return static_cast<int32_t>(sum / channels);  // integer division truncates toward zero
}

}  // namespace

uint32_t PcmSampleBytes(uint16_t bitsPerSample) {
  if (bitsPerSample == 0 || bitsPerSample > 32) return 0;
  return (bitsPerSample + 7u) / 8u;
}

uint32_t DownMixToMono(uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes) {
  if (channels <= 1) return frames;
  const uint32_t frameBytes = channels * sampleBytes;
  // Output sample i lands at or before the frame it comes from, which is read
  // first, so the mix can run in place.
  for (uint32_t i = 0; i < frames; ++i) {
    int32_t mixed = MixFrame(data + static_cast<size_t>(i) * frameBytes, channels, sampleBytes);
    uint8_t* out = data + static_cast<size_t>(i) * sampleBytes;
    if (sampleBytes == 1)
      *out = static_cast<uint8_t>(mixed);
    else
      WriteSigned(out, sampleBytes, mixed);
  }
  return frames;
}

void AppendMonoFractions(const uint8_t* data, uint32_t frames, uint16_t channels,
                         uint32_t sampleBytes, std::vector<float>& mono) {
  const uint32_t frameBytes = channels * sampleBytes;
  const double scale = 1.0 / (channels * std::ldexp(1.0, 8 * static_cast<int>(sampleBytes) - 1));
  for (uint32_t i = 0; i < frames; ++i) {
    const uint8_t* frame = data + static_cast<size_t>(i) * frameBytes;
    double sum = 0.0;
    for (uint16_t c = 0; c < channels; ++c) {
      const uint8_t* sample = frame + c * sampleBytes;
      sum += sampleBytes == 1 ? *sample - 128 : ReadSigned(sample, sampleBytes);
    }
    mono.push_back(static_cast<float>(sum * scale));
  }
}

uint32_t SelectChannel(uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes,
                       uint16_t channel) {
  if (channels <= 1) return frames;
  const size_t frameBytes = static_cast<size_t>(channels) * sampleBytes;
  // Sample i lands at or before the frame it comes from, as in the down-mix.
  for (uint32_t i = 0; i < frames; ++i)
    std::memmove(data + static_cast<size_t>(i) * sampleBytes,
                 data + i * frameBytes + static_cast<size_t>(channel) * sampleBytes, sampleBytes);
  return frames;
}

void AddStereoPower(const uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes,
                    double channelPower[2], double& mixPower) {
  if (channels < 2) return;
  const uint32_t frameBytes = channels * sampleBytes;
  const double scale = 1.0 / std::ldexp(1.0, 8 * static_cast<int>(sampleBytes) - 1);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint8_t* frame = data + static_cast<size_t>(i) * frameBytes;
    double value[2];
    for (uint16_t c = 0; c < 2; ++c) {
      const uint8_t* sample = frame + c * sampleBytes;
      value[c] = (sampleBytes == 1 ? *sample - 128 : ReadSigned(sample, sampleBytes)) * scale;
      channelPower[c] += value[c] * value[c];
    }
    const double mean = (value[0] + value[1]) / 2;
    mixPower += mean * mean;
  }
}

uint32_t ReduceToEightBits(uint8_t* data, uint32_t samples, uint32_t sampleBytes) {
  if (sampleBytes <= 1) return samples;
  for (uint32_t i = 0; i < samples; ++i) {
    // The top byte alone decides: v = sample >> (8 * (sampleBytes - 1)).
    int8_t top = static_cast<int8_t>(data[static_cast<size_t>(i) * sampleBytes + sampleBytes - 1]);
    data[i] = static_cast<uint8_t>(top + 128);
  }
  return samples;
}

void ToSignedSamples(uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(data[i] - 128);
}

uint64_t ResampledCapacity(double sourceRate, uint32_t targetRate, uint32_t decodedLength) {
  if (sourceRate <= 0.0) return 0;
  return static_cast<uint64_t>(targetRate * 1.25 / sourceRate * decodedLength);
}
