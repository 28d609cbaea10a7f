#include "link/reconnect_rule.h"

void BReconnectRule::Start(uint32_t now) {
  m_active = true;
  m_underWay = false;
  m_lastStart = now;
  m_attempts = 0;
}

void BReconnectRule::Stop() {
  m_active = false;
  m_underWay = false;
}

bool BReconnectRule::IsAttemptDue(uint32_t now) const {
  return m_active && !m_underWay && now - m_lastStart >= kIntervalMs;
}

void BReconnectRule::AttemptStarted(uint32_t now) {
  m_underWay = true;
  m_lastStart = now;
  ++m_attempts;
}

void BReconnectRule::AttemptFailed() { m_underWay = false; }
