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

namespace {

// Which plan range (fragment) and which chip a plan byte lies in.
struct BSampleGroup {
  size_t range;
  uint32_t chip;
  bool operator==(const BSampleGroup& other) const {
    return range == other.range && chip == other.chip;
  }
};

BSampleGroup GroupOf(const std::vector<BMemRange>& plan, uint32_t k) {
  uint32_t before = 0;
  for (size_t r = 0; r < plan.size(); ++r) {
    if (k - before < plan[r].length) return {r, (plan[r].start + (k - before)) / kChipSize};
    before += plan[r].length;
  }
  return {plan.size(), 0};
}

// `count` of the `size` items from `first` on, evenly spaced, the first and
// the last among them.
void PickEvenly(const std::vector<uint32_t>& items, size_t first, size_t size, size_t count,
                std::vector<uint32_t>& sample) {
  count = std::min(count, size);
  if (count == 1) {
    sample.push_back(items[first]);
    return;
  }
  for (size_t j = 0; j < count; ++j) sample.push_back(items[first + j * (size - 1) / (count - 1)]);
}

}  // namespace

std::vector<uint32_t> SpreadSample(const BProfile& profile, const std::vector<uint32_t>& planBytes,
                                   uint32_t minimum) {
  if (planBytes.size() <= minimum) return planBytes;
  const std::vector<BMemRange>& plan = profile.GetTransferPlan();
  std::vector<uint32_t> sample;
  const size_t total = planBytes.size();
  size_t runStart = 0;
  BSampleGroup group = GroupOf(plan, planBytes[0]);
  for (size_t i = 1; i <= total; ++i) {
    BSampleGroup next = i < total ? GroupOf(plan, planBytes[i]) : BSampleGroup{plan.size() + 1, 0};
    if (next == group) continue;
    size_t size = i - runStart;
    size_t share = (size_t(minimum) * size + total - 1) / total;
    PickEvenly(planBytes, runStart, size, std::max<size_t>(2, share), sample);
    runStart = i;
    group = next;
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
