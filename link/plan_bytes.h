// The plan bytes a memory job moves or checks, counted by address: a damaged
// table may hold overlapping fragments, whose shared addresses the plan
// lists more than once; and the spread sample that checks a siren quickly.
// Plain functions over the profile's transfer plan (BProfile::BuildTransferPlan
// must have been called); the caller guards the profile.
#pragma once

#include <cstdint>
#include <vector>

#include "model/profile.h"

// The plan bytes (numbers k of BProfile::TransferAddress) in plan order,
// without those whose address an earlier plan byte already has.
std::vector<uint32_t> UniquePlanBytes(const BProfile& profile);

// A sample of `planBytes` (in plan order) spread over all of them: at least
// `minimum` of them (all when there are no more), and in every run that lies
// in one fragment and one memory chip at least its first and last bytes and
// a share by its size, evenly spaced. A siren that holds other content, a
// dead chip or a fragment of cells that did not take a write shows in it.
std::vector<uint32_t> SpreadSample(const BProfile& profile, const std::vector<uint32_t>& planBytes,
                                   uint32_t minimum = 32);

// The bytes of the fragments in use that lie outside the siren's memory (all
// of them while the memory size is not known): they are neither written nor
// compared.
uint32_t BytesBeyondMemory(const BProfile& profile);
