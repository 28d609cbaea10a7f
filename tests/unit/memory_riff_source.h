// A RIFF source over bytes in memory that follows the rules of multimedia
// file I/O as the program meets them: a descent reads a 12-byte header (at
// least 8 bytes must be there), a RIFF search skips other chunks by their
// size rounded up to even, and after entering a RIFF or LIST chunk the
// position stands behind its 4-byte type. A failed descent restores the
// position and reports "chunk not found".
#pragma once

#include "audio/wave_chunks.h"

#include <algorithm>
#include <cstring>
#include <vector>

class BMemoryRiffSource : public BRiffSource {
 public:
  explicit BMemoryRiffSource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

  uint32_t DescendRiff(BChunkInfo& form) override {
    const uint64_t start = m_position;
    for (;;) {
      if (!ReadHeader(form)) {
        m_position = start;
        return kRiffChunkNotFound;
      }
      if (form.id == kRiffId) break;
      m_position = form.dataOffset + ((static_cast<uint64_t>(form.size) + 1) & ~uint64_t(1));
    }
    m_position = form.dataOffset + 4;
    return 0;
  }

  uint32_t DescendNext(BChunkInfo& chunk) override {
    const uint64_t start = m_position;
    if (!ReadHeader(chunk)) {
      m_position = start;
      return kRiffChunkNotFound;
    }
    m_position = chunk.dataOffset + (chunk.id == kRiffId || chunk.id == kListId ? 4 : 0);
    return 0;
  }

  int32_t Read(uint8_t* buffer, uint32_t size) override {
    if (m_position >= m_bytes.size()) return 0;
    const uint64_t count = std::min<uint64_t>(size, m_bytes.size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, count);
    m_position += count;
    return static_cast<int32_t>(count);
  }

  uint32_t SeekTo(uint32_t offset) override {
    m_position = offset;  // past the end is allowed, as for a file
    return 0;
  }

  uint32_t GetFileSize(uint32_t& size) override {
    size = static_cast<uint32_t>(m_bytes.size());
    return 0;
  }

  uint64_t Position() const { return m_position; }

 private:
  bool ReadHeader(BChunkInfo& chunk) {
    uint8_t header[12] = {};
    const uint64_t at = m_position;
    if (at >= m_bytes.size() || m_bytes.size() - at < 8) return false;
    std::memcpy(header, m_bytes.data() + at, std::min<uint64_t>(12, m_bytes.size() - at));
    std::memcpy(&chunk.id, header, 4);
    std::memcpy(&chunk.size, header + 4, 4);
    std::memcpy(&chunk.formType, header + 8, 4);
    chunk.dataOffset = static_cast<uint32_t>(at + 8);
    return true;
  }

  std::vector<uint8_t> m_bytes;
  uint64_t m_position = 0;
};
