#include "audio/resampler.h"

#include <algorithm>
#include <cmath>

// Every output sample must be the same on every machine and in every build,
// so the arithmetic below follows one fixed order: times advance by repeated
// addition, products are formed factor by factor in index order, and each
// weight is its numerator divided by its divisor. The speed-ups keep exactly
// that order of operations: the divisors are computed only when a window's
// spacing changes (see PrepareWindow), and the products are formed four at a
// time side by side instead of one after the other, which lets the processor
// overlap their multiplications.

BResampler::BResampler(double sourceRate, uint32_t targetRate)
    : m_sourceRate(sourceRate),
      m_targetRate(targetRate),
      m_inputPeriod(1.0 / sourceRate),
      m_outputPeriod(1.0 / targetRate) {}

uint64_t BResampler::MaxOutputCount(uint32_t count) const {
  if (count == 0 || m_sourceRate <= 0.0) return 0;
  // An output sample is made while an input time is at or beyond the previous
  // output time, so the outputs cover the input span plus one step beyond it;
  // one more for the first sample and one for rounding of the summed times.
  return static_cast<uint64_t>(count * (m_targetRate / m_sourceRate)) + 3;
}

uint64_t BResampler::OutputCount(uint64_t count, double sourceRate, uint32_t targetRate) {
  if (count <= 1 || sourceRate <= 0.0) return count;
  return static_cast<uint64_t>(std::floor((count - 1) * (targetRate / sourceRate))) + 2;
}

uint32_t BResampler::Resample(const int8_t* input, int8_t* output, uint32_t count) {
  uint32_t produced = 0;
  // The last input's time, summed as the loop below sums it: only the one
  // output that follows it lies beyond.
  double lastInputTime = m_inputTime;
  for (uint32_t j = 1; j < count; ++j) lastInputTime += m_inputPeriod;
  Window window;
  bool haveWindow = false;
  for (uint32_t j = 0; j < count; ++j) {
    if (m_inputTime == 0.0) {
      output[0] = input[0];
      produced = 1;
    } else {
      while (m_inputTime >= m_outputTime) {
        uint32_t first = j > kLookBack ? j - kLookBack : 0;
        uint32_t length = std::min(count - first, kWindowLength);
        m_windowStart = first * m_inputPeriod;
        // Upsampling makes several outputs from one window: its divisors stay.
        if (!haveWindow || window.first != first || window.length != length) {
          PrepareWindow(first, length, window);
          haveWindow = true;
        }
        m_outputTime += m_outputPeriod;
        // Past the last input sample the polynomial would extrapolate, and the
        // sound would end with a click: the last output holds that sample.
        if (m_outputTime > lastInputTime) {
          output[produced++] = input[count - 1];
          continue;
        }
        double x = static_cast<float>(m_outputTime);
        output[produced++] = Interpolate(input + first, window, x);
      }
    }
    m_inputTime += m_inputPeriod;
  }
  return produced;
}

namespace {

constexpr uint32_t kLanes = 4;  // BResampler::kProductLanes

// products[k] = the product of factor(k, i) over i < length, i != k, formed
// factor by factor in index order. Four products are formed side by side so
// that their multiplications overlap; each one still sees its factors in the
// same order as a plain loop would. `products` has room for a multiple of
// four entries.
template <typename Factor>
void ProductsOverOthers(uint32_t length, Factor factor, double* products) {
  for (uint32_t k0 = 0; k0 < length; k0 += kLanes) {
    double p[kLanes] = {1.0, 1.0, 1.0, 1.0};
    const uint32_t ownEnd = std::min(k0 + kLanes, length);
    for (uint32_t i = 0; i < k0; ++i)
      for (uint32_t lane = 0; lane < kLanes; ++lane) p[lane] *= factor(k0 + lane, i);
    for (uint32_t i = k0; i < ownEnd; ++i)  // the rows where one lane meets itself
      for (uint32_t lane = 0; lane < kLanes; ++lane)
        if (k0 + lane != i) p[lane] *= factor(k0 + lane, i);
    for (uint32_t i = ownEnd; i < length; ++i)
      for (uint32_t lane = 0; lane < kLanes; ++lane) p[lane] *= factor(k0 + lane, i);
    for (uint32_t lane = 0; lane < kLanes; ++lane) products[k0 + lane] = p[lane];
  }
}

}  // namespace

// The times of a window all differ: a window lies within 2^32 input periods
// of the start, where one period is still about 2^20 units in the last place
// of the time, so no factor ever has t_i equal to t_k for i != k.
//
// When the last time of a window is at most twice its first, every difference
// of two of its times is exact (Sterbenz), so the divisors depend only on the
// offsets of the times from the first one. Those offsets stay the same from
// window to window while the times keep their binary exponent, so the
// divisors of the previous window are kept whenever the offsets match bit for
// bit: most windows then cost nineteen subtractions instead of 380
// multiplications.
void BResampler::PrepareWindow(uint32_t first, uint32_t length, Window& window) const {
  double times[kWindowLength + kProductLanes];
  double t = m_windowStart;
  for (uint32_t k = 0; k < kWindowLength + kProductLanes; ++k) {
    times[k] = k < length ? t : 0.0;  // unused lanes compute harmless values
    t += m_inputPeriod;
  }
  const bool exact = times[0] > 0.0 && times[length - 1] <= 2.0 * times[0];
  bool sameDivisors = exact && window.exactDifferences && window.length == length;
  double offsets[kWindowLength];
  for (uint32_t k = 0; k < length; ++k) {
    offsets[k] = times[k] - times[0];
    if (offsets[k] != window.offsets[k]) sameDivisors = false;
  }

  window.first = first;
  window.length = length;
  window.exactDifferences = exact;
  std::copy(times, times + kWindowLength + kProductLanes, window.times);
  std::copy(offsets, offsets + length, window.offsets);
  if (sameDivisors) return;
  const double* windowTimes = window.times;
  ProductsOverOthers(
      length, [windowTimes](uint32_t k, uint32_t i) { return windowTimes[k] - windowTimes[i]; },
      window.divisors);
}

// Weight k is the product of (x - t_i) over i != k divided by divisor k.
int8_t BResampler::Interpolate(const int8_t* samples, const Window& window, double x) {
  const uint32_t length = window.length;
  double distances[kWindowLength];
  for (uint32_t i = 0; i < length; ++i) distances[i] = x - window.times[i];
  double numerators[kWindowLength + kProductLanes];
  ProductsOverOthers(
      length, [&distances](uint32_t, uint32_t i) { return distances[i]; }, numerators);
  double y = 0.0;
  for (uint32_t k = 0; k < length; ++k) y += samples[k] * (numerators[k] / window.divisors[k]);
  return ToSample(y);
}

int8_t BResampler::ToSample(double y) {
  y = std::clamp(y, -128.0, 127.0);
  return static_cast<int8_t>(static_cast<int>(y));  // truncated toward zero
}
