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
