// The readers' texts in the native build, which has no string table.
#include "audio/audio_texts.h"

std::string AudioText(unsigned id, unsigned long first, unsigned long second) {
  return "text " + std::to_string(id) + ": " + std::to_string(first) + ", " +
         std::to_string(second);
}

std::string AudioText(unsigned id, const std::string& name) {
  return "text " + std::to_string(id) + ": " + name;
}
