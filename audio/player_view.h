// What the player panel shows and asks of the main window: the trackbar
// (thumb, length, marked range), the time field, the play and loop buttons,
// the memory view's marker, the playlist row being heard and the waveform
// window. Everything here is called on the user-interface thread, except
// PostPlayerMessage, which the engine's thread calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/text.h"

// The messages of the engine's thread, in the order of their window messages.
enum class BPlayerMessage { Restarted, Finished, Position, Error };

class BPlayerView {
 public:
  virtual ~BPlayerView() = default;

  // Engine's thread: posts `message` to the window, which hands it back to
  // BPlayerPanel::HandleMessage on the user-interface thread. `run` is the run
  // it belongs to, `value` the samples of a position report.
  virtual void PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) = 0;

  // Where the thumb is. The user moves it (drag, keys, clicks on the channel)
  // without asking the panel, so the panel reads it whenever a rule starts
  // from it; everything else the view shows is the panel's.
  virtual uint32_t ThumbPosition() = 0;
  virtual void ShowThumb(uint32_t position) = 0;
  virtual void ShowSoundLength(uint32_t samples) = 0;
  // The marked range; none when end <= start.
  virtual void ShowRange(uint32_t start, uint32_t end) = 0;
  virtual void ShowTimeText(const std::string& text) = 0;  // "" empties the field
  virtual void SetPlayButtonState(bool stopped) = 0;
  // Whether the panel is enabled, plays, or offers the range changed: the
  // window decides its commands anew (BCommandRules) from IsEnabled,
  // IsPlaying and CanMarkRange.
  virtual void PlayerStateChanged() = 0;
  // The memory view: the marker at a memory address (-1 hides it), and a
  // repaint with the background erased.
  virtual void ShowMemoryMarker(int64_t address) = 0;
  virtual void RepaintMemoryView() = 0;
  // In playlist mode: playlist row `row` is being heard.
  virtual void ShowPlaylistRow(int row) = 0;
  // The sound was loaded, released or previewed; `sameSound` when it is the
  // sound shown before, back after an edit (the waveform keeps its view).
  virtual void SoundChanged(bool sameSound) = 0;
  // A line in the status log, and an error message box.
  virtual void ShowPlayerStatus(const BText& text) = 0;
  virtual void ShowPlayerError(const BText& text) = 0;
};
