// The two conversions of imported sound, measured: the standard one and the
// high-quality one, each on signals this program makes itself and imports
// through the program's own readers (WAVE through the system, MP3 through
// LAME's decoder) as the import does. Prints one table.
// Usage: conversion_benchmark FOLDER   (writes its sound files there)
// Build and run with bench/run_conversion_benchmark.sh.
#include <windows.h>

#include <lame.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "model/geometry.h"
#include "audio/audio_source.h"
#include "audio/triangular_dither.h"

namespace {

const double kPi = 3.14159265358979323846;

// 16-bit PCM, channels interleaved.
struct Sound {
  uint32_t rate = 44100;
  uint16_t channels = 1;
  std::vector<int16_t> samples;
};

double DecibelsToScale(double decibels) { return std::pow(10.0, decibels / 20.0); }

// `seconds` of a tone at `level` dBFS, with `silence` seconds before it.
Sound Tone(uint32_t rate, double frequency, double level, double seconds, double silence = 0.0) {
  Sound sound;
  sound.rate = rate;
  const size_t quiet = static_cast<size_t>(silence * rate);
  const size_t count = quiet + static_cast<size_t>(std::llround(seconds * rate));
  sound.samples.assign(count, 0);
  for (size_t i = quiet; i < count; ++i) {
    const double t = static_cast<double>(i - quiet) / rate;
    sound.samples[i] = static_cast<int16_t>(
        std::lround(32767 * DecibelsToScale(level) * std::sin(2 * kPi * frequency * t)));
  }
  return sound;
}

// A voice-like stereo mix: two gliding tones, a steady one and noise.
Sound VoiceMix(double seconds) {
  Sound sound;
  sound.channels = 2;
  const size_t frames = static_cast<size_t>(seconds * sound.rate);
  uint32_t noise = 1;
  double phase = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sound.rate;
    phase += 2 * kPi * (300 + 600 * (0.5 + 0.5 * std::sin(2 * kPi * 0.7 * t))) / sound.rate;
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
    const double left = 0.35 * std::sin(phase) + 0.2 * std::sin(2 * kPi * 440 * t) + hiss;
    const double right = 0.35 * std::sin(phase * 1.5) + 0.2 * std::sin(2 * kPi * 440 * t) - hiss;
    sound.samples.push_back(static_cast<int16_t>(std::lround(32767 * left)));
    sound.samples.push_back(static_cast<int16_t>(std::lround(32767 * right)));
  }
  return sound;
}

void Put(std::vector<unsigned char>& bytes, uint32_t value, int size) {
  for (int b = 0; b < size; ++b) bytes.push_back(static_cast<unsigned char>(value >> (8 * b)));
}

bool SaveBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WriteWave(const std::string& path, const Sound& sound) {
  const uint32_t size = static_cast<uint32_t>(sound.samples.size() * 2);
  std::vector<unsigned char> bytes = {'R', 'I', 'F', 'F'};
  Put(bytes, 36 + size, 4);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
  Put(bytes, sound.channels, 2);
  Put(bytes, sound.rate, 4);
  Put(bytes, sound.rate * sound.channels * 2, 4);
  Put(bytes, sound.channels * 2u, 2);
  Put(bytes, 16, 2);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  Put(bytes, size, 4);
  for (int16_t sample : sound.samples) Put(bytes, static_cast<uint16_t>(sample), 2);
  return SaveBytes(path, bytes);
}

// Encoded with LAME's defaults at the sound's own rate; `tagged`: with the
// information tag (Xing/Info and LAME's extension) in the first frame.
bool WriteMp3(const std::string& path, const Sound& sound, int kilobits, bool tagged) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, static_cast<int>(sound.rate));
  lame_set_out_samplerate(lame, static_cast<int>(sound.rate));
  lame_set_num_channels(lame, sound.channels);
  lame_set_mode(lame, sound.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame, kilobits);
  lame_set_bWriteVbrTag(lame, tagged ? 1 : 0);
  if (lame_init_params(lame) < 0) return false;
  const int frames = static_cast<int>(sound.samples.size() / sound.channels);
  std::vector<unsigned char> bytes(frames * 5 / 4 + 7200 + 8192);
  std::vector<short> pcm(sound.samples.begin(), sound.samples.end());
  int size = sound.channels == 2
                 ? lame_encode_buffer_interleaved(lame, pcm.data(), frames, bytes.data(),
                                                  static_cast<int>(bytes.size()))
                 : lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, bytes.data(),
                                      static_cast<int>(bytes.size()));
  if (size >= 0)
    size += lame_encode_flush(lame, bytes.data() + size, static_cast<int>(bytes.size()) - size);
  // The tag is known at the end; it takes the place the encoder kept for it.
  if (size >= 0 && tagged) lame_get_lametag_frame(lame, bytes.data(), bytes.size());
  lame_close(lame);
  if (size < 0) return false;
  bytes.resize(static_cast<size_t>(size));
  return SaveBytes(path, bytes);
}

double NowMs() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

// The siren bytes of a file imported by `conversion`; `milliseconds`: the
// time of opening and converting it.
std::vector<int> Import(const std::string& path, BConversion conversion,
                        double* milliseconds = nullptr) {
  const double start = NowMs();
  BAudioSource source;
  source.SetConversion(conversion);
  std::vector<int> bytes;
  if (!source.Open(path) || !source.Convert(kSirenRate, 10000000)) {
    std::printf("%s: %s\n", path.c_str(), source.GetErrorText().c_str());
    return bytes;
  }
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  if (milliseconds) *milliseconds = NowMs() - start;
  for (uint32_t i = 0; i < length; ++i) bytes.push_back(static_cast<int8_t>(data[i]));
  return bytes;
}

// One second of the sound from its middle: whole cycles of every test tone.
std::vector<double> Middle(const std::vector<int>& bytes) {
  const size_t from = bytes.size() > kSirenRate ? (bytes.size() - kSirenRate) / 2 : 0;
  const size_t count = std::min<size_t>(kSirenRate, bytes.size() - from);
  return std::vector<double>(bytes.begin() + from, bytes.begin() + from + count);
}

// The sine of `frequency` in the samples: its amplitude and phase.
std::complex<double> Component(const std::vector<double>& x, double frequency) {
  const std::complex<double> step = std::polar(1.0, -2 * kPi * frequency / kSirenRate);
  std::complex<double> sum = 0.0, turn = 1.0;
  for (double v : x) {
    sum += v * turn;
    turn *= step;
  }
  return sum * (2.0 / x.size());
}

double Mean(const std::vector<double>& x) {
  double sum = 0.0;
  for (double v : x) sum += v;
  return x.empty() ? 0.0 : sum / x.size();
}

// The tone's power against everything else but the DC offset, in dB.
double Sinad(const std::vector<double>& x, double frequency) {
  const std::complex<double> tone = Component(x, frequency);
  const double mean = Mean(x);
  double error = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double fitted = std::real(tone * std::polar(1.0, 2 * kPi * frequency * i / kSirenRate));
    error += (x[i] - mean - fitted) * (x[i] - mean - fitted);
  }
  return 10 * std::log10(std::norm(tone) / 2 / (error / x.size()));
}

// Power between two frequencies (whole hertz, one second of samples), from
// the samples' spectrum.
double BandPower(const std::vector<double>& x, double low, double high) {
  double power = 0.0;
  for (double f = std::max(1.0, low); f <= high; f += 1.0) power += std::norm(Component(x, f)) / 2;
  return power;
}

double Power(const std::vector<double>& x) {
  double sum = 0.0;
  for (double v : x) sum += v * v;
  return x.empty() ? 0.0 : sum / x.size();
}

int FirstAbove(const std::vector<int>& bytes, int threshold) {
  for (size_t i = 0; i < bytes.size(); ++i)
    if (std::abs(bytes[i]) >= threshold) return static_cast<int>(i);
  return -1;
}

void Row(const char* what, const std::string& standard, const std::string& high,
         const char* target) {
  std::printf("| %-44s | %-20s | %-20s | %-14s |\n", what, standard.c_str(), high.c_str(), target);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

struct Figures {
  std::string alias, sinad, mean, endStep, tone96k, mp3Tagged, mp3Untagged, mp3Stereo, wave, mp3;
};

Figures Measure(const std::string& folder, BConversion conversion) {
  Figures figures;
  auto path = [&folder](const char* name) { return folder + "\\" + name; };
  // The alias of 7 kHz (2765 Hz at 9765 Hz) against a 1 kHz tone of the same level.
  const double reference = std::abs(Component(Middle(Import(path("1k-6.wav"), conversion)), 1000));
  const double alias = std::abs(Component(Middle(Import(path("7k-6.wav"), conversion)), 2765));
  figures.alias = Format("%.1f dB", 20 * std::log10(alias / reference));

  const std::vector<double> quiet = Middle(Import(path("1k-20.wav"), conversion));
  figures.sinad = Format("%.1f dB", Sinad(quiet, 1000));
  figures.mean = Format("%+.3f", Mean(quiet));

  // Tones that end on a zero crossing, at many rates: the worst last step
  // against the steepest step of the tone itself at the siren's rate.
  int worstLast = 0;
  for (uint32_t rate : {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u, 88200u, 96000u}) {
    const std::vector<int> bytes =
        Import(path(("end" + std::to_string(rate) + ".wav").c_str()), conversion);
    if (bytes.size() >= 2)
      worstLast = std::max(worstLast, std::abs(bytes.back() - bytes[bytes.size() - 2]));
  }
  const double ownStep = 2 * 128 * DecibelsToScale(-6) * std::sin(kPi * 1000 / kSirenRate);
  figures.endStep = std::to_string(worstLast) + Format(" (tone's own %.0f)", ownStep);

  const std::vector<double> tone = Middle(Import(path("440-96k.wav"), conversion));
  int clipped = 0;
  for (double v : tone) clipped += v <= -128 || v >= 127;
  figures.tone96k = Format("%.1f dB, ", 20 * std::log10(std::abs(Component(tone, 440)) / 64)) +
                    std::to_string(clipped) + " clipped";

  // The start of a tone after 200 ms of silence: MP3 against WAVE.
  auto delay = [&](const char* mp3, const char* wave) {
    const int wanted = FirstAbove(Import(path(wave), conversion), 32);
    return Format("%+.1f ms",
                  (FirstAbove(Import(path(mp3), conversion), 32) - wanted) * 1000.0 / kSirenRate);
  };
  figures.mp3Tagged = delay("voice8k.mp3", "voice8k.wav");
  figures.mp3Untagged = delay("voice8k-untagged.mp3", "voice8k.wav");
  figures.mp3Stereo = delay("voice44k.mp3", "voice44k.wav");

  // The whole memory's worth: best of three.
  auto best = [&](const char* name) {
    double fastest = 1e9;
    for (int run = 0; run < 3; ++run) {
      double milliseconds = 0.0;
      Import(path(name), conversion, &milliseconds);
      fastest = std::min(fastest, milliseconds);
    }
    return Format("%.0f ms", fastest);
  };
  figures.wave = best("clip.wav");
  figures.mp3 = best("clip.mp3");
  return figures;
}

// Noise shaping weighed against plain triangular dither: the error of
// rounding a quiet 1 kHz tone at 9765 Hz, in the voice band (300-3400 Hz)
// and over the whole band, with the error fed back through 1 - E(z).
void WeighNoiseShaping() {
  struct Shaper {
    const char* name;
    std::vector<double> feedback;  // e(n-1), e(n-2), ...
  };
  const double c1 = 2 * std::cos(2 * kPi * 1000 / kSirenRate);
  const double c2 = 2 * std::cos(2 * kPi * 2600 / kSirenRate);
  const Shaper shapers[] = {
      {"none (plain TPDF)", {}},
      {"first order, 1 - z^-1", {1.0}},
      {"zeros at 1.0 and 2.6 kHz", {c1 + c2, -(2 + c1 * c2), c1 + c2, -1.0}},
  };
  double plainVoice = 0.0, plainWhole = 0.0;
  std::printf(
      "\nNoise shaping (error of rounding a 1 kHz tone at -20 dBFS, against plain TPDF):\n");
  for (const Shaper& shaper : shapers) {
    BTriangularDither dither;
    std::vector<double> errors(shaper.feedback.size(), 0.0), error;
    for (uint32_t i = 0; i < 2 * kSirenRate; ++i) {
      const double wanted = 12.8 * std::sin(2 * kPi * 1000 * i / kSirenRate) + 0.3;
      double shaped = wanted;
      for (size_t k = 0; k < errors.size(); ++k) shaped -= shaper.feedback[k] * errors[k];
      const int value = dither.Round(shaped);
      if (!errors.empty()) {
        errors.insert(errors.begin(), value - shaped);
        errors.pop_back();
      }
      if (i >= kSirenRate / 2 && error.size() < kSirenRate) error.push_back(value - wanted);
    }
    const double voice = BandPower(error, 300, 3400), whole = Power(error);
    if (shaper.feedback.empty()) plainVoice = voice, plainWhole = whole;
    std::printf("  %-26s voice band %+5.1f dB, whole band %+5.1f dB\n", shaper.name,
                10 * std::log10(voice / plainVoice), 10 * std::log10(whole / plainWhole));
  }
}

bool MakeSignals(const std::string& folder) {
  auto path = [&folder](const std::string& name) { return folder + "\\" + name; };
  bool ok = WriteWave(path("1k-6.wav"), Tone(44100, 1000, -6, 2)) &&
            WriteWave(path("7k-6.wav"), Tone(44100, 7000, -6, 2)) &&
            WriteWave(path("1k-20.wav"), Tone(44100, 1000, -20, 2)) &&
            WriteWave(path("440-96k.wav"), Tone(96000, 440, -6, 2));
  // Half a second and one sample: the tone ends on a zero crossing.
  for (uint32_t rate : {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u, 88200u, 96000u}) {
    Sound end = Tone(rate, 1000, -6, 0.5);
    end.samples.push_back(0);
    ok = ok && WriteWave(path("end" + std::to_string(rate) + ".wav"), end);
  }
  const Sound voice8k = Tone(8000, 1000, -6, 0.8, 0.2);
  Sound voice44k = Tone(44100, 1000, -6, 0.8, 0.2);
  voice44k.channels = 2;
  std::vector<int16_t> stereo;
  for (int16_t sample : voice44k.samples) stereo.insert(stereo.end(), {sample, sample});
  voice44k.samples = stereo;
  const Sound clip = VoiceMix(26.8);
  return ok && WriteWave(path("voice8k.wav"), voice8k) &&
         WriteMp3(path("voice8k.mp3"), voice8k, 32, true) &&
         WriteMp3(path("voice8k-untagged.mp3"), voice8k, 32, false) &&
         WriteWave(path("voice44k.wav"), voice44k) &&
         WriteMp3(path("voice44k.mp3"), voice44k, 128, true) && WriteWave(path("clip.wav"), clip) &&
         WriteMp3(path("clip.mp3"), clip, 128, true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: conversion_benchmark FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  if (!MakeSignals(folder)) {
    std::printf("cannot write the test signals into %s\n", folder.c_str());
    return 1;
  }
  const Figures standard = Measure(folder, BConversion::Standard);
  const Figures high = Measure(folder, BConversion::HighQuality);
  Row("measure", "standard", "high quality", "target (high)");
  Row("---", "---", "---", "---");
  Row("7 kHz at -6 dBFS, its alias at 2765 Hz", standard.alias, high.alias, "<= -55 dB");
  Row("SINAD, 1 kHz at -20 dBFS", standard.sinad, high.sinad, "");
  Row("mean (DC) of the bytes, 1 kHz at -20 dBFS", standard.mean, high.mean, "|mean| <= 0.05");
  Row("last byte's step, tones ending at 0 (worst)", standard.endStep, high.endStep,
      "<= own steps");
  Row("440 Hz at 96 kHz, -6 dBFS: level, clipped", standard.tone96k, high.tone96k, "");
  Row("MP3 start, 8 kHz mono, tagged", standard.mp3Tagged, high.mp3Tagged, "within 5 ms");
  Row("MP3 start, 8 kHz mono, without tag", standard.mp3Untagged, high.mp3Untagged, "");
  Row("MP3 start, 44.1 kHz stereo, tagged", standard.mp3Stereo, high.mp3Stereo, "within 5 ms");
  Row("26.8 s of 44.1 kHz stereo WAVE", standard.wave, high.wave, "<= 1000 ms");
  Row("26.8 s of 44.1 kHz stereo MP3, 128 kbit/s", standard.mp3, high.mp3, "<= 1000 ms");
  WeighNoiseShaping();
  return 0;
}
