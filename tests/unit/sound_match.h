// How close one sound in the siren's format comes to another: for the
// tests that compare a file of a lossy kind with the plain file it was made
// from. The codecs delay the sound by a fraction of a siren sample or more,
// so the comparison damps the top of the band and looks for the best shift.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// The sound with its highest frequencies damped ([1 2 1] / 4): a codec's
// delay is rarely a whole number of siren samples, and half a sample turns the
// top of the band round.
inline std::vector<double> Smoothed(const std::vector<int8_t>& sound) {
  std::vector<double> smooth(sound.size());
  for (std::size_t i = 1; i + 1 < sound.size(); ++i)
    smooth[i] = (sound[i - 1] + 2.0 * sound[i] + sound[i + 1]) / 4;
  return smooth;
}

// The reference's power over that of the difference, in dB, with `sound`
// shifted by `lag`, over every `step`-th sample.
inline double Decibels(const std::vector<double>& reference, const std::vector<double>& sound,
                       int lag, int margin, int step) {
  double signal = 0, noise = 0;
  for (int i = margin; i + margin < static_cast<int>(reference.size()); i += step) {
    const int j = i + lag;
    const double other = j >= 0 && j < static_cast<int>(sound.size()) ? sound[j] : 0.0;
    signal += reference[i] * reference[i];
    noise += (reference[i] - other) * (reference[i] - other);
  }
  return 10.0 * std::log10(signal / std::max(noise, 1e-9));
}

// How close `sound` comes to `reference` at the best shift within ±0.25 s
// (the codecs' delays, the frames a cut took): searched coarsely, then exactly.
inline double MatchDecibels(const std::vector<int8_t>& reference,
                            const std::vector<int8_t>& sound) {
  const std::vector<double> a = Smoothed(reference), b = Smoothed(sound);
  const int maxLag = 2441;
  int bestLag = 0;
  double best = -1000.0;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    const double decibels = Decibels(a, b, lag, maxLag, 16);
    if (decibels > best) best = decibels, bestLag = lag;
  }
  best = -1000.0;
  for (int lag = bestLag - 8; lag <= bestLag + 8; ++lag)
    best = std::max(best, Decibels(a, b, lag, maxLag, 1));
  return best;
}
