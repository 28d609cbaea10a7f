#include "link/receive_buffer.h"

#include <algorithm>
#include <cstring>

BReceiveBuffer::BReceiveBuffer() : m_bytes(kCapacity) {}

size_t BReceiveBuffer::Append(const uint8_t* bytes, size_t count) {
  size_t taken = std::min(count, FreeSpace());
  if (taken > 0) std::memcpy(FreeEnd(), bytes, taken);
  m_size += taken;
  return taken;
}

void BReceiveBuffer::Commit(size_t count) { m_size += std::min(count, FreeSpace()); }

void BReceiveBuffer::Peek(uint8_t* out, size_t count) const {
  std::memcpy(out, m_bytes.data(), std::min(count, m_size));
}

size_t BReceiveBuffer::Find(uint8_t value) const {
  const uint8_t* begin = m_bytes.data();
  const uint8_t* found = std::find(begin, begin + m_size, value);
  return found == begin + m_size ? kNotFound : static_cast<size_t>(found - begin);
}

void BReceiveBuffer::Drop(size_t count) {
  count = std::min(count, m_size);
  std::memmove(m_bytes.data(), m_bytes.data() + count, m_size - count);
  m_size -= count;
}
