// The waveform window's arithmetic: the peak pyramid against a plain scan, the
// columns of the viewport at every zoom, zooming around the pointer, the ruler.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ui/peak_pyramid.h"
#include "ui/wave_placement.h"
#include "ui/wave_viewport.h"

namespace {

BPeak PlainScan(const std::vector<uint8_t>& samples, uint32_t first, uint32_t last) {
  BPeak peak;
  for (uint32_t i = first; i < last && i < samples.size(); ++i)
    peak.Add(BPeak{samples[i], samples[i]});
  return peak;
}

std::vector<uint8_t> RandomSound(std::mt19937& random, uint32_t count) {
  std::vector<uint8_t> samples(count);
  for (uint8_t& s : samples) s = static_cast<uint8_t>(random());
  // A quiet stretch, so that ranges inside it have a narrow envelope.
  for (uint32_t i = count / 3; i < count / 2; ++i) samples[i] = static_cast<uint8_t>(126 + i % 5);
  return samples;
}

void ExpectSamePeak(const BPeak& expected, const BPeak& actual, uint32_t first, uint32_t last) {
  EXPECT_EQ(expected.min, actual.min) << "range " << first << ".." << last;
  EXPECT_EQ(expected.max, actual.max) << "range " << first << ".." << last;
}

}  // namespace

TEST(PeakPyramid, EveryRangeOfSmallSoundsMatchesAPlainScan) {
  std::mt19937 random(7);
  for (uint32_t count = 0; count <= 37; ++count) {
    std::vector<uint8_t> samples = RandomSound(random, count);
    BPeakPyramid pyramid;
    pyramid.Build(samples.data(), count);
    for (uint32_t first = 0; first <= count + 1; ++first)
      for (uint32_t last = first; last <= count + 2; ++last)
        ExpectSamePeak(PlainScan(samples, first, last), pyramid.Range(first, last), first, last);
  }
}

TEST(PeakPyramid, RandomRangesOfAFullMemorySoundAndARebuildAfterAnEdit) {
  std::mt19937 random(11);
  std::vector<uint8_t> samples = RandomSound(random, 262140);
  BPeakPyramid pyramid;
  pyramid.Build(samples.data(), static_cast<uint32_t>(samples.size()));
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 800; ++i) {
      uint32_t a = random() % 262141, b = random() % 262141;
      if (i % 3 == 0) b = a + random() % 64;  // short ranges, at the low levels
      uint32_t first = std::min(a, b), last = std::max(a, b);
      ExpectSamePeak(PlainScan(samples, first, last), pyramid.Range(first, last), first, last);
    }
    // An edit that moves the extremes: amplify a stretch to full scale.
    for (uint32_t i = 100000; i < 101000; ++i) samples[i] = i % 2 ? 255 : 0;
    std::fill(samples.begin() + 87000, samples.begin() + 87100, 128);
    pyramid.Build(samples.data(), static_cast<uint32_t>(samples.size()));
  }
}

// At every zoom from the whole sound to one sample per column and at several
// scroll positions: the columns cover the visible samples one after the other
// without gaps or overlaps, and the envelope is the plain scan of each column.
TEST(WaveViewport, ColumnsPartitionTheViewAndTheEnvelopeIsExactAtEveryZoom) {
  std::mt19937 random(3);
  std::vector<uint8_t> samples = RandomSound(random, 100003);
  BPeakPyramid pyramid;
  pyramid.Build(samples.data(), static_cast<uint32_t>(samples.size()));
  BWaveViewport view;
  view.SetWidth(997);
  view.SetSound(static_cast<uint32_t>(samples.size()), true);
  EXPECT_DOUBLE_EQ(view.MaxSamplesPerColumn(), view.SamplesPerColumn());

  int steps = 0;
  while (true) {
    for (double scroll : {0.0, 0.37, 1.0}) {
      view.ScrollToSample(scroll * samples.size());
      std::vector<BPeak> envelope = ComputeEnvelope(pyramid, view);
      ASSERT_EQ(static_cast<size_t>(view.Width()), envelope.size());
      uint32_t previousLast = 0;
      for (int x = 0; x < view.Width(); ++x) {
        uint32_t first = 0, last = 0;
        view.ColumnRange(x, first, last);
        if (x > 0) {
          ASSERT_EQ(previousLast, first) << "column " << x;
        }
        ASSERT_LE(last, samples.size());
        if (first < samples.size()) {
          ASSERT_LT(first, last) << "column " << x;
        }
        previousLast = last;
        ExpectSamePeak(PlainScan(samples, first, last), envelope[x], first, last);
        if (first < samples.size()) {
          EXPECT_EQ(first, view.SampleAtColumn(x)) << "column " << x;
        }
      }
      // The view never shows room beyond the end when the sound fills it.
      EXPECT_LE(view.First() + view.VisibleSamples(), samples.size() + 1e-6);
    }
    if (view.SamplesPerColumn() <= view.MinSamplesPerColumn()) break;
    view.ZoomAround(500, 1.7);
    ASSERT_LT(++steps, 40);
  }
  EXPECT_DOUBLE_EQ(1.0, view.SamplesPerColumn());
}

TEST(WaveViewport, ZoomKeepsTheSampleUnderThePointerAndStopsAtItsLimits) {
  BWaveViewport view;
  view.SetWidth(1000);
  view.SetSound(262140, true);
  for (int x : {0, 250, 999}) {
    view.ZoomToAll();
    for (int i = 0; i < 30; ++i) {
      uint32_t before = view.SampleAtColumn(x);
      double spp = view.SamplesPerColumn();
      view.ZoomAround(x, i < 15 ? 2.0 : 0.5);
      // In place within one column of the old zoom, unless the view had to
      // stop at an end of the sound.
      bool atEdge = view.First() == 0 || view.First() + view.VisibleSamples() >= 262140 - 1e-6;
      if (!atEdge) {
        EXPECT_NEAR(before, view.SampleAtColumn(x), spp + 1) << "x " << x << " step " << i;
      }
      EXPECT_GE(view.SamplesPerColumn(), 1.0);
      EXPECT_LE(view.SamplesPerColumn(), 262.14 + 1e-9);
    }
  }
  // A sound shorter than the window: one sample per column, nothing scrolls.
  view.SetSound(300, true);
  EXPECT_EQ(1.0, view.SamplesPerColumn());
  view.ScrollColumns(50);
  EXPECT_EQ(0.0, view.First());
  EXPECT_EQ(299u, view.SampleAtColumn(700));
  // EnsureVisible scrolls just enough.
  view.SetSound(262140, false);
  view.ZoomAround(0, 1000);
  view.EnsureVisible(5000);
  EXPECT_EQ(999, view.ColumnOfSample(5000));
  view.EnsureVisible(10);
  EXPECT_EQ(0, view.ColumnOfSample(10));
}

// Positions are boundaries between samples. At every zoom, and scrolled to
// fractional samples, a click at a column puts the play line back in that
// column (so a range marked between two columns covers exactly those columns),
// and the end of a sound that reaches the right edge is drawn in the last column.
TEST(WaveViewport, BoundariesMapToColumnsByRounding) {
  const uint32_t count = 100003;
  BWaveViewport view;
  view.SetWidth(333);
  view.SetSound(count, true);
  for (double zoom : {1.0, 1.7, 4.0, 29.5, 300.3}) {
    for (double first : {0.0, 0.4, 0.5, 17.25, 1e9}) {
      view.ZoomToAll();
      view.ZoomAround(0, zoom);
      view.ScrollToSample(first);
      for (int x = 0; x < view.Width(); ++x) {
        uint32_t boundary = view.BoundaryAtColumn(x);
        ASSERT_EQ(x, view.PlayLineColumn(boundary)) << "zoom " << zoom << " first " << first;
      }
      bool endInView = view.First() + view.VisibleSamples() >= count - 1e-6;
      if (endInView) {
        EXPECT_EQ(view.Width() - 1, view.PlayLineColumn(count)) << "zoom " << zoom;
      } else {
        EXPECT_GE(view.PlayLineColumn(count), view.Width()) << "zoom " << zoom;
      }
    }
  }
}

TEST(WaveViewport, RulerTicksAreRoundAndSpacedAndLabelled) {
  BWaveViewport view;
  view.SetWidth(1000);
  view.SetSound(262140, true);
  for (int zoom = 0; zoom < 12; ++zoom) {
    std::vector<BRulerTick> ticks = ComputeRulerTicks(view, 60);
    ASSERT_GE(ticks.size(), 1u) << "zoom " << zoom;
    for (size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_GE(ticks[i].column, 0);
      EXPECT_LE(ticks[i].column, view.Width());
      if (i > 0) {
        EXPECT_GE(ticks[i].column - ticks[i - 1].column, 59) << "zoom " << zoom;
      }
      // The tick sits on the sample of its time.
      uint32_t sample = static_cast<uint32_t>(ticks[i].milliseconds * 9.765 + 0.5);
      EXPECT_NEAR(view.ColumnOfSample(sample), ticks[i].column, 1);
    }
    view.ZoomAround(300, 2.0);
  }
  EXPECT_EQ("0.000", RulerLabel(0));
  EXPECT_EQ("26.845", RulerLabel(26845));
  EXPECT_EQ("1.050", RulerLabel(1050));
  view.SetSound(0, true);
  EXPECT_TRUE(ComputeRulerTicks(view, 60).empty());
}

TEST(WavePlacement, ReadsWhatItWritesAndRefusesAnythingElse) {
  BWavePlacement placement;
  ASSERT_TRUE(placement.Parse("1,-1200,40,640,300"));
  EXPECT_TRUE(placement.visible);
  EXPECT_EQ("1,-1200,40,640,300", placement.Format());
  ASSERT_TRUE(placement.Parse("0,10,20,50,30"));  // too small: raised to the minimum
  EXPECT_FALSE(placement.visible);
  EXPECT_EQ("0,10,20,200,120", placement.Format());
  for (const char* bad : {"", "1", "2,0,0,300,200", "1,0,0,0,200", "1,0,0,300,-5", "1,0,0,300,200x",
                          "1;0;0;300;200", "yes,0,0,300,200"}) {
    EXPECT_FALSE(placement.Parse(bad)) << bad;
    EXPECT_EQ("0,10,20,200,120", placement.Format()) << bad;
  }
}
