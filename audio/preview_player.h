// What the signal dialog needs of the window that owns the player: besides
// starting and stopping looped playback, a sound of the dialog's own heard in
// place of the one loaded. User-interface thread.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/playback_control.h"

class BPreviewPlayer : public BPlaybackControl {
 public:
  // `samples` in the siren's signed bytes; what played before stops.
  virtual void LoadPreview(const std::vector<uint8_t>& samples) = 0;
};
