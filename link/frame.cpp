#include "link/frame.h"

#include <algorithm>

#include "link/com_handler.h"
#include "link/receive_buffer.h"

uint8_t FrameChecksum(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum ^= bytes[i];
  return sum;
}

std::vector<uint8_t> BuildRequestFrame(uint8_t code, uint8_t length, const uint8_t* payload) {
  std::vector<uint8_t> frame;
  frame.reserve(length + kFrameOverhead);
  frame.push_back(kRequestStart);
  frame.push_back(code);
  frame.push_back(length);
  if (length > 0) frame.insert(frame.end(), payload, payload + length);
  frame.push_back(FrameChecksum(frame.data(), frame.size()));
  return frame;
}

int ReplyDataLength(uint8_t code) {
  switch (code) {
    case 0x10:
    case 0x40:
    case 0x51:
    case 0x52:
    case 0x54:
      return 1;
    case 0x20:
      return 7;
    case 0x21:
    case 0x22:
    case 0x23:
    case 0x30:
    case 0x50:
    case 0x53:
      return 2;
    case 0xFF:
      return 0;
    default:
      return -1;
  }
}

bool IsAcceptedReply(uint8_t code, uint8_t length) { return ReplyDataLength(code) == length; }

bool AnswersRequest(uint8_t requestCode, uint8_t replyCode) {
  switch (requestCode) {
    case 0x00:
      return replyCode == 0xFF;
    case 0x23:
      return replyCode == 0x23 || replyCode == 0x22;
    case 0x51:
    case 0x52:
      return replyCode == 0x51 || replyCode == 0x52;
    default:
      return replyCode == requestCode;
  }
}

namespace {

// Drops the bytes at the front that cannot begin a good frame, up to the
// next good frame, which it copies to `frame` and leaves in the buffer.
// False when no good frame is complete yet.
bool FindFrame(BReceiveBuffer& buffer, uint8_t* frame, size_t& frameLength) {
  for (;;) {
    size_t start = buffer.Find(kReplyStart);
    if (start == BReceiveBuffer::kNotFound) {
      // Nothing here can become a frame; a full buffer makes room by losing
      // its older half.
      MakeRoom(buffer);
      return false;
    }
    buffer.Drop(start);
    // The code and the length byte tell at once whether a frame can follow:
    // a start byte that cannot begin one is dropped without waiting for the
    // length it claims (noise like 55 20 FF would otherwise hold 259 bytes).
    const size_t header = std::min<size_t>(buffer.Size(), 3);
    buffer.Peek(frame, header);
    if ((header >= 2 && ReplyDataLength(frame[1]) < 0) ||
        (header == 3 && !IsAcceptedReply(frame[1], frame[2]))) {
      buffer.Drop(1);
      continue;
    }
    if (buffer.Size() < kFrameOverhead) return false;
    frameLength = frame[2] + kFrameOverhead;
    if (buffer.Size() < frameLength) return false;
    buffer.Peek(frame, frameLength);
    if (FrameChecksum(frame, frameLength - 1) == frame[frameLength - 1]) return true;
    buffer.Drop(1);
  }
}

}  // namespace

bool ParseReceived(BReceiveBuffer& buffer, BCOMHandler& handler, int awaitedRequest,
                   uint32_t* strays) {
  bool delivered = false;
  uint8_t frame[kMaxFrameLength];
  size_t frameLength = 0;
  while (FindFrame(buffer, frame, frameLength)) {
    buffer.Drop(frameLength);
    const uint8_t code = frame[1];
    if (awaitedRequest != kAnyRequest && !AnswersRequest(uint8_t(awaitedRequest), code)) {
      if (strays != nullptr) ++*strays;
      handler.OnStrayReply(code);
      continue;
    }
    handler.OnReceive(code, frame[2], frame + 3);
    delivered = true;
    if (awaitedRequest != kAnyRequest) break;
  }
  return delivered;
}

uint32_t DiscardReceived(BReceiveBuffer& buffer, BCOMHandler* handler) {
  uint32_t frames = 0;
  uint8_t frame[kMaxFrameLength];
  size_t frameLength = 0;
  while (FindFrame(buffer, frame, frameLength)) {
    buffer.Drop(frameLength);
    ++frames;
    if (handler != nullptr) handler->OnStrayReply(frame[1]);
  }
  buffer.Clear();
  return frames;
}

void MakeRoom(BReceiveBuffer& buffer) {
  if (!buffer.IsFull()) return;
  size_t start = buffer.Find(kReplyStart);
  if (start == BReceiveBuffer::kNotFound) {
    buffer.Drop(buffer.Size() / 2);
    return;
  }
  buffer.Drop(start);
  if (buffer.IsFull()) buffer.Drop(1);
}
