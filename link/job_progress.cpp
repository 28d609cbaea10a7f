#include "link/job_progress.h"

void BJobProgress::Start(uint32_t startTick, uint32_t total) {
  m_startTick = startTick;
  m_total = total;
  m_speed = 0;
  m_shownSecondsLeft = 0;
}

BJobProgress::Report BJobProgress::OnProgress(uint32_t cursor, uint32_t nowTick) {
  if (cursor > 500 && cursor < 1500) {
    uint32_t elapsed = nowTick - m_startTick;  // wraps like the tick count
    if (elapsed != 0) {
      double measured = cursor * 1000.0 / elapsed;
      m_speed = m_speed == 0 ? measured : m_speed + (measured - m_speed) * 7 / 8;
    }
  }
  Report report = {static_cast<int>(m_speed), false, 0};
  if (cursor > 1000 && m_speed > 0 && cursor <= m_total) {
    uint32_t left = static_cast<uint32_t>((m_total - cursor) / m_speed);
    if (m_shownSecondsLeft == 0 || left < m_shownSecondsLeft) {
      m_shownSecondsLeft = left;
      report.showTimeLeft = true;
      report.secondsLeft = left;
    }
  }
  return report;
}
