#include "memory_view_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Positions are worked out as whole numbers held in doubles: a band far past
// the strip may scale to more than an int holds, and comparing in double keeps
// every outcome the same as comparing the truncated integers would.
class BStripScale {
 public:
  BStripScale(int left, int right, std::uint32_t totalSize)
      : m_left(left),
        m_right(right),
        m_pixelsPerByte(static_cast<double>(right - left) / static_cast<double>(totalSize)) {}

  double Scale(double bytes) const { return m_pixelsPerByte * bytes; }
  double Left() const { return m_left; }
  double Right() const { return m_right; }

 private:
  double m_left;
  double m_right;
  double m_pixelsPerByte;
};

// Converts a truncated position to a pixel; the clamp never changes a fill
// that reaches the output, whose ends all lie within the strip.
int ToPixel(double position) {
  const double lowest = std::numeric_limits<int>::min();
  const double highest = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(position, lowest, highest));
}

class BFillList {
 public:
  void Add(double x1, double x2, BMemoryFillRole role) {
    if (x2 - x1 <= 0) return;
    m_fills.push_back(BMemoryFill{ToPixel(x1), ToPixel(x2), role});
  }
  std::vector<BMemoryFill> Take() { return std::move(m_fills); }

 private:
  std::vector<BMemoryFill> m_fills;
};

// Column of the first byte the siren does not have, or 0 when the whole
// memory is there (0 also means no boundary).
double BoundaryColumn(const BStripScale& scale, const BMemoryViewContent& content) {
  if (content.availableSize >= content.totalSize) return 0;
  return std::trunc(scale.Scale(content.availableSize));
}

void AddBand(BFillList& fills, const BStripScale& scale, const BMemoryBand& band, bool selected,
             double boundary) {
  // The end is summed in 64 bits: a band may end past 4 GB - 1.
  const std::uint64_t end = std::uint64_t{band.address} + band.length;
  const double x1 = std::trunc(std::max(scale.Left(), scale.Scale(band.address)));
  const double x2 = std::trunc(std::min(scale.Right(), scale.Scale(static_cast<double>(end))));
  if (selected) {
    fills.Add(x1, x2, BMemoryFillRole::Selection);
  } else if (boundary > 0 && x1 >= boundary) {
    fills.Add(x1, x2, BMemoryFillRole::OutOfMemory);
  } else if (boundary > 0 && x2 > boundary) {
    fills.Add(x1, boundary, BMemoryFillRole::InMemory);
    fills.Add(boundary, x2, BMemoryFillRole::OutOfMemory);
  } else {
    fills.Add(x1, x2, BMemoryFillRole::InMemory);
  }
}

// Two columns from the marker's position; at the right edge the two columns
// left of it, so that the marker stays visible there.
void AddMarker(BFillList& fills, const BStripScale& scale, int marker) {
  double x = std::trunc(std::min(scale.Right(), scale.Scale(marker)));
  double end = std::min(scale.Right(), x + 2);
  if (end - x <= 0) {
    x = scale.Right() - 2;
    end = scale.Right();
  }
  fills.Add(x, end, BMemoryFillRole::Marker);
}

}  // namespace

std::vector<BMemoryFill> LayoutMemoryView(int left, int right, const BMemoryViewContent& content) {
  if (content.totalSize == 0 || right <= left) return {};

  const BStripScale scale(left, right, content.totalSize);
  const double boundary = BoundaryColumn(scale, content);
  BFillList fills;
  for (std::size_t i = 0; i < content.bands.size(); ++i) {
    const bool selected =
        content.selectedBand >= 0 && static_cast<std::size_t>(content.selectedBand) == i;
    AddBand(fills, scale, content.bands[i], selected, boundary);
  }
  if (content.marker >= 0) AddMarker(fills, scale, content.marker);
  if (boundary > 0)
    fills.Add(boundary, std::min(scale.Right(), boundary + 2), BMemoryFillRole::Boundary);
  return fills.Take();
}
