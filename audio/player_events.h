// The playback engine's reports. All four run on the engine's own thread
// (audio/player.h gives its contract): they copy sound and post messages,
// and never wait for the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

class BPlayerEvents {
 public:
  virtual ~BPlayerEvents() = default;
  // Copies up to `size` bytes of sound and stores how many in `count`; false
  // when nothing is left. Runs inside the engine's buffer lock.
  virtual bool OnPlayerFill(uint8_t* buffer, uint32_t size, uint32_t& count) = 0;
  // Everything queued has played and there is no more sound.
  virtual void OnPlayerFinished() = 0;
  // The device played this many more samples since the previous report.
  virtual void OnPlayerPosition(uint32_t samples) = 0;
  // The device failed; nothing more plays.
  virtual void OnPlayerError(const std::string& text) = 0;
};
