// BWaveViewport: which samples of a sound the waveform window shows in which
// pixel columns, and how zooming and scrolling change that. Plain arithmetic,
// so that the mapping can be checked at every zoom without a window.
//
// The view shows `samplesPerColumn` samples in each column, from sample
// `first` at column 0. The zoom runs from one sample per column to the whole
// sound in the window's width; the first sample is always such that the view
// does not start before the sound or end after it (when the sound is longer
// than the view).
//
// Threads: the user-interface thread only; the waveform window owns it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peak_pyramid.h"

class BWaveViewport {
 public:
  // A new sound or a new width: shows the whole sound when `fit`, otherwise
  // keeps the zoom and the first sample as far as the new sizes allow.
  void SetSound(uint32_t sampleCount, bool fit);
  void SetWidth(int columns);

  uint32_t SampleCount() const { return m_sampleCount; }
  int Width() const { return m_width; }
  double SamplesPerColumn() const { return m_samplesPerColumn; }
  double First() const { return m_first; }
  // Samples the whole width stands for.
  double VisibleSamples() const { return m_samplesPerColumn * m_width; }

  // The sample under column x (x may lie outside the window), within the sound.
  uint32_t SampleAtColumn(int x) const;
  // The first and last sample (exclusive) that column x stands for; at least
  // one sample while the column lies on the sound, none past its end.
  void ColumnRange(int x, uint32_t& first, uint32_t& last) const;
  // The column of sample s (may lie outside the window).
  int ColumnOfSample(uint32_t s) const;

  // Positions (the play position, the ends of a range, where a playlist part
  // begins) are boundaries between samples: 0 before the first, the sample
  // count after the last. Each maps to the column whose left edge is nearest
  // to it, so that BoundaryAtColumn and ColumnOfBoundary undo each other.
  // The boundary nearest to column x's left edge, within the sound.
  uint32_t BoundaryAtColumn(int x) const;
  // The column of boundary b (may lie outside the window).
  int ColumnOfBoundary(uint32_t b) const;
  // The column the play line at boundary b is drawn in: the end of a sound
  // that reaches the window's right edge is drawn in the last column.
  int PlayLineColumn(uint32_t b) const;

  // Zooms by `factor` (> 1 zooms in) keeping the sample under column x in
  // place; clamped to the zoom limits.
  void ZoomAround(int x, double factor);
  void ZoomToAll();
  // Scrolls by `columns` columns (negative: towards the start).
  void ScrollColumns(double columns);
  // Puts sample s at column 0 (clamped).
  void ScrollToSample(double s);
  // Scrolls as little as needed to bring sample s into view.
  void EnsureVisible(uint32_t s);

  // The zoom limits: one sample per column, and the whole sound in the width.
  double MinSamplesPerColumn() const { return 1.0; }
  double MaxSamplesPerColumn() const;

 private:
  void Clamp();

  uint32_t m_sampleCount = 0;
  int m_width = 1;
  double m_samplesPerColumn = 1.0;
  double m_first = 0.0;
};

// The envelope of columns [0, viewport.Width()): the extremes of each column's
// samples, empty for columns past the sound's end.
std::vector<BPeak> ComputeEnvelope(const BPeakPyramid& pyramid, const BWaveViewport& viewport);

// One mark of the time ruler.
struct BRulerTick {
  int column;
  uint32_t milliseconds;
};

// The ruler's ticks: a round step (1, 2 or 5 times a power of ten
// milliseconds) that leaves at least `minSpacing` columns between labels, at
// every multiple of it that lies in the view.
std::vector<BRulerTick> ComputeRulerTicks(const BWaveViewport& viewport, int minSpacing);

// A ruler label: seconds and milliseconds, "%d.%03d".
std::string RulerLabel(uint32_t milliseconds);
