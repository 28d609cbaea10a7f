#include "audio/triangular_dither.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kStepsPerFullScale = 128.0;
}  // namespace

void BTriangularDither::AppendSirenBytes(const float* samples, size_t count,
                                         std::vector<uint8_t>& bytes) {
  const bool onSteps = std::all_of(samples, samples + count, [](float sample) {
    const double steps = sample * kStepsPerFullScale;
    return steps == std::floor(steps) && steps >= -128.0 && steps <= 127.0;
  });
  bytes.reserve(bytes.size() + count);
  for (size_t i = 0; i < count; ++i) {
    const double steps = samples[i] * kStepsPerFullScale;
    const int8_t value = onSteps ? static_cast<int8_t>(steps) : Round(steps);
    bytes.push_back(static_cast<uint8_t>(value));
  }
}

int8_t BTriangularDither::Round(double steps) {
  const double noise = NextUniform() - NextUniform();  // triangular over -1..1 steps
  return static_cast<int8_t>(std::clamp(std::floor(steps + noise + 0.5), -128.0, 127.0));
}

// xorshift64*: small, fast and the same in every build; the top 53 bits make
// the fraction.
double BTriangularDither::NextUniform() {
  m_state ^= m_state >> 12;
  m_state ^= m_state << 25;
  m_state ^= m_state >> 27;
  const uint64_t bits = m_state * 0x2545F4914F6CDD1Dull;
  return static_cast<double>(bits >> 11) * (1.0 / 9007199254740992.0);
}
