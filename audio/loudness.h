// Loudness of the siren's sound and the levelling of fragments to one
// loudness. The loudness is the integrated loudness of ITU-R BS.1770 (EBU
// R128), in LUFS, measured with libebur128 on the signed 8-bit mono samples
// at the siren's rate, full scale being 128. A fragment is levelled by one
// gain and a look-ahead peak limiter that keeps every sample within
// ±kLimiterCeiling, so none clips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The limiter's ceiling: levelled sound never reaches 127 or -128.
constexpr int kLimiterCeiling = 126;
// The most limiting the default target asks of any fragment, in dB.
constexpr double kMaxDefaultLimitingDb = 6.0;

// The integrated loudness of `count` signed samples at `rate`, in LUFS.
// False for sound too short (under 0.4 s) or too quiet (gated away) to be
// measured.
bool MeasureLoudness(const int8_t* samples, size_t count, uint32_t rate, double& lufs);

// The loudest level a fragment of loudness `lufs` whose largest sample is
// `peak` reaches with at most kMaxDefaultLimitingDb of limiting.
double ReachableLoudness(double lufs, int peak);

// The largest magnitude of the samples (0 to 128).
int PeakOf(const int8_t* samples, size_t count);

// The samples amplified by `gainDb` and limited: the gain that each sample
// needs to stay within the ceiling, taken as the least over 10 ms before and
// after it and averaged over the same span, so that it falls smoothly before a
// peak and rises after it; rounded to the nearest step.
std::vector<int8_t> AmplifyAndLimit(const int8_t* samples, size_t count, uint32_t rate,
                                    double gainDb);

// The samples brought to `targetLufs`: amplified and limited, then amplified
// again by what the limiter took from the loudness (up to three rounds), so
// that the result measures within a tenth of a LU of the target where the
// ceiling allows. Sound that cannot be measured comes back unchanged.
std::vector<int8_t> LevelToLoudness(const int8_t* samples, size_t count, uint32_t rate,
                                    double targetLufs);
