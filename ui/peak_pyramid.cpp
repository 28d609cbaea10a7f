#include "peak_pyramid.h"

namespace {

BPeak SamplePeak(uint8_t value) { return BPeak{value, value}; }

}  // namespace

void BPeakPyramid::Clear() {
  m_levels.clear();
  m_samples.clear();
  m_count = 0;
}

void BPeakPyramid::Build(const uint8_t* samples, uint32_t count) {
  m_count = samples != nullptr ? count : 0;
  // The vectors keep their room when the sound only changes its bytes, so
  // that a rebuild after an edit allocates nothing.
  m_samples.assign(samples, samples + m_count);
  std::size_t levelCount = 0;
  for (uint64_t block = 2; block / 2 < m_count; block *= 2) ++levelCount;
  m_levels.resize(levelCount);

  uint32_t below = m_count;  // entries of the level below (level 0: samples)
  for (std::size_t k = 0; k < levelCount; ++k) {
    std::vector<BPeak>& level = m_levels[k];
    level.resize((below + 1) / 2);
    for (uint32_t i = 0; i < level.size(); ++i) {
      uint32_t left = 2 * i, right = 2 * i + 1;
      BPeak peak = k == 0 ? SamplePeak(m_samples[left]) : m_levels[k - 1][left];
      if (right < below) peak.Add(k == 0 ? SamplePeak(m_samples[right]) : m_levels[k - 1][right]);
      level[i] = peak;
    }
    below = static_cast<uint32_t>(level.size());
  }
}

BPeak BPeakPyramid::Range(uint32_t first, uint32_t last) const {
  BPeak result;
  if (last > m_count) last = m_count;
  if (first >= last) return result;
  // Climb from the edges: at each level take the odd block on the left and the
  // odd block on the right, which the next level up cannot cover aligned.
  uint32_t lo = first, hi = last;  // [lo, hi) in units of the current level
  for (std::size_t k = 0; lo < hi; ++k) {
    auto peakAt = [&](uint32_t i) {
      return k == 0 ? SamplePeak(m_samples[i]) : m_levels[k - 1][i];
    };
    if (lo & 1) result.Add(peakAt(lo++));
    if (hi & 1) result.Add(peakAt(--hi));
    if (lo >= hi) break;
    if (k == m_levels.size()) {  // the top level: read what is left
      for (uint32_t i = lo; i < hi; ++i) result.Add(peakAt(i));
      break;
    }
    lo /= 2;
    hi /= 2;
  }
  return result;
}
