// The import of tones at every source rate and the levelling of loudness,
// measured: for each rate from 8 to 384 kHz the level of a half-scale 440 Hz
// tone after import, and of the strongest other component (an alias or an
// error of the interpolation), in both conversions; then the loudness spread
// of four announcements whose peaks lie 24 dB apart, before and after
// levelling to the default target. Prints two tables.
// Usage: import_levels_benchmark FOLDER   (writes its tones there and reads
// speech_1.flac ... speech_25.flac, made by tests/data/make_import_sounds.sh)
// Build and run with bench/run_import_levels_benchmark.sh.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "model/geometry.h"
#include "audio/audio_source.h"
#include "audio/loudness.h"

namespace {

const double kPi = 3.14159265358979323846;

void Put(std::vector<unsigned char>& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// 2 s of a half-scale 440 Hz sine, 16-bit mono PCM at `rate`.
bool WriteTone(const std::string& path, uint32_t rate) {
  const uint32_t count = rate * 2;
  std::vector<unsigned char> bytes = {'R', 'I', 'F', 'F'};
  Put(bytes, 36 + count * 2, 4);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0});
  Put(bytes, rate, 4);
  Put(bytes, rate * 2, 4);
  Put(bytes, 2, 2);
  Put(bytes, 16, 2);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  Put(bytes, count * 2, 4);
  for (uint32_t i = 0; i < count; ++i) {
    const double value = 16384 * std::sin(2 * kPi * 440.0 * i / rate);
    Put(bytes, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value))), 2);
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::vector<int8_t> Import(const std::string& path, BConversion conversion) {
  BAudioSource source;
  source.SetConversion(conversion);
  if (!source.Open(path) || !source.Convert(kSirenRate, 100000)) {
    std::printf("%s: %s\n", path.c_str(), source.GetErrorText().c_str());
    return {};
  }
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  return std::vector<int8_t>(data, data + length);
}

void Fft(std::vector<std::complex<double>>& x) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * kPi / length);
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> w = 1.0;
      for (size_t k = 0; k < length / 2; ++k, w *= step) {
        const std::complex<double> a = x[i + k], b = x[i + k + length / 2] * w;
        x[i + k] = a + b;
        x[i + k + length / 2] = a - b;
      }
    }
  }
}

// The tone's level and that of the strongest other component, in dB of
// full scale (128), over 8192 samples from the middle with a 4-term
// Blackman-Harris window (side lobes 92 dB down, so that the tone's own
// skirt does not pass for another component).
struct Levels {
  double tone = -200.0;
  double other = -200.0;
  double otherHz = 0.0;
};

Levels Measure(const std::vector<int8_t>& sound) {
  constexpr size_t kSize = 8192;
  Levels levels;
  if (sound.size() < kSize) return levels;
  const size_t from = (sound.size() - kSize) / 2;
  std::vector<std::complex<double>> x(kSize);
  double windowSum = 0.0;
  for (size_t i = 0; i < kSize; ++i) {
    const double phase = 2 * kPi * i / kSize;
    const double w = 0.35875 - 0.48829 * std::cos(phase) + 0.14128 * std::cos(2 * phase) -
                     0.01168 * std::cos(3 * phase);
    windowSum += w;
    x[i] = w * sound[from + i];
  }
  Fft(x);
  const double toneBin = 440.0 * kSize / kSirenRate;
  for (size_t bin = 4; bin < kSize / 2; ++bin) {
    const double decibels = 20 * std::log10(std::max(2 * std::abs(x[bin]) / windowSum, 1e-9) / 128);
    if (std::fabs(bin - toneBin) < 8) {
      levels.tone = std::max(levels.tone, decibels);
    } else if (decibels > levels.other) {
      levels.other = decibels;
      levels.otherHz = bin * static_cast<double>(kSirenRate) / kSize;
    }
  }
  return levels;
}

int Peak(const std::vector<int8_t>& sound) {
  return PeakOf(sound.data() + sound.size() / 10, sound.size() - sound.size() / 5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: import_levels_benchmark FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::printf("Half-scale 440 Hz tone (-6.0 dBFS, peak 64) after import\n");
  std::printf("%8s | %5s %8s %8s %7s | %5s %8s %8s %7s\n", "rate, Hz", "peak", "tone, dB",
              "other,dB", "at, Hz", "peak", "tone, dB", "other,dB", "at, Hz");
  std::printf("%8s | %31s | %31s\n", "", "standard conversion", "high-quality conversion");
  const uint32_t rates[] = {8000,   11025,  16000,  22050,  32000,  44100, 48000,
                            56000,  60000,  64000,  70000,  80000,  88200, 96000,
                            128000, 176400, 192000, 256000, 352800, 384000};
  for (uint32_t rate : rates) {
    const std::string path = folder + "\\tone_" + std::to_string(rate) + ".wav";
    if (!WriteTone(path, rate)) {
      std::printf("cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%8u", rate);
    for (BConversion conversion : {BConversion::Standard, BConversion::HighQuality}) {
      const std::vector<int8_t> sound = Import(path, conversion);
      const Levels levels = Measure(sound);
      std::printf(" | %5d %8.1f %8.1f %7.0f", sound.empty() ? 0 : Peak(sound), levels.tone,
                  levels.other, levels.otherHz);
    }
    std::printf("\n");
  }

  std::printf("\nFour announcements, peaks 24 dB apart, levelled (high-quality import)\n");
  std::vector<std::vector<int8_t>> speech;
  std::vector<BFragmentLoudness> loudness;
  for (int level : {1, 9, 17, 25}) {
    speech.push_back(
        Import(folder + "\\speech_" + std::to_string(level) + ".flac", BConversion::HighQuality));
    loudness.push_back(MeasureFragment(speech.back().data(), speech.back().size(), kSirenRate));
    if (!loudness.back().measured) {
      std::printf("speech_%d.flac cannot be measured\n", level);
      return 1;
    }
  }
  double target = 0.0;
  DefaultLoudnessTarget(loudness, std::vector<bool>(4, true), target);
  double lowBefore = 0.0, highBefore = -200.0, lowAfter = 0.0, highAfter = -200.0;
  int clipped = 0;
  for (size_t i = 0; i < speech.size(); ++i) {
    const std::vector<int8_t> levelled =
        LevelToLoudness(speech[i].data(), speech[i].size(), kSirenRate, target);
    double after = 0.0;
    MeasureLoudness(levelled.data(), levelled.size(), kSirenRate, after);
    clipped += static_cast<int>(std::count_if(levelled.begin(), levelled.end(),
                                              [](int8_t v) { return v == 127 || v == -128; }));
    std::printf("  speech %zu: %6.1f LUFS (peak %3d) -> %6.1f LUFS (peak %3d)\n", i,
                loudness[i].lufs, loudness[i].peak, after,
                PeakOf(levelled.data(), levelled.size()));
    lowBefore = std::min(lowBefore, loudness[i].lufs);
    highBefore = std::max(highBefore, loudness[i].lufs);
    lowAfter = std::min(lowAfter, after);
    highAfter = std::max(highAfter, after);
  }
  std::printf("target %.1f LUFS; spread before %.1f LU, after %.2f LU; samples at 127/-128: %d\n",
              target, highBefore - lowBefore, highAfter - lowAfter, clipped);
  return 0;
}
