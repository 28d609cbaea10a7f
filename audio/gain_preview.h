// The gain dialog's preview: the range of the player's sound heard with the
// gain the slider sets, looped on request. Every preview starts from the
// samples as they were when the dialog opened, so previews never compound,
// and Restore gives the player its sound back as it was (a cancelled gain
// leaves no trace).
//
// Threads: the user-interface thread. The samples belong to the player, whose
// engine thread reads them: they are written only inside the player's buffer
// lock. The dialog owns the object for its lifetime.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/playback_control.h"

class BGainPreview {
 public:
  // `samples` are the player's unsigned bytes; offset..offset+length is previewed.
  BGainPreview(BPlaybackControl& player, uint8_t* samples, uint32_t offset, uint32_t length);

  void Write(int32_t gain);
  void Restore() { Write(0); }
  // The largest gain that clips nothing in the range.
  int32_t NormalizingGain() const;

  bool IsPlaying() const { return m_player.IsPlaying(); }
  // Starts looped playback while nothing plays, stops it otherwise.
  void TogglePlayback() { m_player.SetPlaying(!m_player.IsPlaying()); }
  // The dialog closes: a running preview stops, nothing is started.
  void End() { m_player.SetPlaying(false); }

 private:
  BPlaybackControl& m_player;
  uint8_t* m_target;
  std::vector<uint8_t> m_saved;  // the range as it was
};
