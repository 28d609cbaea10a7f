// What the signal dialog needs of the window that owns the player: a sound of
// the dialog's own heard in place of the one loaded, and looped playback
// started and stopped. User-interface thread.
#pragma once

#include <cstdint>
#include <vector>

class BPreviewPlayer {
 public:
  virtual ~BPreviewPlayer() = default;
  virtual bool IsPlaying() const = 0;
  // true while nothing plays: looped playback starts; false while playing: it stops.
  virtual void SetPlaying(bool on) = 0;
  // `samples` in the siren's signed bytes; what played before stops.
  virtual void LoadPreview(const std::vector<uint8_t>& samples) = 0;
};
