#include "wave_viewport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/durations.h"

double BWaveViewport::MaxSamplesPerColumn() const {
  return std::max(1.0, static_cast<double>(m_sampleCount) / m_width);
}

void BWaveViewport::SetSound(uint32_t sampleCount, bool fit) {
  m_sampleCount = sampleCount;
  if (fit) m_samplesPerColumn = MaxSamplesPerColumn();
  Clamp();
}

void BWaveViewport::SetWidth(int columns) {
  bool wasFitted = m_samplesPerColumn >= MaxSamplesPerColumn();
  m_width = std::max(1, columns);
  // A view that showed the whole sound keeps showing it at any width.
  if (wasFitted) m_samplesPerColumn = MaxSamplesPerColumn();
  Clamp();
}

void BWaveViewport::Clamp() {
  m_samplesPerColumn = std::clamp(m_samplesPerColumn, MinSamplesPerColumn(), MaxSamplesPerColumn());
  double lastFirst = std::max(0.0, m_sampleCount - VisibleSamples());
  m_first = std::clamp(m_first, 0.0, lastFirst);
}

uint32_t BWaveViewport::SampleAtColumn(int x) const {
  double s = std::floor(m_first + x * m_samplesPerColumn);
  if (s <= 0 || m_sampleCount == 0) return 0;
  return s >= m_sampleCount ? m_sampleCount - 1 : static_cast<uint32_t>(s);
}

void BWaveViewport::ColumnRange(int x, uint32_t& first, uint32_t& last) const {
  double from = std::floor(m_first + x * m_samplesPerColumn);
  double to = std::floor(m_first + (x + 1) * m_samplesPerColumn);
  from = std::clamp(from, 0.0, static_cast<double>(m_sampleCount));
  to = std::clamp(to, from, static_cast<double>(m_sampleCount));
  first = static_cast<uint32_t>(from);
  last = static_cast<uint32_t>(to);
  // At one sample per column rounding can make a column empty; give it the
  // sample it starts in.
  if (first == last && first < m_sampleCount) last = first + 1;
}

int BWaveViewport::ColumnOfSample(uint32_t s) const {
  return static_cast<int>(std::floor((s - m_first) / m_samplesPerColumn));
}

uint32_t BWaveViewport::BoundaryAtColumn(int x) const {
  double b = std::floor(m_first + x * m_samplesPerColumn + 0.5);
  return static_cast<uint32_t>(std::clamp(b, 0.0, static_cast<double>(m_sampleCount)));
}

// Rounds half down, as BoundaryAtColumn rounds half up: at one sample per
// column or more every column then comes back from its boundary.
int BWaveViewport::ColumnOfBoundary(uint32_t b) const {
  return static_cast<int>(std::ceil((b - m_first) / m_samplesPerColumn - 0.5));
}

int BWaveViewport::PlayLineColumn(uint32_t b) const {
  int column = ColumnOfBoundary(b);
  return b >= m_sampleCount && column == m_width ? column - 1 : column;
}

void BWaveViewport::ZoomAround(int x, double factor) {
  if (factor <= 0) return;
  double anchor = m_first + x * m_samplesPerColumn;
  m_samplesPerColumn =
      std::clamp(m_samplesPerColumn / factor, MinSamplesPerColumn(), MaxSamplesPerColumn());
  m_first = anchor - x * m_samplesPerColumn;
  Clamp();
}

void BWaveViewport::ZoomToAll() {
  m_samplesPerColumn = MaxSamplesPerColumn();
  m_first = 0;
  Clamp();
}

void BWaveViewport::ScrollColumns(double columns) {
  m_first += columns * m_samplesPerColumn;
  Clamp();
}

void BWaveViewport::ScrollToSample(double s) {
  m_first = s;
  Clamp();
}

void BWaveViewport::EnsureVisible(uint32_t s) {
  if (s < m_first) {
    m_first = s;
  } else if (s >= m_first + VisibleSamples()) {
    m_first = s + 1 - VisibleSamples();
  }
  Clamp();
}

std::vector<BPeak> ComputeEnvelope(const BPeakPyramid& pyramid, const BWaveViewport& viewport) {
  std::vector<BPeak> columns(viewport.Width());
  for (int x = 0; x < viewport.Width(); ++x) {
    uint32_t first = 0, last = 0;
    viewport.ColumnRange(x, first, last);
    columns[x] = pyramid.Range(first, last);
  }
  return columns;
}

std::vector<BRulerTick> ComputeRulerTicks(const BWaveViewport& viewport, int minSpacing) {
  std::vector<BRulerTick> ticks;
  if (viewport.SampleCount() == 0) return ticks;
  double msPerColumn = viewport.SamplesPerColumn() * 1000.0 / kSirenSampleRate;
  double wanted = msPerColumn * std::max(1, minSpacing);
  uint32_t step = 1;
  for (uint32_t decade = 1;; decade *= 10) {
    if (decade >= wanted) {
      step = decade;
      break;
    }
    if (2 * decade >= wanted) {
      step = 2 * decade;
      break;
    }
    if (5 * decade >= wanted) {
      step = 5 * decade;
      break;
    }
  }
  double firstMs = viewport.First() * 1000.0 / kSirenSampleRate;
  double lastMs = (viewport.First() + viewport.VisibleSamples()) * 1000.0 / kSirenSampleRate;
  for (uint64_t ms = static_cast<uint64_t>(std::ceil(firstMs / step)) * step; ms <= lastMs;
       ms += step) {
    double sample = ms * kSirenSampleRate / 1000.0;
    int column =
        static_cast<int>(std::lround((sample - viewport.First()) / viewport.SamplesPerColumn()));
    ticks.push_back({column, static_cast<uint32_t>(ms)});
  }
  return ticks;
}

std::string RulerLabel(uint32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u", milliseconds / 1000, milliseconds % 1000);
  return text;
}
