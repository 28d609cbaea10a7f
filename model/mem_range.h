// BMemRange: a range of the memory image, used for free blocks and transfer plans.
#pragma once

#include <cstdint>

struct BMemRange {
  uint32_t start = 0;
  uint32_t length = 0;

  bool operator==(const BMemRange& other) const {
    return start == other.start && length == other.length;
  }
  bool operator!=(const BMemRange& other) const { return !(*this == other); }
};
