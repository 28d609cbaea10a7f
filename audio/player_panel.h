// The player panel: listening to one fragment or to the whole playlist on
// the computer. It owns the play buffer and the player's state and rules:
// loading and releasing the sound, play, pause, loop and stop, the start
// position, seeking, the marked range (playback stays inside it, and the
// range commands edit it), the time text, the memory marker, the playlist row
// being heard, and the messages of the engine's thread. It is a plain class:
// the main window owns it, adapts the Windows player to BPlayerEngine, shows
// what it is told through BPlayerView and forwards its commands to it.
//
// Threads: OnPlayerFill, OnPlayerFinished, OnPlayerPosition and
// OnPlayerError run on the engine's thread; everything else on the
// user-interface thread. The play buffer is shared: the engine's thread fills
// from it inside the engine's buffer lock, and this thread changes it only
// inside that lock. Whenever this thread moves, loads, releases or stops the
// sound it begins a new run (m_run, in the same lock); the engine's thread
// tags every message with the run of its last fill, and messages of an
// earlier run are dropped when they arrive. m_looping is read by the engine's
// thread; the error text of the engine's thread is guarded by m_errorLock.
// Everything else belongs to the user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/play_buffer.h"
#include "audio/preview_player.h"
#include "audio/player_engine.h"
#include "audio/player_events.h"
#include "audio/player_view.h"
#include "model/profile.h"

class BPlayerPanel : public BPlayerEvents, public BPreviewPlayer {
 public:
  BPlayerPanel(const BProfile& profile, BPlayerEngine& engine, BPlayerView& view);

  // The sound device, opened once at start-up. Without it the panel still
  // loads and shows sounds, but play says why nothing plays.
  void OpenDevice();
  // Enables or greys the panel; greying also stops and empties the player.
  void Enable(bool enable);

  // A fragment of the profile; `afterEdit` when it is the fragment just
  // shown, back after an edit of its bytes. The window greys the panel first
  // (a selection change does), which stops and empties the player.
  void LoadFragment(int index, bool afterEdit);
  // The playlist as one sound, played at once; the range commands stay off.
  void PlayPlaylist();
  void Release();
  // Someone else's sound (the signal dialog's preview), in the siren's signed
  // bytes, in place of the one held: from its start, with no range. The
  // panel stays greyed or enabled as it was.
  void LoadPreview(const std::vector<uint8_t>& samples) override;

  void PlayPause();
  void LoopPlay();
  void Stop();
  bool IsPlaying() const override { return m_playing; }
  bool IsEnabled() const { return m_enabled; }
  void SetPlaying(bool on) override;
  // The user moved the thumb: the displays follow; `seek` (a drag or a page
  // step) also moves playback there.
  void OnThumbMoved(bool seek);
  // As a drag of the thumb to `position`.
  void Seek(uint32_t position);
  uint32_t Position() { return m_view.ThumbPosition(); }

  // The marked range: false when none is marked (end <= start).
  bool GetRange(uint32_t& start, uint32_t& end) const;
  // Whether the range commands apply: a fragment loaded, not the playlist.
  bool CanMarkRange() const;
  void MarkRangeStart();
  void MarkRangeEnd();
  void MarkRange(uint32_t start, uint32_t end);
  void MarkAll();
  // The part before the range, else the part after it; a whole-sound range goes.
  void InvertRange();
  void CancelRange();

  // The time field for `position`, and the memory marker (with the playlist
  // row in playlist mode) for a buffer position, -1 for none.
  void ShowPlayTime(uint32_t position);
  void ShowPlayPosition(int64_t position);

  const BPlayBuffer& Buffer() const { return m_buffer; }
  bool IsPlaylist() const { return m_playlistMode; }
  uint32_t CurrentRun() const { return m_run; }
  // The gain dialog's preview writes into the samples inside this lock; the
  // waveform follows when it is released.
  uint8_t* PreviewSamples() { return m_buffer.Data(); }
  void LockPlayBuffer() override { m_engine.LockBuffer(); }
  void UnlockPlayBuffer() override;

  // User-interface thread: a message the engine's thread posted.
  void HandleMessage(BPlayerMessage message, uint32_t value, uint32_t run);

  // Engine's thread.
  bool OnPlayerFill(uint8_t* buffer, uint32_t size, uint32_t& count) override;
  void OnPlayerFinished() override;
  void OnPlayerPosition(uint32_t samples) override;
  void OnPlayerError(const std::string& text) override;

 private:
  bool DeviceReady();
  void EnableRangeCommands(bool enable);
  void SetRange(uint32_t start, uint32_t end);
  void ShowLoadedSound(bool sameSound);
  void ApplyStartPosition();
  void MoveTo(uint32_t position);
  void BeginRun();
  void ShowStopped();
  void OnRestarted();
  void OnFinished();
  void OnPosition(uint32_t samples);
  void OnError();

  const BProfile& m_profile;
  BPlayerEngine& m_engine;
  BPlayerView& m_view;

  BPlayBuffer m_buffer;                // shared: changed inside the engine's lock
  std::atomic<uint32_t> m_run{0};      // changed inside the engine's lock
  uint32_t m_filledRun = 0;            // engine's thread only
  std::atomic<bool> m_looping{false};  // read by the engine's thread
  bool m_playing = false;
  bool m_playlistMode = false;
  bool m_enabled = false;
  bool m_rangeCommands = false;
  uint32_t m_rangeStart = 0;
  uint32_t m_rangeEnd = 0;
  uint32_t m_lastReportedPosition = 0;
  std::string m_deviceError;  // why the device did not open
  std::mutex m_errorLock;
  std::string m_engineError;  // guarded by m_errorLock
};
