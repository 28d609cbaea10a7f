// The levelling of fragments to one loudness: four spoken announcements 24 dB
// apart, imported, levelled to the default target, saved in a profile and
// measured again from the saved bytes by an independent tool (ffmpeg's
// ebur128 filter); and the limiter's promise on random sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "model/geometry.h"
#include "audio/audio_source.h"
#include "audio/loudness.h"
#include "audio/wave_writer.h"
#include "model/profile.h"
#include "test_files.h"

namespace {

std::vector<int8_t> ImportedSpeech(int level) {
  BAudioSource source;
  source.SetConversion(BConversion::HighQuality);
  const std::string path =
      std::string(SIRELTA_TEST_IMPORT_DIR) + "/speech_" + std::to_string(level) + ".flac";
  EXPECT_TRUE(source.Open(path)) << source.GetErrorText();
  EXPECT_TRUE(source.Convert(kSirenRate, 60000)) << source.GetErrorText();
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  return std::vector<int8_t>(data, data + length);
}

// The integrated loudness of a WAVE file by ffmpeg's ebur128 filter; NaN
// when ffmpeg gives none.
double FfmpegLoudness(const std::string& wave) {
  const std::string command = "ffmpeg -nostats -hide_banner -i '" + wave +
                              "' -af ebur128 -f null - 2>&1 | grep -A1 'Integrated loudness:' "
                              "| sed -n 's/.*I: *\\(-*[0-9.]*\\) LUFS.*/\\1/p'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nan("");
  char line[64] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  return got ? std::atof(line) : std::nan("");
}

size_t LongestClippedRun(const uint8_t* bytes, size_t count) {
  size_t longest = 0, run = 0;
  for (size_t i = 0; i < count; ++i) {
    const int8_t v = static_cast<int8_t>(bytes[i]);
    run = v == 127 || v == -128 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

// Four announcements whose peaks lie 24 dB apart, levelled to the loudest
// level each reaches with at most 6 dB of limiting: in the saved profile
// they measure within 1 LU of each other by ffmpeg, and nothing clips.
TEST(Loudness, FourAnnouncementsComeOutEquallyLoud) {
  TestFolder folder;
  BProfile profile;
  std::vector<double> before;
  double target = 1e9;
  std::vector<std::vector<int8_t>> sounds;
  for (int level : {1, 9, 17, 25}) {
    sounds.push_back(ImportedSpeech(level));
    double lufs = 0.0;
    ASSERT_TRUE(MeasureLoudness(sounds.back().data(), sounds.back().size(), kSirenRate, lufs));
    before.push_back(lufs);
    target = std::min(target,
                      ReachableLoudness(lufs, PeakOf(sounds.back().data(), sounds.back().size())));
  }
  const auto [quietest, loudest] = std::minmax_element(before.begin(), before.end());
  std::printf("before: %.1f to %.1f LUFS, target %.1f LUFS\n", *quietest, *loudest, target);
  EXPECT_NEAR(24.0, *loudest - *quietest, 3.0);

  uint32_t start = 0;
  for (size_t i = 0; i < sounds.size(); ++i) {
    const std::vector<int8_t> levelled =
        LevelToLoudness(sounds[i].data(), sounds[i].size(), kSirenRate, target);
    ASSERT_EQ(sounds[i].size(), levelled.size());
    BFragment fragment;
    fragment.name = "speech" + std::to_string(i);
    fragment.start = start;
    fragment.length = static_cast<uint32_t>(levelled.size());
    std::copy(levelled.begin(), levelled.end(), profile.Image() + start);
    ASSERT_TRUE(profile.SetFragment(static_cast<int>(i), fragment));
    start += fragment.length;
  }
  const std::string saved = folder.File("levelled.zpf");
  ASSERT_TRUE(profile.Save(saved));
  BProfile loaded;
  ASSERT_TRUE(loaded.Load(saved));
  std::vector<double> after;
  for (size_t i = 0; i < sounds.size(); ++i) {
    const BFragment& fragment = loaded.GetFragment(static_cast<int>(i));
    const uint8_t* bytes = loaded.Image() + fragment.start;
    EXPECT_LE(LongestClippedRun(bytes, fragment.length), 2u);
    const std::string wave = folder.File("speech" + std::to_string(i) + ".wav");
    unsigned long error = 0;
    ASSERT_TRUE(WriteSirenWave(wave, bytes, fragment.length, error));
    after.push_back(FfmpegLoudness(wave));
    ASSERT_FALSE(std::isnan(after.back()));
    std::printf("speech %zu: %.1f LUFS before, %.1f after (ffmpeg)\n", i, before[i], after.back());
  }
  const auto [low, high] = std::minmax_element(after.begin(), after.end());
  EXPECT_LE(*high - *low, 1.0);
  EXPECT_NEAR(target, (*high + *low) / 2, 1.5);
}

// Random bursts of random loudness amplified by up to 36 dB: every sample of
// the result stays within the ceiling, and where no sample within 10 ms
// needs limiting the result is exactly the amplified sample, rounded.
TEST(Loudness, TheLimiterKeepsEverySampleWithinTheCeilingAndTouchesNothingElse) {
  std::mt19937 random(29);
  for (int round = 0; round < 40; ++round) {
    std::vector<int8_t> sound(kSirenRate * 2);
    const double amplitude = std::uniform_real_distribution<double>(1, 127)(random);
    for (size_t i = 0; i < sound.size(); ++i) {
      const double burst = (i / 1500) % 2 == 0 ? 1.0 : 0.05;
      sound[i] = static_cast<int8_t>(
          std::clamp(std::round(std::normal_distribution<double>(0, amplitude * burst / 3)(random)),
                     -128.0, 127.0));
    }
    const double gainDb = std::uniform_real_distribution<double>(-6, 36)(random);
    const std::vector<int8_t> out = AmplifyAndLimit(sound.data(), sound.size(), kSirenRate, gainDb);
    const double gain = std::pow(10.0, gainDb / 20);
    const size_t half = kSirenRate / 100;
    for (size_t i = 0; i < sound.size(); ++i) {
      ASSERT_LE(std::abs(static_cast<int>(out[i])), kLimiterCeiling) << i;
      bool untouched = true;
      for (size_t k = i > 2 * half ? i - 2 * half : 0; k <= i + 2 * half && k < sound.size(); ++k)
        untouched = untouched && std::fabs(sound[k] * gain) <= kLimiterCeiling;
      if (untouched) {
        ASSERT_EQ(std::round(sound[i] * gain), out[i]) << i;
      }
    }
  }
}

// The dialog's target: typed with a comma or a point, within -70..0 LUFS;
// by default the loudest level every chosen, measured fragment reaches with
// at most 6 dB of limiting, rounded down to a tenth.
TEST(Loudness, TargetsAreTypedAndChosenAsTheDialogShowsThem) {
  double target = 0.0;
  EXPECT_TRUE(ParseLoudnessTarget(L" -16,5 ", target));
  EXPECT_EQ(-16.5, target);
  EXPECT_TRUE(ParseLoudnessTarget(L"-23.0", target));
  EXPECT_EQ(-23.0, target);
  for (const wchar_t* bad : {L"", L"громко", L"-71", L"3", L"-1-2", L"--5"})
    EXPECT_FALSE(ParseLoudnessTarget(bad, target)) << bad;
  EXPECT_EQ(L"-16,5", FormatLoudness(-16.5));

  // Reachable: -30 + 20 log10(126 / 63) + 6 = -17.98; -20 + 0 + 6 = -14.
  const std::vector<BFragmentLoudness> fragments = {
      {true, -30.0, 63}, {true, -20.0, 126}, {false, 0.0, 10}};
  EXPECT_TRUE(DefaultLoudnessTarget(fragments, {true, true, true}, target));
  EXPECT_EQ(-18.0, target);
  EXPECT_TRUE(DefaultLoudnessTarget(fragments, {false, true, true}, target));
  EXPECT_EQ(-14.0, target);
  EXPECT_FALSE(DefaultLoudnessTarget(fragments, {false, false, true}, target));
}
