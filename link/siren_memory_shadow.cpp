#include "link/siren_memory_shadow.h"

BSirenMemoryShadow::BSirenMemoryShadow() : m_values(kImageSize, 0xFF), m_known(kImageSize, false) {}

void BSirenMemoryShadow::Forget() {
  m_known.assign(kImageSize, false);
  m_knownCount = 0;
}

void BSirenMemoryShadow::Confirm(uint32_t address, uint8_t value) {
  if (address >= kImageSize) return;
  if (!m_known[address]) ++m_knownCount;
  m_known[address] = true;
  m_values[address] = value;
}

void BSirenMemoryShadow::Unconfirm(uint32_t address) {
  if (address >= kImageSize || !m_known[address]) return;
  m_known[address] = false;
  --m_knownCount;
}

bool BSirenMemoryShadow::IsKnown(uint32_t address) const {
  return address < kImageSize && m_known[address];
}

bool BSirenMemoryShadow::Holds(uint32_t address, uint8_t value) const {
  return IsKnown(address) && m_values[address] == value;
}

std::vector<uint32_t> BSirenMemoryShadow::DifferingPlanBytes(const BProfile& profile) const {
  std::vector<uint32_t> differing;
  uint32_t k = 0;
  for (const BMemRange& range : profile.GetTransferPlan()) {
    for (uint32_t i = 0; i < range.length; ++i, ++k) {
      uint32_t address = range.start + i;
      if (address >= kImageSize || !Holds(address, profile.Image()[address]))
        differing.push_back(k);
    }
  }
  return differing;
}

std::vector<uint32_t> BSirenMemoryShadow::DifferingAmong(
    const BProfile& profile, const std::vector<uint32_t>& planBytes) const {
  std::vector<uint32_t> differing;
  for (uint32_t k : planBytes) {
    uint32_t address = 0;
    if (!profile.TransferAddress(k, address) || !Holds(address, profile.Image()[address]))
      differing.push_back(k);
  }
  return differing;
}

std::vector<BFragmentDifference> BSirenMemoryShadow::FragmentDifferences(
    const BProfile& profile) const {
  std::vector<BFragmentDifference> result;
  const std::vector<BMemRange>& plan = profile.GetTransferPlan();
  for (size_t r = 0; r < plan.size(); ++r) {
    BFragmentDifference difference;
    difference.fragment = profile.GetTransferFragments()[r];
    for (uint32_t i = 0; i < plan[r].length; ++i) {
      uint32_t address = plan[r].start + i;
      if (address < kImageSize && Holds(address, profile.Image()[address])) continue;
      if (difference.bytes++ == 0) difference.firstAddress = address;
    }
    if (difference.bytes > 0) result.push_back(difference);
  }
  return result;
}
