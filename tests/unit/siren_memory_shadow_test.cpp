// What the program knows of the siren's memory: the differing plan bytes and
// the per-fragment report always agree with a plain byte-by-byte comparison,
// whatever was confirmed, changed in the profile or forgotten.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "link/plan_bytes.h"
#include "link/siren_memory_shadow.h"
#include "model/profile.h"

namespace {

// Plan bytes whose image byte the shadow does not hold, found the slow way.
std::vector<uint32_t> PlainDiffering(const BProfile& profile, const BSirenMemoryShadow& shadow,
                                     uint32_t total) {
  std::vector<uint32_t> differing;
  for (uint32_t k = 0; k < total; ++k) {
    uint32_t address = 0;
    EXPECT_TRUE(profile.TransferAddress(k, address));
    if (!shadow.Holds(address, profile.Image()[address])) differing.push_back(k);
  }
  return differing;
}

void PlaceFragment(BProfile& profile, uint32_t start, uint32_t length, std::mt19937& random) {
  std::vector<uint8_t> bytes(length);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  ASSERT_GE(profile.PlaceFragment("f", BMemRange{start, length}, bytes.data(), length), 0);
}

}  // namespace

TEST(SirenMemoryShadow, DifferencesMatchAPlainComparisonThroughConfirmsEditsAndForgetting) {
  std::mt19937 random(5);
  BProfile profile;
  profile.SetICCount(2);
  // Out of address order in the table, and one reaching past the siren's memory.
  PlaceFragment(profile, 0x3000, 700, random);
  PlaceFragment(profile, 0x0100, 300, random);
  PlaceFragment(profile, 2 * kChipSize - 100, 400, random);
  const uint32_t total = profile.BuildTransferPlan();
  ASSERT_EQ(700u + 300u + 100u, total);

  BSirenMemoryShadow shadow;
  EXPECT_EQ(total, shadow.DifferingPlanBytes(profile).size());  // nothing known yet
  for (int step = 0; step < 200; ++step) {
    uint32_t k = random() % total, address = 0;
    ASSERT_TRUE(profile.TransferAddress(k, address));
    switch (random() % 4) {
      case 0:  // a write or read confirmed the profile's byte
      case 1:
        shadow.Confirm(address, profile.Image()[address]);
        break;
      case 2:  // the siren holds something else (a read of another content)
        shadow.Confirm(address, static_cast<uint8_t>(profile.Image()[address] ^ 0x5A));
        break;
      case 3:  // the user edits the profile
        profile.Image()[address] = static_cast<uint8_t>(random());
        break;
    }
    if (step == 150) shadow.Forget();

    std::vector<uint32_t> expected = PlainDiffering(profile, shadow, total);
    ASSERT_EQ(expected, shadow.DifferingPlanBytes(profile)) << "step " << step;
    // Among a subset: exactly those of the subset that differ.
    std::vector<uint32_t> subset = {0, k, total - 1};
    std::vector<uint32_t> among = shadow.DifferingAmong(profile, subset);
    for (uint32_t s : subset) {
      bool differs = std::find(expected.begin(), expected.end(), s) != expected.end();
      EXPECT_EQ(differs, std::find(among.begin(), among.end(), s) != among.end());
    }
    // The report per fragment adds up and names the first address of each.
    uint32_t reported = 0;
    for (const BFragmentDifference& d : shadow.FragmentDifferences(profile)) {
      const BFragment& fragment = profile.GetFragment(d.fragment);
      ASSERT_GE(d.firstAddress, fragment.start);
      for (uint32_t a = fragment.start; a < d.firstAddress; ++a)
        EXPECT_TRUE(shadow.Holds(a, profile.Image()[a]));
      EXPECT_FALSE(shadow.Holds(d.firstAddress, profile.Image()[d.firstAddress]));
      reported += d.bytes;
    }
    EXPECT_EQ(expected.size(), reported) << "step " << step;
  }
  EXPECT_LT(shadow.KnownCount(), total);
  shadow.Confirm(kImageSize, 0);  // outside the memory: ignored
  EXPECT_FALSE(shadow.IsKnown(kImageSize));
}

// The read-back that checks a siren quickly: under half a per cent of the
// plan, a run of two strata is never missed, and 977 scattered bytes (a tenth
// of a second of sound) are missed in about 1 % of draws; every draw differs.
TEST(RandomSample, FindsATenthOfASecondAnywhereAtHalfAPerCentOfThePlan) {
  std::vector<uint32_t> plan(kImageSize);
  for (uint32_t k = 0; k < kImageSize; ++k) plan[k] = k;
  std::mt19937 random(5);
  std::vector<uint32_t> first = RandomSample(plan, random);
  EXPECT_LE(first.size(), kImageSize / 200);
  EXPECT_NE(first, RandomSample(plan, random));

  std::vector<bool> differs(kImageSize);
  int missedRuns = 0;
  int missedScattered = 0;
  const int kTrials = 2000;
  for (int trial = 0; trial < kTrials; ++trial) {
    std::fill(differs.begin(), differs.end(), false);
    uint32_t run = random() % (kImageSize - 2 * kSampleStratum);
    for (uint32_t k = run; k < run + 2 * kSampleStratum; ++k) differs[k] = true;
    std::vector<uint32_t> sample = RandomSample(plan, random);
    missedRuns +=
        std::none_of(sample.begin(), sample.end(), [&](uint32_t k) { return differs[k]; });
    std::fill(differs.begin(), differs.end(), false);
    for (int i = 0; i < 977; ++i) differs[random() % kImageSize] = true;
    sample = RandomSample(plan, random);
    missedScattered +=
        std::none_of(sample.begin(), sample.end(), [&](uint32_t k) { return differs[k]; });
  }
  EXPECT_EQ(0, missedRuns);
  EXPECT_LE(missedScattered, kTrials * 16 / 1000) << "at most about 1 %, with room for chance";
  EXPECT_EQ((std::vector<uint32_t>{3, 9}), RandomSample({3, 9}, random)) << "few bytes: all";
}
