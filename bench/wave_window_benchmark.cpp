// What one play-position update costs the waveform window under Wine: the
// window 1000 columns wide shows the longest sound the memory holds, the host
// moves the play position as the player's reports do (about 50 a second while
// playing), and each update is painted at once. For comparison, the repaint of
// the whole window from its picture and the drawing of the picture itself (a
// change of the marked range). Run with bench/run_wave_window_benchmark.sh.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ui/wave_window.h"

namespace {

const uint32_t kSamples = 262140;
const int kColumns = 1000;
const int kUpdates = 400;
const int kRuns = 5;

class Host : public BWaveWindowHost {
 public:
  uint32_t position = 0;
  uint32_t rangeStart = 0, rangeEnd = 0;
  void OnWaveSeek(uint32_t) override {}
  void OnWaveMark(uint32_t, uint32_t) override {}
  void OnWaveMarkAll() override {}
  void OnWaveCancelRange() override {}
  void OnWavePlacementChanged() override {}
  void GetWaveCursor(uint32_t& at, uint32_t& start, uint32_t& end) override {
    at = position;
    start = rangeStart;
    end = rangeEnd;
  }
  bool IsWaveMarkingAllowed() override { return true; }
};

// Milliseconds per call of `step`: the mean over kUpdates calls, the best of
// kRuns such runs (the machine is shared; the first run also warms up).
template <typename F>
double MillisecondsEach(F&& step) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kUpdates; ++i) step(i);
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / kUpdates);
  }
  return best;
}

}  // namespace

int main() {
  std::vector<uint8_t> sound(kSamples);
  for (uint32_t i = 0; i < kSamples; ++i)
    sound[i] = static_cast<uint8_t>(128 + 100 * std::sin(i * 0.28) * std::sin(i * 0.0001));
  Host host;
  BWaveWindow window(host);
  BWavePlacement placement;
  if (!window.Create(::GetModuleHandleW(nullptr), nullptr, placement, L"Bench", L"")) return 1;
  HWND hwnd = window.GetHwnd();
  RECT frame = {0, 0, kColumns, 240};
  ::AdjustWindowRectEx(&frame, ::GetWindowLongW(hwnd, GWL_STYLE), FALSE,
                       ::GetWindowLongW(hwnd, GWL_EXSTYLE));
  ::SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER);
  window.Show(true);
  window.SetSound(sound.data(), kSamples, false);
  ::UpdateWindow(hwnd);
  std::printf("window %d columns, %u samples (%.1f per column)\n", window.Viewport().Width(),
              kSamples, window.Viewport().SamplesPerColumn());

  // As playback goes: one report every 20 ms of sound, 195 samples, which at
  // this zoom moves the line to the next column three times out of four.
  double update = MillisecondsEach([&](int i) {
    host.position = static_cast<uint32_t>(i) * 195 % kSamples;
    window.Refresh();
    ::UpdateWindow(hwnd);
  });
  std::printf("play position update: %.3f ms (target at most 0.3 ms)\n", update);
  // Every update moving the line: a column and a half each time.
  double moved = MillisecondsEach([&](int i) {
    host.position = static_cast<uint32_t>(i) * 393 % kSamples;
    window.Refresh();
    ::UpdateWindow(hwnd);
  });
  std::printf("play position update that moves the line: %.3f ms\n", moved);

  double whole = MillisecondsEach([&](int) {
    ::InvalidateRect(hwnd, nullptr, FALSE);
    ::UpdateWindow(hwnd);
  });
  std::printf("whole window from the picture: %.3f ms\n", whole);

  double redraw = MillisecondsEach([&](int i) {
    host.rangeStart = 1000;
    host.rangeEnd = 2000 + static_cast<uint32_t>(i);
    window.Refresh();
    ::UpdateWindow(hwnd);
  });
  std::printf("picture drawn again (a range change): %.3f ms\n", redraw);
  return 0;
}
