// What the local player plays: loading, the segments, filling, the start
// position inside a marked range and the time field.
#include "audio/play_buffer.h"

#include <gtest/gtest.h>

namespace {

// Fragment 0 "a": 4 bytes at 100; fragment 1 "b": 2 bytes at 500.
void PlaceTwoFragments(BProfile& profile) {
  const uint8_t first[] = {0x00, 0x7F, 0x80, 0xFF};
  const uint8_t second[] = {0x10, 0x20};
  profile.PlaceFragment("a", {100, 4}, first, 4);
  profile.PlaceFragment("b", {500, 2}, second, 2);
}

TEST(PlayBuffer, AFragmentIsPlayedAsUnsignedBytes) {
  BProfile profile;
  PlaceTwoFragments(profile);
  BPlayBuffer buffer;
  ASSERT_TRUE(buffer.LoadFragment(profile, 0));
  EXPECT_EQ((std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x7F}), buffer.Samples());
  ASSERT_EQ(1u, buffer.Segments().size());
  EXPECT_EQ(102, buffer.AddressAt(2));
  EXPECT_EQ(-1, buffer.AddressAt(4));
  EXPECT_EQ(-1, buffer.AddressAt(0xFFFFFFFFu));
  EXPECT_FALSE(buffer.LoadFragment(profile, 5)) << "an empty slot";
  EXPECT_TRUE(buffer.IsEmpty());
}

TEST(PlayBuffer, ThePlaylistRunsUntilItsFirstNonReference) {
  BProfile profile;
  PlaceTwoFragments(profile);
  for (int position : {0, 1, 2}) profile.SetPlaylistEntry(position, position == 2 ? 0 : 1);
  profile.SetPlaylistEntry(3, 8);  // ends the playlist
  profile.SetPlaylistEntry(4, 0);
  BPlayBuffer buffer;
  ASSERT_TRUE(buffer.LoadPlaylist(profile));
  EXPECT_EQ(2u + 2u + 4u, buffer.Length()) << "b, b again, then a";
  ASSERT_EQ(3u, buffer.Segments().size());
  EXPECT_EQ(2u, buffer.Segments()[1].bufferStart);
  EXPECT_EQ(2, buffer.SegmentAt(4));
  EXPECT_EQ(101, buffer.AddressAt(5));

  BProfile empty;
  EXPECT_FALSE(buffer.LoadPlaylist(empty));
  EXPECT_TRUE(buffer.IsEmpty());
}

TEST(PlayBuffer, FillCopiesToTheEndAndLoopsWhenAsked) {
  BProfile profile;
  PlaceTwoFragments(profile);
  BPlayBuffer buffer;
  buffer.LoadFragment(profile, 0);
  uint8_t out[3];
  EXPECT_EQ(3u, buffer.Fill(out, 3, false).count);
  BPlayBuffer::Filled filled = buffer.Fill(out, 3, false);
  EXPECT_EQ(1u, filled.count);
  EXPECT_EQ(0x7F, out[0]);
  EXPECT_EQ(0u, buffer.Fill(out, 3, false).count) << "nothing left";
  filled = buffer.Fill(out, 3, true);
  EXPECT_TRUE(filled.restarted);
  EXPECT_EQ(3u, filled.count);
  EXPECT_EQ(0x80, out[0]);
}

TEST(PlayBuffer, PlayStartsInsideTheMarkedRange) {
  EXPECT_EQ(1000u, PlayStartPosition(5000, 1000, 2000));
  EXPECT_EQ(1000u, PlayStartPosition(2000, 1000, 2000)) << "the end is outside";
  EXPECT_EQ(1000u, PlayStartPosition(999, 1000, 2000));
  EXPECT_EQ(1500u, PlayStartPosition(1500, 1000, 2000));
  EXPECT_EQ(5000u, PlayStartPosition(5000, 0, 0)) << "no range marked";
  EXPECT_EQ(5000u, PlayStartPosition(5000, 2000, 2000)) << "an empty range is no range";
}

TEST(PlayBuffer, TimeField) {
  EXPECT_EQ("00.000/01.000", PlayTimeText(0, 9765));
  EXPECT_EQ("00.500/01.000", PlayTimeText(4883, 9765));
  EXPECT_EQ("00:00/01:05", PlayTimeText(0, 65 * 9765));
  EXPECT_EQ("01:02/01:05", PlayTimeText(62 * 9765 + 100, 65 * 9765));
}

}  // namespace
