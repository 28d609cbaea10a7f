#include "audio/rate_reduction.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Filter taps on each side of the centre, per unit of the factor: enough for
// a Blackman window to reach its full stop-band attenuation (about 74 dB).
constexpr uint32_t kHalfTapsPerFactor = 16;
// The pass band ends this far below the Nyquist frequency of the lower rate,
// so that the transition band lies under it.
constexpr double kPassBandShare = 0.9;

// Blackman-windowed sinc, cut off at `cutoff` cycles per input sample; index
// 0 is the tap at -half.
std::vector<double> LowPassKernel(uint32_t half, double cutoff) {
  std::vector<double> kernel(2 * half + 1);
  for (uint32_t i = 0; i < kernel.size(); ++i) {
    const double k = static_cast<double>(i) - half;
    const double sinc = k == 0.0 ? 1.0 : std::sin(2 * kPi * cutoff * k) / (2 * kPi * cutoff * k);
    const double phase = 2 * kPi * i / (kernel.size() - 1);
    const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
    kernel[i] = sinc * window;
  }
  return kernel;
}

}  // namespace

uint32_t RateReductionFactor(uint32_t sourceRate, uint32_t targetRate) {
  const uint64_t highest = static_cast<uint64_t>(kMaxInterpolatedRateRatio) * targetRate;
  if (targetRate == 0 || sourceRate <= highest) return 1;
  return static_cast<uint32_t>((sourceRate + highest - 1) / highest);
}

std::vector<int8_t> ReduceRate(const int8_t* samples, size_t count, uint32_t factor) {
  if (factor <= 1) return std::vector<int8_t>(samples, samples + count);
  const uint32_t half = kHalfTapsPerFactor * factor;
  const std::vector<double> kernel = LowPassKernel(half, kPassBandShare * 0.5 / factor);
  std::vector<int8_t> reduced;
  reduced.reserve(count / factor + 1);
  for (size_t centre = 0; centre < count; centre += factor) {
    const size_t first = centre > half ? centre - half : 0;
    const size_t end = std::min(count, centre + half + 1);
    double sum = 0.0, weight = 0.0;
    for (size_t i = first; i < end; ++i) {
      const double tap = kernel[i + half - centre];
      sum += tap * samples[i];
      weight += tap;
    }
    const double value = std::clamp(std::round(sum / weight), -128.0, 127.0);
    reduced.push_back(static_cast<int8_t>(value));
  }
  return reduced;
}
