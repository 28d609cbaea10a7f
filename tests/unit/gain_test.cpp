// The amplification rule, on signed siren bytes and on the player's bytes.
#include "audio/gain.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(Gain, TheRuleTruncatesTowardZeroAndClips) {
  for (int s = -128; s <= 127; ++s) {
    EXPECT_EQ(s, ApplyGain(static_cast<int8_t>(s), 0));
    EXPECT_EQ(0, ApplyGain(static_cast<int8_t>(s), -100));
  }
  EXPECT_EQ(127, ApplyGain(100, 50));
  EXPECT_EQ(-4, ApplyGain(-3, 50));
  EXPECT_EQ(4, ApplyGain(3, 50));
  EXPECT_EQ(1, ApplyGain(3, -50));
  EXPECT_EQ(-1, ApplyGain(-3, -50));
  EXPECT_EQ(-128, ApplyGain(-100, 300));
  EXPECT_EQ(40, ApplyGain(10, 300));
}

TEST(Gain, PlayerBytesAndImageBytesGetTheSameResult) {
  uint8_t image[] = {uint8_t(-3), 3, 100, uint8_t(-128)};
  uint8_t player[4];
  for (int i = 0; i < 4; ++i) player[i] = static_cast<uint8_t>(image[i] - 128);
  ApplyGainToSigned(image, 4, 50);
  ApplyGainToUnsigned(player, player, 4, 50);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(static_cast<uint8_t>(image[i] - 128), player[i]) << i;
  EXPECT_EQ(static_cast<uint8_t>(-4), image[0]);
}

// The normalizing gain is the largest slider value that clips nothing: at it
// every sample keeps its exact product, one step higher some sample clips.
TEST(Gain, NormalizingGainIsTheLargestThatClipsNothing) {
  auto clipsAt = [](const std::vector<uint8_t>& sound, int32_t gain) {
    for (uint8_t u : sound) {
      int32_t s = u - 128;
      if (static_cast<int32_t>(s * (gain / 100.0) + s) != ApplyGain(static_cast<int8_t>(s), gain))
        return true;
    }
    return false;
  };
  std::mt19937 random(9);
  for (int round = 0; round < 300; ++round) {
    int peak = 1 + static_cast<int>(random() % 128);
    std::vector<uint8_t> sound(1 + random() % 200);
    for (uint8_t& u : sound)
      u = static_cast<uint8_t>(128 + static_cast<int>(random() % (2 * peak)) - peak);
    int32_t gain = NormalizingGain(sound.data(), static_cast<uint32_t>(sound.size()));
    ASSERT_GE(gain, kMinGainPercent);
    ASSERT_LE(gain, kMaxGainPercent);
    EXPECT_FALSE(clipsAt(sound, gain)) << "peak " << peak;
    if (gain < kMaxGainPercent) {
      EXPECT_TRUE(clipsAt(sound, gain + 1)) << "peak " << peak;
    }
  }
  std::vector<uint8_t> silence(50, 128), quiet = {127, 129, 128}, full = {0, 255};
  EXPECT_EQ(kMaxGainPercent, NormalizingGain(silence.data(), 50));
  EXPECT_EQ(kMaxGainPercent, NormalizingGain(quiet.data(), 3));  // ±1 quadrupled fits
  EXPECT_EQ(0, NormalizingGain(full.data(), 2));
  EXPECT_EQ(kMaxGainPercent, NormalizingGain(nullptr, 0));
}
