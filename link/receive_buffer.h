// The bytes received from the siren and not yet consumed, oldest first, in
// one contiguous block so that the port can read straight into its free end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BReceiveBuffer {
 public:
  // Room for 4096 bytes plus one.
  static constexpr size_t kCapacity = 4096 + 1;
  static constexpr size_t kNotFound = static_cast<size_t>(-1);

  BReceiveBuffer();

  size_t Size() const { return m_size; }
  size_t FreeSpace() const { return kCapacity - m_size; }
  bool IsFull() const { return m_size == kCapacity; }

  // Appends at most the free space; returns the number of bytes taken.
  size_t Append(const uint8_t* bytes, size_t count);

  // For reading straight into the buffer: write at most FreeSpace() bytes at
  // FreeEnd(), then Commit() the number actually written.
  uint8_t* FreeEnd() { return m_bytes.data() + m_size; }
  void Commit(size_t count);

  // Copies the first `count` bytes (at most Size()) to `out`.
  void Peek(uint8_t* out, size_t count) const;
  // The position of the first byte with this value, or kNotFound.
  size_t Find(uint8_t value) const;
  // Removes the first `count` bytes (at most Size()); the rest moves to the front.
  void Drop(size_t count);
  void Clear() { m_size = 0; }

 private:
  std::vector<uint8_t> m_bytes;
  size_t m_size = 0;
};
