// Durations of fragments as the lists show them.
#include "audio/durations.h"

#include <gtest/gtest.h>

TEST(Durations, MillisecondsAreTruncated) {
  EXPECT_EQ(0u, SamplesToMilliseconds(0));
  EXPECT_EQ(0u, SamplesToMilliseconds(9));  // 0.92 ms
  EXPECT_EQ(1000u, SamplesToMilliseconds(9765));
  EXPECT_EQ(26844u, SamplesToMilliseconds(262140));  // 26844.65 ms
}

TEST(Durations, FragmentListText) {
  EXPECT_EQ("00.000", FragmentDurationText(0));
  EXPECT_EQ("01.000", FragmentDurationText(9765));
  EXPECT_EQ("26.844", FragmentDurationText(262140));
  EXPECT_EQ("00.102", FragmentDurationText(1000));
}
