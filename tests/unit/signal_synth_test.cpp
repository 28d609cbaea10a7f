// The signals the program makes, one kind per test, measured as a listener
// would: the frequency at chosen instants from the zero crossings, the level
// from the peaks, the length, and a phase that never jumps where the
// frequency changes.
#include "audio/signal_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double kRate = 9765.0;

std::vector<int> Make(BSignalKind kind, double f1, double f2, double period, double duration,
                      double level = 90) {
  std::vector<uint8_t> bytes = BSignalSynth({kind, f1, f2, period, duration, level}).Synthesize();
  const int8_t* samples = reinterpret_cast<const int8_t*>(bytes.data());
  return std::vector<int>(samples, samples + bytes.size());
}

// Whole cycles between the first and the last rising zero crossing (each
// interpolated between its two samples) within 10 ms of each instant t.
void ExpectFrequencies(const std::vector<int>& s, std::vector<std::pair<double, double>> expected) {
  for (const auto& [t, frequency] : expected) {
    std::vector<double> crossings;
    for (size_t n = std::max(1.0, (t - 0.01) * kRate); n <= (t + 0.01) * kRate; ++n)
      if (s[n - 1] < 0 && s[n] >= 0)
        crossings.push_back(n - 1 - s[n - 1] / double(s[n] - s[n - 1]));
    ASSERT_GE(crossings.size(), 2u) << "at " << t << " s";
    double measured = (crossings.size() - 1) * kRate / (crossings.back() - crossings.front());
    EXPECT_NEAR(frequency, measured, frequency * 0.01) << "at " << t << " s";
  }
}

// A continuous phase moves a sample by at most the sine's slope at the
// highest frequency; a jump of phase would move it further.
void ExpectContinuousPhase(const std::vector<int>& s, double level, double highestFrequency) {
  double largestStep = level / 100 * 127 * 2 * M_PI * highestFrequency / kRate + 1;
  for (size_t n = 1; n < s.size(); ++n)
    ASSERT_LE(std::abs(s[n] - s[n - 1]), largestStep) << "at " << n;
}

TEST(SignalSynth, AToneKeepsItsFrequencyAndReachesItsLevel) {
  std::vector<int> tone = Make(BSignalKind::Tone, 440, 3000, 0.05, 1, 90);
  ASSERT_EQ(9765u, tone.size());
  EXPECT_EQ(0, tone[0]) << "the phase starts at 0";
  ExpectFrequencies(tone, {{0.1, 440}, {0.5, 440}, {0.9, 440}});
  EXPECT_EQ(114, *std::max_element(tone.begin(), tone.end())) << "round(0.9 * 127 * sin)";
  EXPECT_EQ(-114, *std::min_element(tone.begin(), tone.end()));
}

TEST(SignalSynth, TheWailRisesForHalfAPeriodAndFallsBack) {
  std::vector<int> wail = Make(BSignalKind::Wail, 600, 1200, 4, 8);
  ASSERT_EQ(78120u, wail.size()) << "round(8 * 9765)";
  ExpectFrequencies(wail, {{0.5, 750}, {1, 900}, {2, 1199}, {3, 900}, {3.5, 750}, {5, 900}});
  ExpectContinuousPhase(wail, 90, 1200);
}

TEST(SignalSynth, TheYelpRisesOverEachPeriodAndJumpsBack) {
  std::vector<int> yelp = Make(BSignalKind::Yelp, 500, 1500, 0.5, 1.5);
  ASSERT_EQ(14648u, yelp.size()) << "round(14647.5)";
  ExpectFrequencies(yelp, {{0.125, 750}, {0.375, 1250}, {0.625, 750}, {1.375, 1250}});
  ExpectContinuousPhase(yelp, 90, 1500);
}

// A period after which neither tone has made whole cycles.
TEST(SignalSynth, HiLoSwitchesBetweenItsTwoTonesWithoutAClick) {
  std::vector<int> hiLo = Make(BSignalKind::HiLo, 660, 880, 0.37, 3);
  ASSERT_EQ(29295u, hiLo.size());
  ExpectFrequencies(hiLo, {{0.09, 660}, {0.28, 880}, {1.2, 660}, {2.13, 880}});
  ExpectContinuousPhase(hiLo, 90, 880);
}

// The phase runs on through the silent halves: what sounds is exactly the
// steady tone of the same frequency.
TEST(SignalSynth, APulseIsSilentInTheSecondHalfOfEachPeriodWhileItsPhaseRunsOn) {
  std::vector<int> pulse = Make(BSignalKind::Pulse, 1000, 4000, 0.2, 1);
  std::vector<int> tone = Make(BSignalKind::Tone, 1000, 4000, 0.2, 1);
  ASSERT_EQ(9765u, pulse.size());
  for (size_t n = 0; n < pulse.size(); ++n)
    ASSERT_EQ(std::fmod(n / kRate, 0.2) >= 0.1 ? 0 : tone[n], pulse[n]) << "at " << n;
  ExpectFrequencies(pulse, {{0.05, 1000}, {0.85, 1000}});
}

TEST(SignalSynth, SilenceIsZerosOfTheRoundedLength) {
  EXPECT_EQ(std::vector<int>(4883, 0), Make(BSignalKind::Silence, 600, 1200, 4, 0.5))
      << "round(4882.5)";
  EXPECT_EQ(977u, BSignalSynth::SampleCount(0.1));
}

}  // namespace
