#include "emulator/line_pacer.h"

#include <algorithm>

int64_t BLinePacer::WireTime(std::size_t bytes) {
  const int64_t bits = static_cast<int64_t>(bytes) * kBitsPerByte;
  return (bits * 1000000000 + kBaudRate / 2) / kBaudRate;
}

void BLinePacer::OnChunkRead(int64_t now, std::size_t count) {
  if (!m_pace) {
    m_chunkStart = now;
    return;
  }
  // Bytes read together were sent together: they start on the line when it
  // is free and follow one another.
  m_chunkStart = std::max(now, m_receiveFree);
  m_receiveFree = m_chunkStart + WireTime(count);
}

int64_t BLinePacer::RequestEnd(std::size_t chunkOffset) const {
  return m_pace ? m_chunkStart + WireTime(chunkOffset) : m_chunkStart;
}

int64_t BLinePacer::ReplyDeadline(int64_t requestEnd, std::size_t replyBytes) {
  const int64_t ready = requestEnd + m_delayNs;
  if (!m_pace) return ready;
  const int64_t deadline = std::max(ready, m_transmitFree) + WireTime(replyBytes);
  m_transmitFree = deadline;
  return deadline;
}

int64_t BLinePacer::SendDeadline(int64_t now, std::size_t bytes) {
  if (!m_pace) return now;
  m_transmitFree = std::max(now, m_transmitFree) + WireTime(bytes);
  return m_transmitFree;
}

void BLinePacer::Reset() {
  m_receiveFree = 0;
  m_transmitFree = 0;
}
