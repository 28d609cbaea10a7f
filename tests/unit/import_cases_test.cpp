// The import of the files people bring, beyond the plain cases: tones at
// every rate from 8 to 384 kHz in both conversions, stereo whose channels
// cancel, surround Opus, Ogg files with other streams, chained Ogg, a long
// FLAC without a stated length, and the texts of files without sound. The
// files are made at build time by sox, flac, lame, oggenc, opusenc and ffmpeg
// (tests/data/make_import_sounds.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/audio_source.h"
#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/text.h"

namespace {

constexpr uint32_t kSirenRate = 9765;
constexpr double kPi = 3.14159265358979323846;

std::string ImportSound(const std::string& name) {
  return std::string(SIRELTA_TEST_IMPORT_DIR) + "/" + name;
}

struct Imported {
  bool opened = false;
  bool converted = false;
  int32_t milliseconds = -1;
  std::vector<int8_t> siren;
  std::string error;
  std::vector<BText> notes;
};

Imported Import(const std::string& name, BConversion conversion) {
  Imported result;
  BAudioSource source;
  source.SetConversion(conversion);
  result.opened = source.Open(ImportSound(name));
  if (!result.opened) {
    result.error = source.GetErrorText();
    return result;
  }
  result.milliseconds = source.GetLength();
  result.converted = source.Convert(kSirenRate, 600000);
  if (!result.converted) result.error = source.GetErrorText();
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  result.siren.assign(data, data + length);
  result.notes = source.GetNotes();
  return result;
}

// The level of a steady sound, away from its ends (a tenth on each side).
struct Level {
  int peak = 0;
  double rms = 0.0;
};

Level SteadyLevel(const std::vector<int8_t>& sound) {
  Level level;
  const std::size_t margin = sound.size() / 10;
  double sum = 0.0;
  for (std::size_t i = margin; i + margin < sound.size(); ++i) {
    level.peak = std::max(level.peak, std::abs(static_cast<int>(sound[i])));
    sum += static_cast<double>(sound[i]) * sound[i];
  }
  if (sound.size() > 2 * margin) level.rms = std::sqrt(sum / (sound.size() - 2 * margin));
  return level;
}

// The amplitude of the sound's component at `frequency` (Hz at the siren's rate).
double Amplitude(const std::vector<int8_t>& sound, double frequency) {
  const std::size_t margin = sound.size() / 10;
  double re = 0.0, im = 0.0;
  std::size_t n = 0;
  for (std::size_t i = margin; i + margin < sound.size(); ++i, ++n) {
    const double phase = 2 * kPi * frequency * static_cast<double>(i) / kSirenRate;
    re += sound[i] * std::cos(phase);
    im += sound[i] * std::sin(phase);
  }
  return n == 0 ? 0.0 : 2.0 * std::hypot(re, im) / static_cast<double>(n);
}

}  // namespace

// A half-scale 440 Hz tone keeps its level within ±2 (peak 64, RMS 45.3) at
// every rate from 8 to 384 kHz in both conversions, and lasts as long as the file.
TEST(ImportCases, AToneKeepsItsLevelAtEveryRate) {
  const uint32_t rates[] = {8000,  11025, 16000,  22050,  32000,  44100,  48000,  50000, 56000,
                            58000, 60000, 62000,  64000,  68000,  70000,  75000,  80000, 87000,
                            88200, 96000, 128000, 176400, 192000, 256000, 352800, 384000};
  for (BConversion conversion : {BConversion::Standard, BConversion::HighQuality}) {
    for (uint32_t rate : rates) {
      const std::string name = "tone_" + std::to_string(rate) + ".flac";
      SCOPED_TRACE(name + (conversion == BConversion::Standard ? " standard" : " high quality"));
      const Imported tone = Import(name, conversion);
      ASSERT_TRUE(tone.converted) << tone.error;
      EXPECT_NEAR(kSirenRate / 2.0, static_cast<double>(tone.siren.size()), 3.0);
      const Level level = SteadyLevel(tone.siren);
      EXPECT_NEAR(64, level.peak, 2);
      EXPECT_NEAR(64 / std::sqrt(2.0), level.rms, 2.0);
      EXPECT_NEAR(64, Amplitude(tone.siren, 440), 2.0);
    }
  }
}

// A 7 kHz tone, which the siren's rate cannot hold, comes back at 2765 Hz at
// nearly its full level from the standard conversion, and at least 55 dB down
// from the high-quality one.
TEST(ImportCases, TheHighQualityConversionRemovesAliases) {
  const Imported standard = Import("tone7k.flac", BConversion::Standard);
  const Imported high = Import("tone7k.flac", BConversion::HighQuality);
  ASSERT_TRUE(standard.converted && high.converted) << standard.error << high.error;
  const double alias = kSirenRate * 1.0 - 7000;
  EXPECT_GT(Amplitude(standard.siren, alias), 32.0);
  EXPECT_LT(20 * std::log10(std::max(Amplitude(high.siren, alias), 1e-9) / 64), -55.0);
}

bool HasNote(const Imported& imported, int id) {
  return std::any_of(imported.notes.begin(), imported.notes.end(),
                     [id](const BText& note) { return note.id == id; });
}

// Stereo whose right channel is the left one inverted would mix to silence:
// the louder channel is taken alone, and the notes say so. A sound within
// one step of silence is imported with a warning; an ordinary one without notes.
TEST(ImportCases, ChannelsThatCancelGiveTheLouderChannel) {
  for (BConversion conversion : {BConversion::Standard, BConversion::HighQuality}) {
    for (const char* name : {"cancel.flac", "cancel.mp3"}) {
      SCOPED_TRACE(name);
      const Imported sound = Import(name, conversion);
      ASSERT_TRUE(sound.converted) << sound.error;
      EXPECT_NEAR(64 / std::sqrt(2.0), SteadyLevel(sound.siren).rms, 3.0);
      EXPECT_TRUE(HasNote(sound, IDS_NOTE_CHANNELS_CANCEL));
      EXPECT_FALSE(HasNote(sound, IDS_NOTE_NEARLY_SILENT));
    }
    const Imported whisper = Import("whisper.flac", conversion);
    ASSERT_TRUE(whisper.converted) << whisper.error;
    EXPECT_TRUE(HasNote(whisper, IDS_NOTE_NEARLY_SILENT));
    const Imported tone = Import("tone_44100.flac", conversion);
    EXPECT_TRUE(tone.notes.empty());
  }
}
