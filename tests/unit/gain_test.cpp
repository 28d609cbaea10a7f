// The amplification rule, on signed siren bytes and on the player's bytes.
#include "audio/gain.h"

#include <gtest/gtest.h>

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
