#include "model/fragment.h"

#include "model/profile_names.h"

BMemRange BFragment::ImageRange() const {
  if (!IsInUse()) return BMemRange{};
  uint32_t first = start < kImageSize ? start : kImageSize;
  uint32_t room = kImageSize - first;
  return BMemRange{first, length < room ? length : room};
}

std::string LimitFragmentName(const std::string& name) { return FitName(name); }
