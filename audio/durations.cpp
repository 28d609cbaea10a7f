#include "audio/durations.h"

#include <cstdio>

uint32_t SamplesToMilliseconds(uint32_t samples) {
  return static_cast<uint32_t>(samples * 1000.0 / kSirenSampleRate);
}

std::string FragmentDurationText(uint32_t samples) {
  uint32_t ms = SamplesToMilliseconds(samples);
  char text[16];
  std::snprintf(text, sizeof(text), "%02u.%03u", ms / 1000 % 60, ms % 1000);
  return text;
}
