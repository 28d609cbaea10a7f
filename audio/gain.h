// Amplification of the siren's signed samples by a gain in percent:
// s becomes s × (1 + gain / 100), truncated toward zero and clipped.
#pragma once

#include <cstdint>

int8_t ApplyGain(int8_t sample, int32_t gainPercent);

// The same on the player's unsigned bytes (sample + 128), reading `count`
// bytes from `source` and writing them to `target` (the two may be the same).
void ApplyGainToUnsigned(const uint8_t* source, uint8_t* target, uint32_t count,
                         int32_t gainPercent);

// In place on signed siren bytes, as stored in the memory image.
void ApplyGainToSigned(uint8_t* samples, uint32_t count, int32_t gainPercent);

// The gain range of the gain dialog's slider, in percent.
constexpr int32_t kMinGainPercent = -100;
constexpr int32_t kMaxGainPercent = 300;

// The largest gain in kMinGainPercent..kMaxGainPercent at which no sample of
// the player's unsigned bytes would clip (be cut to the sample range); the
// largest of all for silence. What "Нормализовать" sets the slider to.
int32_t NormalizingGain(const uint8_t* unsignedSamples, uint32_t count);
