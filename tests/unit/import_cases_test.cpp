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

#include "model/geometry.h"
#include "audio/audio_source.h"
#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/text.h"

namespace {

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

int CountClipped(const std::vector<int8_t>& sound) {
  return static_cast<int>(
      std::count_if(sound.begin(), sound.end(), [](int8_t v) { return v == 127 || v == -128; }));
}

// Five of six channels in phase at 0.9 of full scale: Opus, with the usual
// channel mapping and with mapping 255, imports unclipped at the level of
// the same sound as FLAC (the mean of the channels, 0.75 of full scale).
TEST(ImportCases, SurroundOpusImportsAtTheLevelOfFlac) {
  const Imported flac = Import("six.flac", BConversion::Standard);
  ASSERT_TRUE(flac.converted) << flac.error;
  const Level reference = SteadyLevel(flac.siren);
  EXPECT_NEAR(96 / std::sqrt(2.0), reference.rms, 2.0);
  for (BConversion conversion : {BConversion::Standard, BConversion::HighQuality}) {
    for (const char* name : {"six.opus", "six255.opus"}) {
      SCOPED_TRACE(name);
      const Imported opus = Import(name, conversion);
      ASSERT_TRUE(opus.converted) << opus.error;
      EXPECT_EQ(0, CountClipped(opus.siren));
      EXPECT_NEAR(reference.rms, SteadyLevel(opus.siren).rms, 2.0);
      EXPECT_NEAR(1000, opus.milliseconds, 30);
    }
  }
}

// Ogg files whose first stream is not the sound: Vorbis behind a Skeleton
// stream, and a Theora video with its Vorbis sound.
TEST(ImportCases, OggSoundBehindOtherStreamsIsFound) {
  const struct {
    const char* name;
    int32_t milliseconds;
  } files[] = {{"skeleton.ogg", 5000}, {"video.ogg", 2000}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const Imported sound = Import(file.name, BConversion::HighQuality);
    ASSERT_TRUE(sound.converted) << sound.error;
    EXPECT_NEAR(file.milliseconds, sound.milliseconds, 30);
    EXPECT_NEAR(file.milliseconds * 9.765, static_cast<double>(sound.siren.size()), 300);
    EXPECT_NEAR(64 / std::sqrt(2.0), SteadyLevel(sound.siren).rms, 3.0);
  }
}

// Ogg Vorbis files joined end to end keep every part, also when the parts
// differ in rate and channels: 1 s of 440 Hz, then 5 s of 660 Hz.
TEST(ImportCases, ChainedOggKeepsEveryPart) {
  for (const char* name : {"chained.ogg", "chained_mixed.ogg"}) {
    for (BConversion conversion : {BConversion::Standard, BConversion::HighQuality}) {
      SCOPED_TRACE(name);
      const Imported sound = Import(name, conversion);
      ASSERT_TRUE(sound.converted) << sound.error;
      EXPECT_NEAR(6000, sound.milliseconds, 30);
      ASSERT_NEAR(6 * 9765.0, static_cast<double>(sound.siren.size()), 300);
      const std::vector<int8_t> first(sound.siren.begin() + 1000, sound.siren.begin() + 8500);
      const std::vector<int8_t> second(sound.siren.begin() + 12000, sound.siren.end() - 2000);
      EXPECT_GT(Amplitude(first, 440), 55.0);
      EXPECT_GT(Amplitude(second, 660), 55.0);
    }
  }
}

// Two hours of FLAC whose header states no length open at once, with the
// length estimated from the file's size, and convert from the start.
TEST(ImportCases, ALongFlacWithoutItsLengthOpensAtOnce) {
  BAudioSource source;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(source.Open(ImportSound("long.flac"))) << source.GetErrorText();
  const int32_t milliseconds = source.GetLength();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("long.flac: opened in %.3f s, length %d ms\n", seconds, milliseconds);
  EXPECT_LT(seconds, 1.0);
  EXPECT_NEAR(7200000, milliseconds, 72000);
  ASSERT_TRUE(source.Convert(kSirenRate, 1000)) << source.GetErrorText();
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  EXPECT_NEAR(32.0, SteadyLevel(std::vector<int8_t>(data, data + length)).peak, 2.0);
}

// The words of files without sound: an empty file is empty, a FLAC file
// whose every frame is damaged is a damaged FLAC file.
TEST(ImportCases, FilesWithoutSoundAreRefusedInPlainWords) {
  const Imported empty = Import("empty.mp3", BConversion::HighQuality);
  EXPECT_FALSE(empty.opened);
  EXPECT_EQ(FormatUtf8Text(BText(IDS_FILE_EMPTY)), empty.error);
  const Imported damaged = Import("damaged.flac", BConversion::HighQuality);
  EXPECT_FALSE(damaged.converted);
  EXPECT_EQ(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Flac), damaged.error);
}

// A voice-rate MP3 has no room for its delay tag: the high-quality
// conversion still removes the encoder's delay where it is silent, so the
// tone after 200 ms of silence starts at 200 ms.
TEST(ImportCases, AVoiceMp3WithoutItsDelayTagStartsOnTime) {
  const Imported voice = Import("voice8k.mp3", BConversion::HighQuality);
  ASSERT_TRUE(voice.converted) << voice.error;
  const auto loud = std::find_if(voice.siren.begin(), voice.siren.end(),
                                 [](int8_t v) { return std::abs(v) >= 32; });
  EXPECT_NEAR(0.2 * kSirenRate, static_cast<double>(loud - voice.siren.begin()), 0.01 * kSirenRate);
}
