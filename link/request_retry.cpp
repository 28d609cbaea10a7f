#include "link/request_retry.h"

#include <utility>

#include "link/siren_protocol.h"

bool BRequestRetry::IsRepeatable(uint8_t code) {
  return code != CMD_PLAY_FRAGMENT && code != CMD_PLAY_PLAYLIST;
}

void BRequestRetry::Reset() {
  m_hasRequest = false;
  m_sirenAnswered = false;
  m_tries = 0;
  m_count = 0;
}

void BRequestRetry::Sent(uint8_t code, uint8_t length, const uint8_t* payload) {
  m_hasRequest = true;
  m_code = code;
  m_payload.assign(payload, payload + length);
  m_tries = 0;
}

bool BRequestRetry::TakeRetry(bool garbled) {
  if (!m_hasRequest || !IsRepeatable(m_code) || m_tries >= kMaxRetries) return false;
  if (!garbled && !m_sirenAnswered) return false;
  ++m_tries;
  ++m_count;
  return true;
}

uint32_t BRequestRetry::TakeCount() { return std::exchange(m_count, 0u); }
