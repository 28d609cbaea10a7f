#include "audio/gain.h"

int8_t ApplyGain(int8_t sample, int32_t gainPercent) {
  double result = sample * (gainPercent / 100.0) + sample;
  int32_t truncated = static_cast<int32_t>(result);  // toward zero
  if (truncated < -128) truncated = -128;
  if (truncated > 127) truncated = 127;
  return static_cast<int8_t>(truncated);
}

void ApplyGainToUnsigned(const uint8_t* source, uint8_t* target, uint32_t count,
                         int32_t gainPercent) {
  for (uint32_t i = 0; i < count; ++i) {
    int8_t sample = static_cast<int8_t>(source[i] - 128);
    target[i] = static_cast<uint8_t>(ApplyGain(sample, gainPercent) + 128);
  }
}

void ApplyGainToSigned(uint8_t* samples, uint32_t count, int32_t gainPercent) {
  for (uint32_t i = 0; i < count; ++i)
    samples[i] = static_cast<uint8_t>(ApplyGain(static_cast<int8_t>(samples[i]), gainPercent));
}

namespace {

// True when s × (1 + gain / 100) lies in the sample range before clipping.
bool FitsUnclipped(int32_t sample, int32_t gainPercent) {
  int32_t truncated = static_cast<int32_t>(sample * (gainPercent / 100.0) + sample);
  return truncated >= -128 && truncated <= 127;
}

}  // namespace

int32_t NormalizingGain(const uint8_t* unsignedSamples, uint32_t count) {
  // The result only grows with |s|, so the two extremes decide.
  int32_t lowest = 0, highest = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t sample = static_cast<int32_t>(unsignedSamples[i]) - 128;
    if (sample < lowest) lowest = sample;
    if (sample > highest) highest = sample;
  }
  for (int32_t gain = kMaxGainPercent; gain > kMinGainPercent; --gain)
    if (FitsUnclipped(lowest, gain) && FitsUnclipped(highest, gain)) return gain;
  return kMinGainPercent;
}
