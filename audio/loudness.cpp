#include "audio/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

namespace {

struct BEbur128Deleter {
  void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

// The least of `values` over [i - half, i + half] for every i (a sliding
// minimum kept in a monotone queue).
std::vector<double> SlidingMinimum(const std::vector<double>& values, size_t half) {
  std::vector<double> least(values.size());
  std::deque<size_t> queue;  // indices of increasing values
  size_t next = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    for (; next < values.size() && next <= i + half; ++next) {
      while (!queue.empty() && values[queue.back()] >= values[next]) queue.pop_back();
      queue.push_back(next);
    }
    while (queue.front() + half < i) queue.pop_front();
    least[i] = values[queue.front()];
  }
  return least;
}

// The mean of `values` over [i - half, i + half], the span cut at the ends.
std::vector<double> SlidingMean(const std::vector<double>& values, size_t half) {
  std::vector<double> prefix(values.size() + 1, 0.0);
  for (size_t i = 0; i < values.size(); ++i) prefix[i + 1] = prefix[i] + values[i];
  std::vector<double> mean(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t first = i > half ? i - half : 0;
    const size_t end = std::min(values.size(), i + half + 1);
    mean[i] = (prefix[end] - prefix[first]) / static_cast<double>(end - first);
  }
  return mean;
}

}  // namespace

bool MeasureLoudness(const int8_t* samples, size_t count, uint32_t rate, double& lufs) {
  if (count == 0 || rate == 0) return false;
  std::unique_ptr<ebur128_state, BEbur128Deleter> state(ebur128_init(1, rate, EBUR128_MODE_I));
  if (!state) return false;
  std::vector<float> block;
  constexpr size_t kBlock = 65536;
  for (size_t at = 0; at < count; at += kBlock) {
    const size_t n = std::min(kBlock, count - at);
    block.resize(n);
    for (size_t i = 0; i < n; ++i) block[i] = samples[at + i] / 128.0f;
    if (ebur128_add_frames_float(state.get(), block.data(), n) != EBUR128_SUCCESS) return false;
  }
  double value = 0.0;
  if (ebur128_loudness_global(state.get(), &value) != EBUR128_SUCCESS || !std::isfinite(value))
    return false;
  lufs = value;
  return true;
}

int PeakOf(const int8_t* samples, size_t count) {
  int peak = 0;
  for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
  return peak;
}

double ReachableLoudness(double lufs, int peak) {
  if (peak <= 0) return lufs;
  return lufs + 20.0 * std::log10(static_cast<double>(kLimiterCeiling) / peak) +
         kMaxDefaultLimitingDb;
}

std::vector<int8_t> AmplifyAndLimit(const int8_t* samples, size_t count, uint32_t rate,
                                    double gainDb) {
  const double gain = std::pow(10.0, gainDb / 20.0);
  std::vector<double> need(count);
  for (size_t i = 0; i < count; ++i) {
    const double level = std::fabs(samples[i] * gain);
    need[i] = level > kLimiterCeiling ? kLimiterCeiling / level : 1.0;
  }
  // Every gain in the span around a peak is at most the peak's own need, so
  // their mean is too: the peak stays within the ceiling.
  const size_t half = std::max<size_t>(1, rate / 100);
  const std::vector<double> smooth = SlidingMean(SlidingMinimum(need, half), half);
  std::vector<int8_t> out(count);
  for (size_t i = 0; i < count; ++i) {
    const double value = std::round(samples[i] * gain * smooth[i]);
    out[i] = static_cast<int8_t>(std::clamp(value, -1.0 * kLimiterCeiling, 1.0 * kLimiterCeiling));
  }
  return out;
}

std::vector<int8_t> LevelToLoudness(const int8_t* samples, size_t count, uint32_t rate,
                                    double targetLufs) {
  std::vector<int8_t> original(samples, samples + count);
  double measured = 0.0;
  if (!MeasureLoudness(samples, count, rate, measured)) return original;
  double gainDb = targetLufs - measured;
  std::vector<int8_t> levelled = AmplifyAndLimit(samples, count, rate, gainDb);
  for (int round = 0; round < 3; ++round) {
    double reached = 0.0;
    if (!MeasureLoudness(levelled.data(), count, rate, reached)) break;
    const double missing = targetLufs - reached;
    if (std::fabs(missing) < 0.1) break;
    gainDb += missing;
    levelled = AmplifyAndLimit(samples, count, rate, gainDb);
  }
  return levelled;
}

BFragmentLoudness MeasureFragment(const int8_t* samples, size_t count, uint32_t rate) {
  BFragmentLoudness fragment;
  fragment.measured = MeasureLoudness(samples, count, rate, fragment.lufs);
  fragment.peak = PeakOf(samples, count);
  return fragment;
}

bool DefaultLoudnessTarget(const std::vector<BFragmentLoudness>& fragments,
                           const std::vector<bool>& chosen, double& target) {
  bool any = false;
  double least = kMaxLoudnessTarget;
  for (size_t i = 0; i < fragments.size() && i < chosen.size(); ++i) {
    if (!chosen[i] || !fragments[i].measured) continue;
    least = std::min(least, ReachableLoudness(fragments[i].lufs, fragments[i].peak));
    any = true;
  }
  if (!any) return false;
  target = std::clamp(std::floor(least * 10.0) / 10.0, kMinLoudnessTarget, kMaxLoudnessTarget);
  return true;
}

bool ParseLoudnessTarget(const std::wstring& text, double& target) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c == L',') c = L'.';
    if (c == L' ' || c == L'\t') continue;
    if (!(c == L'-' || c == L'+' || c == L'.' || (c >= L'0' && c <= L'9'))) return false;
    narrow.push_back(static_cast<char>(c));
  }
  if (narrow.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(narrow.c_str(), &end);
  if (end != narrow.c_str() + narrow.size() || !std::isfinite(value) ||
      value < kMinLoudnessTarget || value > kMaxLoudnessTarget)
    return false;
  target = value;
  return true;
}

std::wstring FormatLoudness(double lufs) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", lufs);
  std::wstring wide;
  for (const char* c = text; *c; ++c) wide.push_back(*c == '.' ? L',' : static_cast<wchar_t>(*c));
  return wide;
}
