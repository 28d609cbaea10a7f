#include "emulator/siren_protocol.h"

#include <cstdio>

namespace siren {

int RequestPayloadLength(uint8_t code) {
  switch (code) {
    case kDetect:
      return 0;
    case kMemorySize:
      return 0;
    case kReadFragment:
      return 1;
    case kWriteFragment:
      return 7;
    case kPlayFragment:
      return 1;
    case kReadByte:
      return 3;
    case kWriteByte:
      return 4;
    case kReadPlaylist:
      return 1;
    case kWritePlaylist:
      return 2;
    case kPlayPlaylist:
      return 0;
    case kReadButton:
      return 1;
    case kWriteButton:
      return 2;
    default:
      return -1;
  }
}

bool IsKnownRequest(uint8_t code) { return RequestPayloadLength(code) >= 0; }

int ReplyDataLength(uint8_t code) {
  switch (code) {
    case kDetectReply:
      return 0;
    case kMemorySize:
    case kWriteByte:
    case kWritePlaylist:
    case kPlayPlaylist:
    case kWriteButton:
      return 1;
    case kWriteFragment:
    case 0x22:
    case kPlayFragment:
    case kReadByte:
    case kReadPlaylist:
    case kReadButton:
      return 2;
    case kReadFragment:
      return 7;
    default:
      return -1;
  }
}

const std::vector<uint8_t>& ReplyCodes() {
  static const std::vector<uint8_t> codes = {0x10, 0x20, 0x21, 0x22, 0x23, 0x30, 0x40,
                                             0x50, 0x51, 0x52, 0x53, 0x54, 0xFF};
  return codes;
}

uint8_t XorChecksum(const uint8_t* bytes, std::size_t count) {
  uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum ^= bytes[i];
  return sum;
}

static std::vector<uint8_t> BuildFrame(uint8_t start, uint8_t code,
                                       const std::vector<uint8_t>& body) {
  std::vector<uint8_t> frame;
  frame.reserve(body.size() + kFrameOverhead);
  frame.push_back(start);
  frame.push_back(code);
  frame.push_back(static_cast<uint8_t>(body.size()));
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(XorChecksum(frame.data(), frame.size()));
  return frame;
}

std::vector<uint8_t> BuildReplyFrame(uint8_t code, const std::vector<uint8_t>& data) {
  return BuildFrame(kReplyStart, code, data);
}

std::vector<uint8_t> BuildRequestFrame(uint8_t code, const std::vector<uint8_t>& payload) {
  return BuildFrame(kRequestStart, code, payload);
}

uint32_t ReadUint24(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16);
}

void AppendUint24(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 16) & 0xFF));
}

std::string HexBytes(const uint8_t* bytes, std::size_t count) {
  std::string text;
  char cell[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
    if (i > 0) text += ' ';
    text += cell;
  }
  return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  return HexBytes(bytes.data(), bytes.size());
}

static std::string Format(const char* format, unsigned a = 0, unsigned b = 0, unsigned c = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

std::string DescribeRequest(uint8_t code, const uint8_t* p, std::size_t length) {
  if (static_cast<int>(length) != RequestPayloadLength(code))
    return Format("unknown command 0x%02X", code);
  switch (code) {
    case kDetect:
      return "detect";
    case kMemorySize:
      return "memory size";
    case kReadFragment:
      return Format("read fragment %u", p[0]);
    case kWriteFragment:
      return Format("write fragment %u start 0x%05X length 0x%05X", p[0], ReadUint24(p + 1),
                    ReadUint24(p + 4));
    case kPlayFragment:
      return p[0] == kStopPlayback ? std::string("stop playback")
                                   : Format("play fragment %u", p[0]);
    case kReadByte:
      return Format("read byte 0x%05X", ReadUint24(p));
    case kWriteByte:
      return Format("write byte 0x%05X = 0x%02X", ReadUint24(p), p[3]);
    case kReadPlaylist:
      return Format("read playlist %u", p[0]);
    case kWritePlaylist:
      return Format("write playlist %u = %u", p[0], p[1]);
    case kPlayPlaylist:
      return "play playlist";
    case kReadButton:
      return Format("read button %u", p[0]);
    case kWriteButton:
      return Format("write button %u = %u", p[0], p[1]);
    default:
      return Format("unknown command 0x%02X", code);
  }
}

std::string DescribeReply(const std::vector<uint8_t>& frame) {
  // A frame hit on the line (a flipped bit) may claim any code and length.
  if (frame.size() < kFrameOverhead || frame.size() != frame[2] + kFrameOverhead ||
      frame[0] != kReplyStart || ReplyDataLength(frame[1]) != frame[2])
    return "malformed reply";
  const uint8_t code = frame[1];
  const uint8_t* d = frame.data() + 3;
  std::string text;
  switch (code) {
    case kDetectReply:
      text = "siren here";
      break;
    case kMemorySize:
      text = Format("%u IC", d[0]);
      break;
    case kReadFragment:
      text = Format("fragment %u start 0x%05X length 0x%05X", d[0], ReadUint24(d + 1),
                    ReadUint24(d + 4));
      break;
    case kWriteFragment:
    case kPlayFragment:
      text = Format("status %u", d[1]);
      break;
    case kReadByte:
      text = Format("status %u value 0x%02X", d[0], d[1]);
      break;
    case kReadPlaylist:
    case kReadButton:
      text = Format("value %u status %u", d[0], d[1]);
      break;
    default:
      text = Format("status %u", d[0]);
      break;
  }
  if (XorChecksum(frame.data(), frame.size() - 1) != frame.back()) text += " (bad checksum)";
  return text;
}

}  // namespace siren
