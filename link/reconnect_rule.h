// BReconnectRule: when the program tries to open a failed port again. After
// the port failed (an adapter pulled out, a server gone), an attempt is due
// once a second has passed since the failure or since the last attempt
// began, and never while one is under way: a refused connection or a
// missing port is tried again every second, and an attempt that takes longer
// (a network connect waits up to its own limit) is followed by the next as
// soon as it has failed. Times are millisecond ticks that may wrap around.
//
// Portable; the siren link keeps one on the user-interface thread and asks
// it on every tick of the window's retry timer.
#pragma once

#include <cstdint>

class BReconnectRule {
 public:
  static constexpr uint32_t kIntervalMs = 1000;

  // The port failed at `now`: the attempts begin.
  void Start(uint32_t now);
  // The port is back, or the user gave up: no more attempts.
  void Stop();
  bool IsActive() const { return m_active; }

  bool IsAttemptDue(uint32_t now) const;
  void AttemptStarted(uint32_t now);
  // The attempt ended without the siren; the next one waits for its turn.
  void AttemptFailed();
  bool IsAttemptUnderWay() const { return m_underWay; }
  // Attempts begun since Start.
  uint32_t Attempts() const { return m_attempts; }

 private:
  bool m_active = false;
  bool m_underWay = false;
  uint32_t m_lastStart = 0;  // the failure, then the start of the last attempt
  uint32_t m_attempts = 0;
};
