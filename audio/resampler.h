// BResampler: changes the sample rate of signed 8-bit mono sound by Lagrange
// interpolation over a sliding window of up to 20 input samples. The source
// rate must be at most kWindowLength - kLookBack - 1 = 9 times the target
// rate, or an output would lie beyond its window (see RateReduction).
#pragma once

#include <cstdint>

class BResampler {
 public:
  // A source rate need not be whole: a rate reduced by a whole factor is not.
  BResampler(double sourceRate, uint32_t targetRate);
  virtual ~BResampler() = default;

  // Resamples `count` input samples into `output` and returns the number of
  // samples produced. `output` must hold MaxOutputCount(count) samples. The
  // times carry over from one call to the next. The last output lies up to
  // one output period beyond the last input; it takes the last input's value
  // instead of an extrapolated one.
  uint32_t Resample(const int8_t* input, int8_t* output, uint32_t count);

  // The most samples one Resample call of `count` input samples can produce.
  uint64_t MaxOutputCount(uint32_t count) const;

  // The length of `count` samples resampled in one call: every output time
  // up to the last input's and one step beyond (up to a sample where the
  // summed times round the other way).
  static uint64_t OutputCount(uint64_t count, double sourceRate, uint32_t targetRate);

  static constexpr uint32_t kWindowLength = 20;
  static constexpr uint32_t kLookBack = 10;

 private:
  // The input samples one interpolation draws on, their times and the
  // divisors of the Lagrange weights, which depend on those times alone.
  // Products are formed in groups of kProductLanes: the arrays have room for
  // a whole group beyond the last sample.
  static constexpr uint32_t kProductLanes = 4;
  struct Window {
    uint32_t first = 0;
    uint32_t length = 0;
    bool exactDifferences = false;       // every t_k - t_i is exact
    double offsets[kWindowLength] = {};  // t_k - t_0
    double times[kWindowLength + kProductLanes] = {};
    double divisors[kWindowLength + kProductLanes] = {};
  };

  void PrepareWindow(uint32_t first, uint32_t length, Window& window) const;
  static int8_t Interpolate(const int8_t* samples, const Window& window, double x);
  static int8_t ToSample(double y);

  double m_sourceRate;
  uint32_t m_targetRate;
  double m_windowStart = 0.0;  // time of the first sample of the current window, s
  double m_inputTime = 0.0;    // time of the current input sample
  double m_outputTime = 0.0;   // time of the last output sample produced
  double m_inputPeriod;
  double m_outputPeriod;
};
