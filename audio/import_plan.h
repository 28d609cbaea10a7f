// Where an imported sound goes: the choice of a free block, the offer to cut
// a sound that fits nowhere, the name of the new fragment and the texts of
// the import's questions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/mem_range.h"

struct BImportPlan {
  bool fits = false;                 // a free block holds the whole sound: `chosen`
  BMemRange chosen;                  // the first block long enough, else the largest
  bool fitsAfterDefragment = false;  // more than one block and room enough in all of them
};

// Bytes of siren sound that `milliseconds` need, in 64 bits so that long
// files do not wrap around.
uint64_t BytesForMilliseconds(int64_t milliseconds);

// First fit in address order; when nothing fits, the largest block (the
// earliest of equal ones). The blocks must not be empty.
BImportPlan PlanImport(const std::vector<BMemRange>& freeBlocks, uint64_t neededBytes);

// The fragment name of a file: the path cut before its last "." and then
// reduced to what follows its last "\" (a dot in a folder name counts when
// the file itself has none).
std::string FragmentNameFromPath(const std::string& path);

// "00:%02d.%03d": how much of a sound fits.
std::string RoomDurationText(uint32_t milliseconds);
// "%02d:%02d.%03d", or "%d:%02d:%02d.%03d" from one hour on: a file's length.
std::string FileDurationText(uint32_t milliseconds);
