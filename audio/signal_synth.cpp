#include "audio/signal_synth.h"

#include <cmath>

namespace {
const double kPi = 3.14159265358979323846;
const double kFullScale = 127.0;
}  // namespace

uint32_t BSignalSynth::SampleCount(double seconds) {
  return seconds > 0 ? static_cast<uint32_t>(std::llround(seconds * kRate)) : 0;
}

double BSignalSynth::PointInPeriod(double t) const {
  return std::fmod(t, m_params.period) / m_params.period;
}

double BSignalSynth::FrequencyAt(double t) const {
  const double f1 = m_params.frequency1;
  const double f2 = m_params.frequency2;
  switch (m_params.kind) {
    case BSignalKind::Wail: {
      double p = PointInPeriod(t);
      return p < 0.5 ? f1 + (f2 - f1) * (2 * p) : f1 + (f2 - f1) * (2 * (1 - p));
    }
    case BSignalKind::Yelp:
      return f1 + (f2 - f1) * PointInPeriod(t);
    case BSignalKind::HiLo:
      return PointInPeriod(t) < 0.5 ? f1 : f2;
    case BSignalKind::Tone:
    case BSignalKind::Pulse:
      return f1;
    case BSignalKind::Silence:
      break;
  }
  return 0;
}

bool BSignalSynth::SoundsAt(double t) const {
  if (m_params.kind == BSignalKind::Silence) return false;
  return m_params.kind != BSignalKind::Pulse || PointInPeriod(t) < 0.5;
}

std::vector<uint8_t> BSignalSynth::Synthesize() const {
  std::vector<uint8_t> samples(SampleCount(m_params.duration), 0);
  double phase = 0;
  for (size_t n = 0; n < samples.size(); ++n) {
    double t = static_cast<double>(n) / kRate;
    if (SoundsAt(t)) {
      long value = std::lround(m_params.level / 100.0 * kFullScale * std::sin(phase));
      samples[n] = static_cast<uint8_t>(static_cast<int8_t>(value));
    }
    phase += 2.0 * kPi * FrequencyAt(t) / kRate;
  }
  return samples;
}
