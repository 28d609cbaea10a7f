// Warning signals made at the siren's own rate: a steady tone, the wail that
// rises and falls, the fast yelp, the two-tone hi-lo, a pulsed tone and
// silence. The sound is computed sample by sample in the siren's format
// (signed 8-bit at 9765 samples per second), so it needs no conversion and
// has no aliasing: every frequency stays below half the rate.
//
// Sample n lies at t = n / 9765 and at the point p = (t mod period) / period
// of its period. The phase starts at 0 and advances by 2 pi f(t) / 9765 after
// every sample, so that it runs on through every change of frequency and
// through the silent halves of a pulse; the sample is
// round(level / 100 * 127 * sin(phase)), 0 where the signal is silent
// (docs/signals.md).
//
// A plain value class: any thread, no shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/durations.h"

// In the order of the dialog's list.
enum class BSignalKind { Tone, Wail, Yelp, HiLo, Pulse, Silence };
constexpr int kSignalKindCount = 6;

struct BSignalParams {
  BSignalKind kind = BSignalKind::Wail;
  double frequency1 = 600;   // Hz
  double frequency2 = 1200;  // Hz
  double period = 4;         // seconds
  double duration = 8;       // seconds
  double level = 90;         // percent of full scale
};

class BSignalSynth {
 public:
  static constexpr double kRate = kSirenSampleRate;

  explicit BSignalSynth(const BSignalParams& params) : m_params(params) {}

  // round(seconds * 9765): the samples a signal of that duration has.
  static uint32_t SampleCount(double seconds);

  // The frequency at time t (seconds), and whether the signal sounds there;
  // a silent pulse half keeps its first frequency for the running phase.
  double FrequencyAt(double t) const;
  bool SoundsAt(double t) const;

  // The whole signal in the siren's signed bytes.
  std::vector<uint8_t> Synthesize() const;

 private:
  // Where t lies in its period, from 0 up to 1.
  double PointInPeriod(double t) const;

  BSignalParams m_params;
};
