// What the player panel needs of the playback engine: the Windows player
// (BPlayer over wave-out) adapted to it by the main window, a fake in the
// tests. Everything here is called on the user-interface thread; the engine's
// own thread reports through BPlayerEvents.
#pragma once

#include <string>

class BPlayerEngine {
 public:
  virtual ~BPlayerEngine() = default;
  // Opens the sound device, paused; false with the error text when it cannot.
  virtual bool Open() = 0;
  virtual bool IsOpen() const = 0;
  // Play lets the engine ask for sound; Pause stops the asking (what is
  // queued still plays out) and returns only when no fill is in progress.
  virtual void Play() = 0;
  virtual void Pause() = 0;
  // Silences what is queued and restarts the count of samples played.
  virtual void Reset() = 0;
  // The lock the engine's thread fills in: the panel changes its sound only
  // inside it. Recursive.
  virtual void LockBuffer() = 0;
  virtual void UnlockBuffer() = 0;
  virtual std::string GetErrorText() const = 0;
};
