// BLinePacer: when each reply may leave. Without pacing a reply leaves as soon
// as its request is read (plus the --delay). With pacing the emulator holds
// the timing of a real 115200 baud 8N1 line (10 bits, 86.8 us per byte) in
// both directions: a request counts as received only when its bytes would
// have finished arriving one after another on the line, and the reply is
// written when its bytes would have finished leaving.
//
// All times are nanoseconds of a monotonic clock; the caller reads the clock
// and sleeps until the absolute deadlines, so that rounding and wake-up
// latency never add up over a long transfer.
#pragma once

#include <cstddef>
#include <cstdint>

class BLinePacer {
 public:
  static constexpr int64_t kBaudRate = 115200;
  static constexpr int64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

  BLinePacer(bool pace, int64_t delayNs) : m_pace(pace), m_delayNs(delayNs) {}

  // Wire time of a number of bytes, rounded to the nearest nanosecond.
  static int64_t WireTime(std::size_t bytes);

  // A chunk of count bytes was read at now.
  void OnChunkRead(int64_t now, std::size_t count);
  // When the request that ended chunkOffset bytes into that chunk had
  // arrived completely.
  int64_t RequestEnd(std::size_t chunkOffset) const;
  // The absolute time at which the reply of replyBytes to a request that
  // ended at requestEnd is to be written. Replies leave in call order.
  int64_t ReplyDeadline(int64_t requestEnd, std::size_t replyBytes);
  // The absolute time at which bytes the device sends on its own at now
  // (not in answer to a request) are to be written.
  int64_t SendDeadline(int64_t now, std::size_t bytes);
  // The line sat idle (the other side hung up): forget its history.
  void Reset();

 private:
  bool m_pace;
  int64_t m_delayNs;
  int64_t m_chunkStart = 0;    // when the first byte of the last chunk started on the line
  int64_t m_receiveFree = 0;   // when the receive line is free again
  int64_t m_transmitFree = 0;  // when the transmit line is free again
};
