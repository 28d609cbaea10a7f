// Speed of the resampler: 30 s of 44100 Hz sound brought to the siren's
// 9765 Hz, with BResampler and with a plain form of the same algorithm that
// precomputes nothing (the two must give the same bytes).
// Build and run with bench/run_resampler_benchmark.sh.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "audio/resampler.h"

namespace {

const uint32_t kSourceRate = 44100;
const uint32_t kTargetRate = 9765;
const uint32_t kSeconds = 30;
const int kRuns = 5;
const double kPi = 3.14159265358979323846;

std::vector<int8_t> MakeSound() {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-8, 8);
  std::vector<int8_t> sound(kSourceRate * kSeconds);
  for (size_t i = 0; i < sound.size(); ++i) {
    double tone = 100 * std::sin(i * 2 * kPi * 440 / kSourceRate);
    sound[i] = static_cast<int8_t>(std::clamp(tone + noise(random), -128.0, 127.0));
  }
  return sound;
}

// Every weight from scratch, factor by factor.
uint32_t ResamplePlain(const int8_t* in, int8_t* out, uint32_t count) {
  const double inputPeriod = 1.0 / kSourceRate, outputPeriod = 1.0 / kTargetRate;
  double inputTime = 0.0, outputTime = 0.0;
  uint32_t produced = 0;
  for (uint32_t j = 0; j < count; ++j) {
    if (inputTime == 0.0) {
      out[0] = in[0];
      produced = 1;
    } else {
      while (inputTime >= outputTime) {
        uint32_t a = j >= 10 ? j - 10 : 0;
        uint32_t n = std::min<uint32_t>(count - a, 20);
        double times[20];
        double t = a * inputPeriod;
        for (uint32_t k = 0; k < n; ++k, t += inputPeriod) times[k] = t;
        outputTime += outputPeriod;
        double x = static_cast<float>(outputTime);
        double y = 0.0;
        for (uint32_t k = 0; k < n; ++k) {
          double numerator = 1.0, divisor = 1.0;
          for (uint32_t i = 0; i < n; ++i) {
            if (times[i] == times[k]) continue;
            numerator *= x - times[i];
            divisor *= times[k] - times[i];
          }
          y += in[a + k] * (numerator / divisor);
        }
        out[produced++] = static_cast<int8_t>(static_cast<int>(std::clamp(y, -128.0, 127.0)));
      }
    }
    inputTime += inputPeriod;
  }
  return produced;
}

template <typename Resample>
double BestSeconds(Resample resample) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    resample();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void Report(const char* name, double seconds, uint32_t inputs, uint32_t outputs) {
  std::printf("%-12s %8.1f ms  %12.0f input samples/s  %10.0f output samples/s  %6.0fx real time\n",
              name, seconds * 1000, inputs / seconds, outputs / seconds, kSeconds / seconds);
}

}  // namespace

int main() {
  const std::vector<int8_t> sound = MakeSound();
  const uint32_t count = static_cast<uint32_t>(sound.size());
  std::vector<int8_t> fast(BResampler(kSourceRate, kTargetRate).MaxOutputCount(count));
  std::vector<int8_t> plain(fast.size());
  uint32_t fastCount = 0, plainCount = 0;

  double fastSeconds = BestSeconds([&] {
    BResampler resampler(kSourceRate, kTargetRate);
    fastCount = resampler.Resample(sound.data(), fast.data(), count);
  });
  double plainSeconds =
      BestSeconds([&] { plainCount = ResamplePlain(sound.data(), plain.data(), count); });

  std::printf("%u s at %u Hz (%u samples) to %u Hz, best of %d runs:\n", kSeconds, kSourceRate,
              count, kTargetRate, kRuns);
  Report("BResampler", fastSeconds, count, fastCount);
  Report("plain", plainSeconds, count, plainCount);
  bool same =
      fastCount == plainCount && std::equal(fast.begin(), fast.begin() + fastCount, plain.begin());
  std::printf("outputs identical: %s\n", same ? "yes" : "NO");
  return same ? 0 : 1;
}
