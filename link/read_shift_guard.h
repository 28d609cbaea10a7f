// BReadShiftGuard: finds the bytes of a memory read phase whose replies may
// have shifted. A read reply names no address, so a reply that arrives twice
// (a late copy from the line) is taken for the answer to the next request,
// and every later byte may move by one. Such an extra reply always shows as
// a frame that answers nothing (the transport counts it) by the next marker:
// a detect request sent after every `interval` bytes and after the last one,
// whose reply code differs from a read's, so no read reply can pass for its
// answer and no marker reply for a byte. The bytes between two markers form
// a segment; a segment in which such a frame showed up (and the one before
// it, when the frame came with the segment's first byte) is suspect and is
// read again. Plain bookkeeping: the link calls it under its lock.
#pragma once

#include <cstdint>
#include <vector>

class BReadShiftGuard {
 public:
  static constexpr uint32_t kFirstPassInterval = 256;
  static constexpr uint32_t kRereadInterval = 32;

  void Start(uint32_t total, uint32_t interval);
  // After `done` bytes have been answered: is a marker due before the next?
  bool IsMarkerDue(uint32_t done) const;
  // `strays` frames answered nothing while the reply to job byte `jobByte`
  // (or to the marker behind it, `marker`) was awaited.
  void NoteStrays(uint32_t jobByte, bool marker, uint32_t strays);
  bool HasSuspects() const;
  // The job bytes of the suspect segments, in order.
  std::vector<uint32_t> SuspectJobBytes() const;

 private:
  uint32_t m_total = 0;
  uint32_t m_interval = kFirstPassInterval;
  std::vector<bool> m_suspect;  // per segment
};
