#include "link/plan_bytes.h"

#include <algorithm>

std::vector<uint32_t> UniquePlanBytes(const BProfile& profile) {
  std::vector<uint32_t> unique;
  std::vector<bool> seen(kImageSize, false);
  uint32_t k = 0;
  for (const BMemRange& range : profile.GetTransferPlan()) {
    for (uint32_t i = 0; i < range.length; ++i, ++k) {
      uint32_t address = range.start + i;
      if (address >= kImageSize || seen[address]) continue;
      seen[address] = true;
      unique.push_back(k);
    }
  }
  return unique;
}

std::vector<uint32_t> RandomSample(const std::vector<uint32_t>& planBytes, std::mt19937& random,
                                   uint32_t minimum) {
  const size_t total = planBytes.size();
  if (total <= minimum) return planBytes;
  // Strata of at most kSampleStratum bytes, and at least `minimum` of them.
  const size_t strata = std::max<size_t>(minimum, (total + kSampleStratum - 1) / kSampleStratum);
  std::vector<uint32_t> sample;
  sample.reserve(strata);
  for (size_t s = 0; s < strata; ++s) {
    size_t first = s * total / strata;
    size_t end = (s + 1) * total / strata;
    std::uniform_int_distribution<size_t> pick(first, end - 1);
    sample.push_back(planBytes[pick(random)]);
  }
  return sample;
}

uint32_t BytesBeyondMemory(const BProfile& profile) {
  const uint32_t capacity = profile.Capacity();
  uint32_t beyond = 0;
  for (int i = 0; i < kMaxFragments; ++i) {
    BMemRange range = profile.GetFragment(i).ImageRange();
    uint32_t end = range.start + range.length;
    if (range.length > 0 && end > capacity) beyond += end - std::max(range.start, capacity);
  }
  return beyond;
}
