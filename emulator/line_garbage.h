// BLineGarbage: line noise of the harsh kind, for a burst before a reply:
// random bytes rich in the reply start byte 0x55, a reply code with a wrong
// length byte, a code that is no reply, a frame cut short, and a whole valid
// frame of a code that cannot answer the request. Used by BSirenEmulator on
// its own thread; it owns nothing but its random generator's reference.
//
// A burst is only sent when a receiver that follows the reply rules (see
// siren::ReplyDataLength) still finds the reply behind it: everything it
// would take as a frame before the reply has a code that cannot answer the
// request, and nothing of the burst is left waiting once the reply is in.
// Noise that would destroy the reply is a dropped reply, which --drop-reply
// already gives; this is noise that a sound receiver must survive.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

class BLineGarbage {
 public:
  explicit BLineGarbage(std::mt19937& random) : m_random(random) {}

  // Bytes to send before `reply` (a whole reply frame), empty when no burst
  // that the reply survives was found in a few tries. `wholeFrame` tells
  // whether the burst holds a whole valid frame (of a code that cannot answer
  // the request, which a receiver must not take for the end of its wait).
  std::vector<uint8_t> MakeBurst(const std::vector<uint8_t>& reply, bool& wholeFrame);

  // Cuts `stream` into the frames a receiver following the reply rules
  // takes from it; `waiting` is the number of bytes it still holds at the
  // end (an incomplete frame, or bytes without a start byte).
  static std::vector<std::vector<uint8_t>> ScanReplies(const std::vector<uint8_t>& stream,
                                                       std::size_t& waiting);
  // True when `burst` followed by `reply` gives the reply, after only frames
  // that cannot answer its request, and leaves nothing waiting.
  static bool ReplySurvives(const std::vector<uint8_t>& burst, const std::vector<uint8_t>& reply);
  // True when a frame with this code could be taken as the answer to the
  // request whose reply has code `replyCode`.
  static bool CouldAnswer(uint8_t code, uint8_t replyCode);

 private:
  int Pick(int bound) { return static_cast<int>(m_random() % static_cast<unsigned>(bound)); }
  uint8_t RandomByte() { return static_cast<uint8_t>(Pick(256)); }
  uint8_t RandomReplyCode();
  void AppendItem(std::vector<uint8_t>& burst, uint8_t replyCode, bool& wholeFrame);

  std::mt19937& m_random;
};
