// The transfer speed and the time left of a memory job. The speed is measured
// over bytes 501 to 1499 and smoothed; the time left shown only ever goes down.
#pragma once

#include <cstdint>

class BJobProgress {
 public:
  struct Report {
    int speed;          // bytes per second, truncated, for the debug line
    bool showTimeLeft;  // a new, smaller time left is to be shown
    uint32_t secondsLeft;
  };

  void Start(uint32_t startTick, uint32_t total);
  Report OnProgress(uint32_t cursor, uint32_t nowTick);

  uint32_t Total() const { return m_total; }
  double Speed() const { return m_speed; }

 private:
  uint32_t m_startTick = 0;
  uint32_t m_total = 0;
  double m_speed = 0;
  uint32_t m_shownSecondsLeft = 0;
};
