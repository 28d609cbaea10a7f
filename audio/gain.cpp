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
