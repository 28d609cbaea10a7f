// BFragment: one slot of the fragment table.
#pragma once

#include <cstdint>
#include <string>

#include "model/geometry.h"
#include "model/mem_range.h"

struct BFragment {
  std::string name;  // UTF-8, as much as the profile file holds (FitName)
  uint32_t start = kEmptySlotValue;
  uint32_t length = kEmptySlotValue;
  bool synced = false;  // the siren's slot is known to hold this fragment

  // A slot is in use when both its start and its length are valid addresses.
  bool IsInUse() const { return IsValidAddress(start) && IsValidAddress(length); }

  // The part of the fragment that lies inside the image; empty for an empty
  // slot. Every copy into or out of the image goes through this, so that a
  // table read from a file or from the siren can never lead outside the image.
  BMemRange ImageRange() const;

  static BFragment Empty() { return BFragment(); }
};

// Cuts a name to what the profile file can hold.
std::string LimitFragmentName(const std::string& name);
