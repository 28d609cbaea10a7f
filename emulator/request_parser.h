// BSirenRequestParser: cuts the byte stream that reaches the device into
// request frames (0xAA, code, length, payload, XOR checksum).
//
// A frame counts only when its code is one the device knows and its length is
// the one that code takes; anything else before the next good frame is noise.
// A frame with a wrong checksum costs only its start byte: the parser looks
// for the next 0xAA from the byte after it, which may lie inside the bad frame.
// So an unknown command code is never answered: it is skipped like noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct BSirenRequest {
  uint8_t code = 0;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> frame;  // the whole frame as received
};

struct BParserEvent {
  enum class Kind {
    Request,      // a good frame: request holds it
    Noise,        // bytes skipped while looking for a frame start: bytes holds them
    BadChecksum,  // a frame whose checksum failed: bytes holds it; only its start byte is dropped
  };
  Kind kind = Kind::Noise;
  BSirenRequest request;
  std::vector<uint8_t> bytes;
  // How many bytes of the chunk given to Feed had arrived when this event
  // was complete; pacing uses it to know when a request ended on the line.
  std::size_t chunkOffset = 0;
};

class BSirenRequestParser {
 public:
  // Takes the next chunk of the stream and returns what it completed, in
  // order. Skipped bytes are reported once the skipping ends (at a frame
  // start or at the end of the chunk).
  std::vector<BParserEvent> Feed(const uint8_t* bytes, std::size_t count);
  // Forgets a partial frame, e.g. when the other side hangs up.
  void Clear();
  std::size_t PendingBytes() const { return m_pending.size(); }

 private:
  void ParsePending(std::size_t chunkOffset, std::vector<BParserEvent>& events);
  void DropNoise(std::size_t count);
  void FlushNoise(std::size_t chunkOffset, std::vector<BParserEvent>& events);

  std::vector<uint8_t> m_pending;  // received, not yet consumed
  std::vector<uint8_t> m_noise;    // skipped, not yet reported
};
