// BSirenMemoryShadow: what the program knows the connected siren's memory
// holds. A byte becomes known when a read, a write or a verification over the
// open connection has it confirmed (its reply had status 0); connecting and
// disconnecting forget everything, because another program may have changed
// the siren in between. A byte not known counts as different from anything.
//
// It lets "write changes" send only the bytes of the transfer plan that differ
// from the profile, and the verification report what differs.
//
// Threads: owned by BSirenLink. The worker thread confirms bytes from its reply
// handlers and the user-interface thread queries and forgets; BSirenLink calls
// both under its m_lock, so this class has no lock of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "model/profile.h"

// One fragment of a comparison between the profile and the shadow.
struct BFragmentDifference {
  int fragment = -1;
  uint32_t bytes = 0;         // bytes that differ (or are not known)
  uint32_t firstAddress = 0;  // the first of them, in address order
};

class BSirenMemoryShadow {
 public:
  BSirenMemoryShadow();

  void Forget();
  void Confirm(uint32_t address, uint8_t value);
  // The byte is no longer known (a read of it may have been wrong).
  void Unconfirm(uint32_t address);
  bool IsKnown(uint32_t address) const;
  // True when the byte is known to hold `value`.
  bool Holds(uint32_t address, uint8_t value) const;
  uint32_t KnownCount() const { return m_knownCount; }

  // The plan bytes (numbers k of BProfile::TransferAddress, in plan order)
  // whose image byte the siren is not known to hold. The plan must be built.
  std::vector<uint32_t> DifferingPlanBytes(const BProfile& profile) const;
  // The same, among the given plan bytes only.
  std::vector<uint32_t> DifferingAmong(const BProfile& profile,
                                       const std::vector<uint32_t>& planBytes) const;
  // Per fragment of the transfer plan with at least one differing byte: the
  // count and the first address. The plan must be built.
  std::vector<BFragmentDifference> FragmentDifferences(const BProfile& profile) const;

 private:
  std::vector<uint8_t> m_values;
  std::vector<bool> m_known;
  uint32_t m_knownCount = 0;
};
