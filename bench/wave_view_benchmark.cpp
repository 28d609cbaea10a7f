// Speed of the waveform window's arithmetic for the longest sound the memory
// holds (262140 samples, 26.8 s): the rebuild of the peak pyramid after an
// edit, and the envelope of one repaint at 1000 columns, whole sound and
// zoomed in. Build and run with bench/run_wave_view_benchmark.sh.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "ui/peak_pyramid.h"
#include "ui/wave_viewport.h"

namespace {

const uint32_t kSamples = 262140;
const int kColumns = 1000;
const int kRuns = 50;

std::vector<uint8_t> MakeSound() {
  std::mt19937 random(1);
  std::vector<uint8_t> sound(kSamples);
  for (uint32_t i = 0; i < kSamples; ++i) {
    double tone = 100 * std::sin(i * 0.28) * (0.5 + 0.5 * std::sin(i * 0.0001));
    sound[i] = static_cast<uint8_t>(std::clamp(128 + tone + int(random() % 9) - 4, 0.0, 255.0));
  }
  return sound;
}

template <typename F>
double BestMilliseconds(F&& work) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    work();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main() {
  std::vector<uint8_t> sound = MakeSound();
  BPeakPyramid pyramid;
  pyramid.Build(sound.data(), kSamples);
  double rebuild = BestMilliseconds([&] {
    sound[kSamples / 2] ^= 0x40;  // an edit
    pyramid.Build(sound.data(), kSamples);
  });
  std::printf("rebuild after an edit, %u samples: %.3f ms (target under 5 ms)\n", kSamples,
              rebuild);

  BWaveViewport view;
  view.SetWidth(kColumns);
  view.SetSound(kSamples, true);
  unsigned sink = 0;
  for (double zoom : {1.0, 10.0, 262.14}) {
    view.ZoomToAll();
    view.ZoomAround(kColumns / 2, zoom);
    double repaint = BestMilliseconds([&] {
      std::vector<BPeak> envelope = ComputeEnvelope(pyramid, view);
      sink += envelope[kColumns / 3].max;
    });
    std::printf("envelope of %d columns at %.2f samples per column: %.3f ms%s\n", kColumns,
                view.SamplesPerColumn(), repaint,
                zoom == 1.0 ? " (whole sound; target under 5 ms)" : "");
  }
  return sink == 0xFFFFFFFF;  // keeps the work from being optimised away
}
