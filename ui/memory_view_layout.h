// Geometry of the memory strip: which horizontal spans the memory view fills,
// in which order and in which role. Plain code, so that the drawing can be
// checked without a window.
#pragma once

#include <cstdint>
#include <vector>

// One fragment's bytes in the siren's memory.
struct BMemoryBand {
  std::uint32_t address = 0;
  std::uint32_t length = 0;
};

// What the memory view shows; the view keeps exactly this.
struct BMemoryViewContent {
  std::uint32_t totalSize = 0;      // bytes the full width of the strip stands for
  std::uint32_t availableSize = 0;  // bytes the connected siren really has
  std::vector<BMemoryBand> bands;   // in fragment-list order
  int selectedBand = -1;            // index into bands, -1 for none
  int marker = -1;                  // byte being played, hidden when negative
};

// The colour a fill is drawn in, by its meaning.
enum class BMemoryFillRole { InMemory, OutOfMemory, Selection, Marker, Boundary };

// One opaque fill from x1 (inclusive) to x2 (exclusive), over the full height.
struct BMemoryFill {
  int x1 = 0;
  int x2 = 0;
  BMemoryFillRole role = BMemoryFillRole::InMemory;

  bool operator==(const BMemoryFill& other) const {
    return x1 == other.x1 && x2 == other.x2 && role == other.role;
  }
};

// The fills of one paint of the strip over the client columns left..right, in
// drawing order: the bands in order (the selected one whole in the selection
// colour, the others split at the boundary of the available memory), then the
// play marker, then the boundary line, each two pixels wide. A byte position v
// lands on column trunc((right - left) / total * v), measured from column 0
// rather than from `left`, as the control's client area always starts there.
// Fills of width 0 or less are left out.
//
// A total size of 0 has no scale: nothing is drawn then (no bands, no marker,
// no boundary), and neither is anything drawn in an empty rectangle.
std::vector<BMemoryFill> LayoutMemoryView(int left, int right, const BMemoryViewContent& content);
