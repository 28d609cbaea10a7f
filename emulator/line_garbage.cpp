#include "emulator/line_garbage.h"

#include "emulator/siren_protocol.h"

using namespace siren;

uint8_t BLineGarbage::RandomReplyCode() {
  const std::vector<uint8_t>& codes = ReplyCodes();
  return codes[Pick(static_cast<int>(codes.size()))];
}

bool BLineGarbage::CouldAnswer(uint8_t code, uint8_t replyCode) {
  if (code == replyCode) return true;
  // The receiver takes both play replies for a play, and both playlist
  // replies for a playlist write or play.
  auto pair = [&](uint8_t a, uint8_t b) {
    return (code == a || code == b) && (replyCode == a || replyCode == b);
  };
  return pair(0x22, kPlayFragment) || pair(kWritePlaylist, kPlayPlaylist);
}

void BLineGarbage::AppendItem(std::vector<uint8_t>& burst, uint8_t replyCode, bool& wholeFrame) {
  std::vector<uint8_t> item;
  switch (Pick(5)) {
    case 0: {  // random bytes, a third of them start bytes
      const int count = 1 + Pick(6);
      for (int i = 0; i < count; ++i) item.push_back(Pick(3) == 0 ? kReplyStart : RandomByte());
      break;
    }
    case 1: {  // a reply code with a wrong length byte, then a few bytes
      const uint8_t code = RandomReplyCode();
      uint8_t length = RandomByte();
      if (length == ReplyDataLength(code)) ++length;
      item = {kReplyStart, code, length};
      for (int i = Pick(4); i > 0; --i) item.push_back(RandomByte());
      break;
    }
    case 2: {  // a code that is no reply
      uint8_t code = RandomByte();
      while (ReplyDataLength(code) >= 0) code = RandomByte();
      item = {kReplyStart, code};
      break;
    }
    case 3: {  // a frame cut short
      const uint8_t code = RandomReplyCode();
      std::vector<uint8_t> data(ReplyDataLength(code));
      for (uint8_t& byte : data) byte = RandomByte();
      item = BuildReplyFrame(code, data);
      item.resize(1 + Pick(static_cast<int>(item.size()) - 1));
      break;
    }
    default: {  // a whole frame of a code that cannot answer the request
      uint8_t code = RandomReplyCode();
      while (CouldAnswer(code, replyCode)) code = RandomReplyCode();
      std::vector<uint8_t> data(ReplyDataLength(code));
      for (uint8_t& byte : data) byte = RandomByte();
      item = BuildReplyFrame(code, data);
      wholeFrame = true;
      break;
    }
  }
  burst.insert(burst.end(), item.begin(), item.end());
}

std::vector<uint8_t> BLineGarbage::MakeBurst(const std::vector<uint8_t>& reply, bool& wholeFrame) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<uint8_t> burst;
    wholeFrame = false;
    for (int items = 1 + Pick(3); items > 0; --items) AppendItem(burst, reply[1], wholeFrame);
    if (ReplySurvives(burst, reply)) return burst;
  }
  wholeFrame = false;
  return {};
}

std::vector<std::vector<uint8_t>> BLineGarbage::ScanReplies(const std::vector<uint8_t>& stream,
                                                            std::size_t& waiting) {
  std::vector<std::vector<uint8_t>> frames;
  std::size_t at = 0;
  for (;;) {
    while (at < stream.size() && stream[at] != kReplyStart) ++at;
    const std::size_t left = stream.size() - at;
    waiting = left;
    if (left < 2) return frames;
    const int length = ReplyDataLength(stream[at + 1]);
    if (length < 0 || (left >= 3 && stream[at + 2] != length)) {
      ++at;  // refused at once
      continue;
    }
    const std::size_t frameLength = length + kFrameOverhead;
    if (left < frameLength) return frames;  // a plausible frame, waited for
    if (XorChecksum(&stream[at], frameLength - 1) != stream[at + frameLength - 1]) {
      ++at;
      continue;
    }
    frames.emplace_back(stream.begin() + at, stream.begin() + at + frameLength);
    at += frameLength;
  }
}

bool BLineGarbage::ReplySurvives(const std::vector<uint8_t>& burst,
                                 const std::vector<uint8_t>& reply) {
  std::vector<uint8_t> stream = burst;
  stream.insert(stream.end(), reply.begin(), reply.end());
  std::size_t waiting = 0;
  const std::vector<std::vector<uint8_t>> frames = ScanReplies(stream, waiting);
  if (waiting != 0 || frames.empty() || frames.back() != reply) return false;
  for (std::size_t i = 0; i + 1 < frames.size(); ++i)
    if (CouldAnswer(frames[i][1], reply[1])) return false;
  return true;
}
