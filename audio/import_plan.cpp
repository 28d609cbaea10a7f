#include "audio/import_plan.h"

#include <cstdio>

#include "audio/durations.h"

uint64_t BytesForMilliseconds(int64_t milliseconds) {
  if (milliseconds <= 0) return 0;
  return static_cast<uint64_t>(milliseconds) * kSirenRate / 1000;
}

BImportPlan PlanImport(const std::vector<BMemRange>& freeBlocks, uint64_t neededBytes) {
  BImportPlan plan;
  uint64_t total = 0;
  bool haveLargest = false;
  for (const BMemRange& block : freeBlocks) {
    total += block.length;
    if (!haveLargest || block.length > plan.chosen.length) {
      plan.chosen = block;
      haveLargest = true;
    }
    if (block.length >= neededBytes) {
      plan.chosen = block;
      plan.fits = true;
      return plan;
    }
  }
  plan.fitsAfterDefragment = freeBlocks.size() > 1 && total > neededBytes;
  return plan;
}

std::string FragmentNameFromPath(const std::string& path) {
  std::string name = path;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  size_t slash = name.rfind('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return name;
}

std::string RoomDurationText(uint32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "00:%02u.%03u", milliseconds / 1000 % 60, milliseconds % 1000);
  return text;
}

std::string FileDurationText(uint32_t milliseconds) {
  char text[48];
  uint32_t minutes = milliseconds / 60000 % 60;
  uint32_t seconds = milliseconds / 1000 % 60;
  uint32_t rest = milliseconds % 1000;
  if (milliseconds < 3600000u)
    std::snprintf(text, sizeof(text), "%02u:%02u.%03u", minutes, seconds, rest);
  else
    std::snprintf(text, sizeof(text), "%u:%02u:%02u.%03u", milliseconds / 3600000u, minutes,
                  seconds, rest);
  return text;
}
