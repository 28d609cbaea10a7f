// The plan bytes a memory job moves or checks, counted by address: a damaged
// table may hold overlapping fragments, whose shared addresses the plan
// lists more than once; and the random sample that checks a siren quickly.
// Plain functions over the profile's transfer plan (BProfile::BuildTransferPlan
// must have been called); the caller guards the profile.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "model/profile.h"

// The plan bytes (numbers k of BProfile::TransferAddress) in plan order,
// without those whose address an earlier plan byte already has.
std::vector<uint32_t> UniquePlanBytes(const BProfile& profile);

// The read-back that checks a siren quickly: one plan byte drawn at random
// from every stratum of kSampleStratum consecutive `planBytes` (in plan
// order; at least `minimum` strata, all bytes when there are no more). A
// difference of d bytes anywhere among them, in one run or scattered, is
// missed with a probability of at most exp(-d / kSampleStratum): 1 % for a
// tenth of a second of sound (977 bytes). `random` gives each draw, so every
// read-back looks at other bytes.
constexpr uint32_t kSampleStratum = 212;
std::vector<uint32_t> RandomSample(const std::vector<uint32_t>& planBytes, std::mt19937& random,
                                   uint32_t minimum = 32);

// The bytes of the fragments in use that lie outside the siren's memory (all
// of them while the memory size is not known): they are neither written nor
// compared.
uint32_t BytesBeyondMemory(const BProfile& profile);
