#include "emulator/request_parser.h"

#include "emulator/siren_protocol.h"

std::vector<BParserEvent> BSirenRequestParser::Feed(const uint8_t* bytes, std::size_t count) {
  std::vector<BParserEvent> events;
  // One byte at a time, so that each event knows where in the chunk it ended.
  for (std::size_t i = 0; i < count; ++i) {
    m_pending.push_back(bytes[i]);
    ParsePending(i + 1, events);
  }
  FlushNoise(count, events);
  return events;
}

void BSirenRequestParser::Clear() {
  m_pending.clear();
  m_noise.clear();
}

void BSirenRequestParser::DropNoise(std::size_t count) {
  m_noise.insert(m_noise.end(), m_pending.begin(), m_pending.begin() + count);
  m_pending.erase(m_pending.begin(), m_pending.begin() + count);
}

void BSirenRequestParser::FlushNoise(std::size_t chunkOffset, std::vector<BParserEvent>& events) {
  if (m_noise.empty()) return;
  BParserEvent event;
  event.kind = BParserEvent::Kind::Noise;
  event.bytes.swap(m_noise);
  event.chunkOffset = chunkOffset;
  events.push_back(std::move(event));
}

void BSirenRequestParser::ParsePending(std::size_t chunkOffset, std::vector<BParserEvent>& events) {
  for (;;) {
    std::size_t start = 0;
    while (start < m_pending.size() && m_pending[start] != siren::kRequestStart) ++start;
    DropNoise(start);
    if (m_pending.size() < 3) return;  // wait for the code and the length

    const int expected = siren::RequestPayloadLength(m_pending[1]);
    if (expected < 0 || m_pending[2] != expected) {
      DropNoise(1);  // not a frame start after all
      continue;
    }
    const std::size_t frameLength = expected + siren::kFrameOverhead;
    if (m_pending.size() < frameLength) return;  // wait for the rest of the frame

    FlushNoise(chunkOffset, events);
    BParserEvent event;
    const std::vector<uint8_t> frame(m_pending.begin(), m_pending.begin() + frameLength);
    if (siren::XorChecksum(frame.data(), frameLength - 1) != frame.back()) {
      event.kind = BParserEvent::Kind::BadChecksum;
      event.bytes = frame;
      event.chunkOffset = chunkOffset;
      events.push_back(std::move(event));
      m_pending.erase(m_pending.begin());  // resynchronise on the next start byte
      continue;
    }
    event.kind = BParserEvent::Kind::Request;
    event.request.code = frame[1];
    event.request.payload.assign(frame.begin() + 3, frame.end() - 1);
    event.request.frame = frame;
    event.chunkOffset = chunkOffset;
    events.push_back(std::move(event));
    m_pending.erase(m_pending.begin(), m_pending.begin() + frameLength);
  }
}
