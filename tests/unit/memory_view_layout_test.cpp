// The geometry of the memory strip: where bands, marker and boundary land and
// in which colour role, for the sizes the program really uses (a 262140-byte
// memory image, 65535 bytes per chip) and for scales whose arithmetic is exact.
#include "ui/memory_view_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

using Role = BMemoryFillRole;
using Fills = std::vector<BMemoryFill>;

constexpr std::uint32_t kImageSize = 262140;  // four chips of 65535 bytes
constexpr std::uint32_t kChipSize = 65535;

BMemoryViewContent Content(std::uint32_t total, std::uint32_t available,
                           std::vector<BMemoryBand> bands, int selected = -1, int marker = -1) {
  BMemoryViewContent content;
  content.totalSize = total;
  content.availableSize = available;
  content.bands = std::move(bands);
  content.selectedBand = selected;
  content.marker = marker;
  return content;
}

// At 317 columns for the whole image a byte v lands on column 317 / 262140 * v:
// 65535 -> 79.25, 100000 -> 120.93, 131070 -> 158.5, 160000 -> 193.48,
// 200000 -> 241.86, 201000 -> 243.06.
constexpr int kWidth = 317;
const std::vector<BMemoryBand> kImageBands = {{0, 65535}, {100000, 60000}, {200000, 1000}};

TEST(MemoryViewLayout, NotConnectedShowsEveryBandInMemoryWithoutBoundary) {
  Fills fills = LayoutMemoryView(0, kWidth, Content(kImageSize, kImageSize, kImageBands));
  EXPECT_EQ(
      fills,
      (Fills{{0, 79, Role::InMemory}, {120, 193, Role::InMemory}, {241, 243, Role::InMemory}}));

  // More memory than the image (an available size past the total) is no boundary either.
  EXPECT_EQ(LayoutMemoryView(0, kWidth, Content(kImageSize, kImageSize + 1, kImageBands)), fills);
}

TEST(MemoryViewLayout, TwoChipsSplitTheBandAcrossTheBoundaryAndDrawTheBoundaryLast) {
  Fills fills = LayoutMemoryView(0, kWidth, Content(kImageSize, 2 * kChipSize, kImageBands));
  EXPECT_EQ(fills, (Fills{{0, 79, Role::InMemory},
                          {120, 158, Role::InMemory},
                          {158, 193, Role::OutOfMemory},
                          {241, 243, Role::OutOfMemory},
                          {158, 160, Role::Boundary}}));
}

TEST(MemoryViewLayout, BandsTouchingTheBoundaryColumnFallOnTheirSide) {
  // Three chips: the boundary is at column trunc(237.75) = 237. A band ending
  // on that column stays in memory; one starting on it is wholly beyond.
  const std::uint32_t available = 3 * kChipSize;
  const double perByte = 317.0 / kImageSize;
  const std::uint32_t endsOnBoundary = 190000;    // column 229.76 .. 237.4
  const std::uint32_t startsOnBoundary = 196605;  // column 237.75 .. 241.56
  ASSERT_EQ(static_cast<int>(perByte * (endsOnBoundary + 6500)), 237);
  Fills fills = LayoutMemoryView(
      0, kWidth,
      Content(kImageSize, available, {{endsOnBoundary, 6500}, {startsOnBoundary, 3150}}));
  EXPECT_EQ(fills, (Fills{{229, 237, Role::InMemory},
                          {237, 241, Role::OutOfMemory},
                          {237, 239, Role::Boundary}}));
}

TEST(MemoryViewLayout, NoAvailableMemoryMeansNoBoundaryAndEverythingInMemory) {
  Fills fills = LayoutMemoryView(0, kWidth, Content(kImageSize, 0, kImageBands));
  EXPECT_EQ(
      fills,
      (Fills{{0, 79, Role::InMemory}, {120, 193, Role::InMemory}, {241, 243, Role::InMemory}}));
}

TEST(MemoryViewLayout, SelectedBandIsWhollyInSelectionColourEvenBeyondTheBoundary) {
  const BMemoryViewContent twoChips = Content(kImageSize, 2 * kChipSize, kImageBands);

  BMemoryViewContent crossing = twoChips;
  crossing.selectedBand = 1;
  EXPECT_EQ(LayoutMemoryView(0, kWidth, crossing), (Fills{{0, 79, Role::InMemory},
                                                          {120, 193, Role::Selection},
                                                          {241, 243, Role::OutOfMemory},
                                                          {158, 160, Role::Boundary}}));

  BMemoryViewContent beyond = twoChips;
  beyond.selectedBand = 2;
  EXPECT_EQ(LayoutMemoryView(0, kWidth, beyond), (Fills{{0, 79, Role::InMemory},
                                                        {120, 158, Role::InMemory},
                                                        {158, 193, Role::OutOfMemory},
                                                        {241, 243, Role::Selection},
                                                        {158, 160, Role::Boundary}}));

  // An index past the bands selects nothing.
  BMemoryViewContent stale = twoChips;
  stale.selectedBand = 3;
  EXPECT_EQ(LayoutMemoryView(0, kWidth, stale), LayoutMemoryView(0, kWidth, twoChips));
}

// 500 columns for 1000 bytes: exactly half a column per byte.
Fills MarkerFills(int marker) {
  return LayoutMemoryView(0, 500, Content(1000, 1000, {}, -1, marker));
}

TEST(MemoryViewLayout, MarkerIsTwoColumnsWideAndStaysVisibleAtTheRightEdge) {
  EXPECT_EQ(MarkerFills(0), (Fills{{0, 2, Role::Marker}}));
  EXPECT_EQ(MarkerFills(5), (Fills{{2, 4, Role::Marker}}));  // 2.5 truncates to 2
  // Scaling exactly to the right edge: the two rightmost columns.
  EXPECT_EQ(MarkerFills(1000), (Fills{{498, 500, Role::Marker}}));
  // Past the end it is held at the right edge.
  EXPECT_EQ(MarkerFills(5000), (Fills{{498, 500, Role::Marker}}));
  EXPECT_EQ(MarkerFills(INT_MAX), (Fills{{498, 500, Role::Marker}}));
  // On the last column: that column only.
  EXPECT_EQ(MarkerFills(999), (Fills{{499, 500, Role::Marker}}));
  EXPECT_EQ(MarkerFills(998), (Fills{{499, 500, Role::Marker}}));
  EXPECT_EQ(MarkerFills(997), (Fills{{498, 500, Role::Marker}}));
  EXPECT_TRUE(MarkerFills(-1).empty());
}

TEST(MemoryViewLayout, MarkerIsDrawnOverTheBandsAndUnderTheBoundary) {
  Fills fills = LayoutMemoryView(0, 500, Content(1000, 400, {{100, 400}}, -1, 399));
  EXPECT_EQ(fills, (Fills{{50, 200, Role::InMemory},
                          {200, 250, Role::OutOfMemory},
                          {199, 201, Role::Marker},
                          {200, 202, Role::Boundary}}));
}

TEST(MemoryViewLayout, FillsOfNoWidthAreLeftOut) {
  // Half a column per byte: an empty band, a one-byte band inside one column,
  // a band past the right edge (the total shrank after it was added), and a
  // boundary on column 0 (a single byte available).
  Fills fills = LayoutMemoryView(
      0, 500, Content(1000, 1, {{100, 0}, {10, 1}, {1200, 10}, {990, 100}, {0, 4}}));
  EXPECT_EQ(fills, (Fills{{495, 500, Role::InMemory}, {0, 2, Role::InMemory}}));

  // A band that starts past the edge after scaling far beyond any int.
  EXPECT_TRUE(LayoutMemoryView(0, 500, Content(1, 1, {{0xFFFFFF00u, 0x10}})).empty());
}

TEST(MemoryViewLayout, BandEndPastFourGigabytesDoesNotWrapAround) {
  // Ends at 0x1'0000'0100: summed in 32 bits it would end near 0 and vanish.
  Fills fills = LayoutMemoryView(0, 256, Content(0xFFFFFFFFu, 0xFFFFFFFFu, {{0xFFFFFF00u, 0x200}}));
  EXPECT_EQ(fills, (Fills{{255, 256, Role::InMemory}}));
}

TEST(MemoryViewLayout, PositionsCountFromColumnZeroAndAreClippedToTheClientColumns) {
  Fills fills = LayoutMemoryView(10, 510, Content(1000, 1000, {{0, 40}, {990, 100}}));
  EXPECT_EQ(fills, (Fills{{10, 20, Role::InMemory}, {495, 510, Role::InMemory}}));
}

TEST(MemoryViewLayout, NothingIsDrawnWithoutScale) {
  // No total size: every position would divide by zero.
  EXPECT_TRUE(LayoutMemoryView(0, 317, Content(0, 0, {{0, 0}, {0, 3}}, 0, 0)).empty());
  // No columns.
  EXPECT_TRUE(LayoutMemoryView(0, 0, Content(1000, 500, {{0, 1000}}, 0, 0)).empty());
}

}  // namespace
