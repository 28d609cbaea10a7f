// Durations of sound in the siren's format: one byte per sample at 9765
// samples per second.
#pragma once

#include <cstdint>
#include <string>

constexpr double kSirenSampleRate = 9765.0;

// Milliseconds that `samples` last, truncated.
uint32_t SamplesToMilliseconds(uint32_t samples);

// The duration shown in the fragment list: seconds and milliseconds,
// "%02d.%03d" (minutes never occur: the memory holds about 26.8 seconds).
std::string FragmentDurationText(uint32_t samples);
