// Reduction of a sample rate by a whole factor, for sounds whose rate is too
// high for the interpolating resampler: BResampler reaches 9 input samples
// ahead of the current one, and well before that the 20-point polynomial
// swings near the window's edge (a half-scale tone at 64 kHz peaks at 73,
// at 75 kHz it clips). Up to 6 times the target rate (58 590 Hz for the siren)
// a tone keeps its level within one step; a faster sound is first low-pass
// filtered and thinned to every n-th sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The highest source rate BResampler is given, as a multiple of its target rate.
constexpr uint32_t kMaxInterpolatedRateRatio = 6;

// The smallest whole factor that brings `sourceRate` down to at most
// kMaxInterpolatedRateRatio times `targetRate`; 1 when it is there already.
uint32_t RateReductionFactor(uint32_t sourceRate, uint32_t targetRate);

// Keeps every `factor`-th sample of signed 8-bit mono sound (the first one
// included) after a windowed-sinc low-pass filter that removes what the lower
// rate cannot hold; each kept sample is rounded to the nearest step. Near the
// ends, where the filter reaches past the sound, it is scaled to the part
// that lies within, so that a steady level stays steady up to the last sample.
std::vector<int8_t> ReduceRate(const int8_t* samples, size_t count, uint32_t factor);
