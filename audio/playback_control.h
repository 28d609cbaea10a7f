// What the gain dialog needs of the window that owns the player: whether it
// plays, starting and stopping looped playback, and the lock under which the
// play buffer may be changed while the player's thread reads it.
#pragma once

class BPlaybackControl {
 public:
  virtual ~BPlaybackControl() = default;
  virtual bool IsPlaying() const = 0;
  // true while nothing plays: looped playback starts; false while playing: it stops.
  virtual void SetPlaying(bool on) = 0;
  virtual void LockPlayBuffer() = 0;
  virtual void UnlockPlayBuffer() = 0;
};
