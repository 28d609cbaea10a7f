// The Windows player as the player panel sees it: BPlayer over wave-out,
// adapted to BPlayerEngine, with its four callbacks handed on to the panel
// (BPlayerEvents) on the player's own thread. The main window owns it and
// closes it before the panel goes.
#pragma once

#include "audio/player.h"
#include "audio/player_engine.h"
#include "audio/player_events.h"

class BWindowPlayer : public BPlayer, public BPlayerEngine {
 public:
  explicit BWindowPlayer(BPlayerEvents& events) : m_events(events) {}

  bool Open() override { return BPlayer::Open(); }
  bool IsOpen() const override { return BPlayer::IsOpen(); }
  void Play() override { BPlayer::Play(); }
  void Pause() override { BPlayer::Pause(); }
  void Reset() override { BPlayer::Reset(); }  // a failed reset is not shown
  void LockBuffer() override { BPlayer::LockBuffer(); }
  void UnlockBuffer() override { BPlayer::UnlockBuffer(); }
  std::string GetErrorText() const override { return BPlayer::GetErrorText(); }

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
