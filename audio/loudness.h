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

// What the levelling dialog knows of a fragment.
struct BFragmentLoudness {
  bool measured = false;  // false: too short or too quiet to be measured
  double lufs = 0.0;
  int peak = 0;
};

// Measures a fragment's loudness and peak.
BFragmentLoudness MeasureFragment(const int8_t* samples, size_t count, uint32_t rate);

// The default target of the chosen fragments: the loudest level that every
// chosen, measured fragment reaches with at most kMaxDefaultLimitingDb of
// limiting, rounded down to a tenth. False when no chosen fragment is measured.
bool DefaultLoudnessTarget(const std::vector<BFragmentLoudness>& fragments,
                           const std::vector<bool>& chosen, double& target);

// The lowest and highest target the dialog takes, in LUFS.
constexpr double kMinLoudnessTarget = -70.0;
constexpr double kMaxLoudnessTarget = 0.0;

// A target as the user types it ("-16", "-16,5", "-16.5", spaces around):
// false for anything else or outside the limits.
bool ParseLoudnessTarget(const std::wstring& text, double& target);
// A loudness with one decimal and a decimal comma, as the dialog shows it.
std::wstring FormatLoudness(double lufs);

// The samples brought to `targetLufs`: amplified and limited, then amplified
// again by what the limiter took from the loudness (up to three rounds), so
// that the result measures within a tenth of a LU of the target where the
// ceiling allows. Sound that cannot be measured comes back unchanged.
std::vector<int8_t> LevelToLoudness(const int8_t* samples, size_t count, uint32_t rate,
                                    double targetLufs);
