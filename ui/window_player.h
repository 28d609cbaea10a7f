// The main window's local player: BPlayer with its four callbacks handed on
// to the window. (The window cannot be the player itself: the player's and
// the serial link's error callbacks have the same signature.)
#pragma once

#include "audio/player.h"

class BPlayerEvents {
 public:
  virtual ~BPlayerEvents() = default;
  // All four run on the player's thread.
  virtual bool OnPlayerFill(uint8_t* buffer, uint32_t size, uint32_t& count) = 0;
  virtual void OnPlayerFinished() = 0;
  virtual void OnPlayerPosition(uint32_t samples) = 0;
  virtual void OnPlayerError(const std::string& text) = 0;
};

class BWindowPlayer : public BPlayer {
 public:
  explicit BWindowPlayer(BPlayerEvents& events) : m_events(events) {}

 protected:
  bool OnFillBuffer(uint8_t* buffer, uint32_t size, uint32_t& count) override {
    return m_events.OnPlayerFill(buffer, size, count);
  }
  void OnFinished() override { m_events.OnPlayerFinished(); }
  void OnPosition(uint32_t samples) override { m_events.OnPlayerPosition(samples); }
  void OnError(const std::string& text) override { m_events.OnPlayerError(text); }

 private:
  BPlayerEvents& m_events;
};
