// BPeakPyramid: the smallest and largest sample of every aligned block of 2^k
// samples (k = 1, 2, ...) of a sound, so that the waveform window can find the
// exact minimum and maximum of any range by reading a few blocks instead of
// every sample. Built once per change of the sound (linear time, twice the
// sound's size in memory); queries never change it.
//
// Threads: the user-interface thread builds and queries it. The pyramid keeps
// its own copy of the samples, so the sound it was built from may change or go
// away at any time; it shows that sound until the next Build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The extremes of a range of unsigned 8-bit samples; empty when min > max.
struct BPeak {
  uint8_t min = 255;
  uint8_t max = 0;

  bool IsEmpty() const { return min > max; }
  void Add(const BPeak& other) {
    if (other.min < min) min = other.min;
    if (other.max > max) max = other.max;
  }
};

class BPeakPyramid {
 public:
  // Copies the samples and computes every level.
  void Build(const uint8_t* samples, uint32_t count);
  void Clear();

  uint32_t Count() const { return m_count; }
  // The exact extremes of samples [first, last); empty for an empty range.
  // Positions beyond the sound are cut off. Reads O(log(last - first)) values.
  BPeak Range(uint32_t first, uint32_t last) const;

 private:
  // Level k (k >= 1) holds one peak per aligned block of 2^k samples; a last
  // block cut short by the end of the sound is included.
  std::vector<std::vector<BPeak>> m_levels;
  std::vector<uint8_t> m_samples;
  uint32_t m_count = 0;
};
