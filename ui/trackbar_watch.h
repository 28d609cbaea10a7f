// BTrackbarWatch: tells its owner whenever the player's trackbar may change
// its position, range or marked selection, whoever changes them (a command,
// the player's messages, the user's mouse or keys). The waveform window shows
// the same position and range and repaints on that call.
//
// Threads: the user-interface thread. The main window owns the watch; the
// watch takes over the trackbar's window procedure until it is destroyed.
#pragma once

#include <functional>

#include "toolkit/window_impl.h"

class BTrackbarWatch : public BWindowImpl {
 public:
  explicit BTrackbarWatch(std::function<void()> onChange) : m_onChange(std::move(onChange)) {}

 protected:
  // Called before the trackbar handles the message, so the owner must only
  // schedule work (a repaint), never read the trackbar here.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  std::function<void()> m_onChange;
};
