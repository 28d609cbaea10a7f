// Durations of sound in the siren's format: one byte per sample at 9765
// samples per second.
#pragma once

#include <cstdint>
#include <string>

#include "model/geometry.h"

constexpr double kSirenSampleRate = kSirenRate;

// Milliseconds that `samples` last, truncated.
uint32_t SamplesToMilliseconds(uint32_t samples);

// The duration shown in the fragment list: seconds and milliseconds,
// "%02d.%03d" (minutes never occur: the memory holds about 26.8 seconds).
std::string FragmentDurationText(uint32_t samples);
