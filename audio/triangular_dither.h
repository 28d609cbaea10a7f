// BTriangularDither: rounds sound to the siren's signed 8-bit steps with
// triangular (TPDF) dither, the sum of two independent uniform values of one
// step each. The rounding error then carries no trace of the signal, not even
// in its mean, so quiet sounds neither distort nor gain a DC offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BTriangularDither {
 public:
  // Every conversion starts its generator from this seed, so that a file
  // converts to the same bytes each time.
  static constexpr uint64_t kSeed = 0x5D1E7A5EEDull;

  explicit BTriangularDither(uint64_t seed = kSeed) : m_state(seed) {}

  // Appends `count` samples given as fractions of full scale (-1..1) to
  // `bytes` as signed 8-bit values (x 128, dithered, rounded, clipped to
  // -128..127). A sound whose every sample already lies on an 8-bit step
  // is taken over exactly, without noise.
  void AppendSirenBytes(const float* samples, size_t count, std::vector<uint8_t>& bytes);

  // One value in steps, dithered and rounded to -128..127.
  int8_t Round(double steps);

 private:
  double NextUniform();  // in [0, 1)

  uint64_t m_state;
};
