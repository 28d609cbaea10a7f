// Request frames, the reply parser and the send queue of the siren link.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/com_handler.h"
#include "link/frame.h"
#include "link/receive_buffer.h"
#include "link/send_queue.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Records every delivered frame as code, length, data.
class RecordingHandler : public BCOMHandler {
 public:
  void OnError(const std::string&) override { ++errors; }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    Bytes frame{code, length};
    frame.insert(frame.end(), data, data + length);
    frames.push_back(frame);
  }
  void OnTimeout() override { ++timeouts; }

  std::vector<Bytes> frames;
  int errors = 0;
  int timeouts = 0;
};

// A reply frame with a correct checksum.
Bytes Reply(uint8_t code, Bytes data) {
  Bytes frame{kReplyStart, code, static_cast<uint8_t>(data.size())};
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(FrameChecksum(frame.data(), frame.size()));
  return frame;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Feeds `bytes` to the parser as one read.
bool Feed(BReceiveBuffer& buffer, RecordingHandler& handler, const Bytes& bytes) {
  EXPECT_EQ(buffer.Append(bytes.data(), bytes.size()), bytes.size());
  return ParseReceived(buffer, handler);
}

TEST(LinkFrame, RequestFramesAndChecksums) {
  EXPECT_EQ(BuildRequestFrame(0x00, 0, nullptr), (Bytes{0xAA, 0x00, 0x00, 0xAA}));
  EXPECT_EQ(BuildRequestFrame(0x10, 0, nullptr), (Bytes{0xAA, 0x10, 0x00, 0xBA}));
  const uint8_t writeByte[] = {0x34, 0x12, 0x03, 0x7F};
  EXPECT_EQ(BuildRequestFrame(0x40, 4, writeByte),
            (Bytes{0xAA, 0x40, 0x04, 0x34, 0x12, 0x03, 0x7F,
                   0xAA ^ 0x40 ^ 0x04 ^ 0x34 ^ 0x12 ^ 0x03 ^ 0x7F}));
  Bytes longest(255, 0x5A);
  EXPECT_EQ(BuildRequestFrame(0x21, 255, longest.data()).size(), kMaxFrameLength);

  EXPECT_EQ(Reply(0xFF, {}), (Bytes{0x55, 0xFF, 0x00, 0xAA}));
  EXPECT_EQ(Reply(0x10, {0x04}), (Bytes{0x55, 0x10, 0x01, 0x04, 0x40}));
}

TEST(LinkFrame, AcceptedReplyCodesHaveOneLengthEach) {
  const std::set<int> one = {0x10, 0x40, 0x51, 0x52, 0x54};
  const std::set<int> two = {0x21, 0x22, 0x23, 0x30, 0x50, 0x53};
  for (int code = 0; code < 256; ++code) {
    int expected = one.count(code)   ? 1
                   : two.count(code) ? 2
                   : code == 0x20    ? 7
                   : code == 0xFF    ? 0
                                     : -1;
    EXPECT_EQ(ReplyDataLength(static_cast<uint8_t>(code)), expected) << "code " << code;
  }
  EXPECT_TRUE(IsAcceptedReply(0x20, 7));
  EXPECT_FALSE(IsAcceptedReply(0x10, 2));
  EXPECT_FALSE(IsAcceptedReply(0x05, 1));
}

TEST(LinkReceiveBuffer, AppendPeekDropAndDirectWrites) {
  BReceiveBuffer buffer;
  EXPECT_EQ(buffer.FreeSpace(), 4097u);
  Bytes abc{1, 2, 3, 4, 5};
  EXPECT_EQ(buffer.Append(abc.data(), abc.size()), 5u);
  buffer.Drop(2);
  uint8_t peeked[3] = {};
  buffer.Peek(peeked, 3);
  EXPECT_EQ(Bytes(peeked, peeked + 3), (Bytes{3, 4, 5}));
  EXPECT_EQ(buffer.Find(5), 2u);
  EXPECT_EQ(buffer.Find(9), BReceiveBuffer::kNotFound);

  // Reading straight into the free end, as the port does.
  buffer.FreeEnd()[0] = 6;
  buffer.Commit(1);
  EXPECT_EQ(buffer.Size(), 4u);
  EXPECT_EQ(buffer.Find(6), 3u);

  Bytes big(5000, 0x11);
  EXPECT_EQ(buffer.Append(big.data(), big.size()), 4097u - 4u);
  EXPECT_TRUE(buffer.IsFull());
  EXPECT_EQ(buffer.Append(big.data(), 1), 0u);
  buffer.Clear();
  EXPECT_EQ(buffer.Size(), 0u);
}

TEST(LinkParser, DeliversFramesThroughNoiseSplitsAndBatches) {
  BReceiveBuffer buffer;
  RecordingHandler handler;

  // Noise before the frame, even bytes that look like codes.
  EXPECT_TRUE(Feed(buffer, handler, Join({{0x00, 0xAA, 0x10, 0x13}, Reply(0xFF, {})})));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(handler.frames[0], (Bytes{0xFF, 0}));
  EXPECT_EQ(buffer.Size(), 0u);

  // A frame split over three reads arrives with its last byte.
  Bytes fragment = Reply(0x20, {3, 0x00, 0x10, 0x00, 0x34, 0x12, 0x00});
  EXPECT_FALSE(Feed(buffer, handler, Bytes(fragment.begin(), fragment.begin() + 2)));
  EXPECT_FALSE(Feed(buffer, handler, Bytes(fragment.begin() + 2, fragment.end() - 1)));
  EXPECT_EQ(handler.frames.size(), 1u);
  EXPECT_TRUE(Feed(buffer, handler, Bytes(fragment.end() - 1, fragment.end())));
  ASSERT_EQ(handler.frames.size(), 2u);
  EXPECT_EQ(handler.frames[1], (Bytes{0x20, 7, 3, 0x00, 0x10, 0x00, 0x34, 0x12, 0x00}));

  // Two frames in one read, delivered in order; a started third one waits.
  Bytes third = Reply(0x40, {0});
  EXPECT_TRUE(Feed(
      buffer, handler,
      Join({Reply(0x30, {0, 0x7F}), Reply(0x10, {4}), Bytes(third.begin(), third.begin() + 3)})));
  ASSERT_EQ(handler.frames.size(), 4u);
  EXPECT_EQ(handler.frames[2], (Bytes{0x30, 2, 0, 0x7F}));
  EXPECT_EQ(handler.frames[3], (Bytes{0x10, 1, 4}));
  EXPECT_EQ(buffer.Size(), 3u);
  EXPECT_EQ(handler.errors + handler.timeouts, 0);
}

TEST(LinkParser, RejectsBadFramesAndResynchronises) {
  BReceiveBuffer buffer;
  RecordingHandler handler;

  // A bad checksum: the frame is lost, but a good frame starting inside it is found.
  // 55 30 02 | 55 FF | 00 AA: the outer frame's checksum (00) is wrong, and
  // the reply 55 FF 00 AA starts inside it.
  Bytes inner = Reply(0xFF, {});
  Bytes stream = Join({{0x55, 0x30, 0x02}, inner});
  ASSERT_NE(FrameChecksum(stream.data(), 5), stream[5]);
  EXPECT_TRUE(Feed(buffer, handler, stream));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(handler.frames[0], (Bytes{0xFF, 0}));

  // Right checksums, but a wrong length for 0x10 and an unknown code 0x05.
  EXPECT_FALSE(Feed(buffer, handler, Join({Reply(0x10, {4, 0}), Reply(0x05, {1})})));
  EXPECT_EQ(handler.frames.size(), 1u);
  // Followed by a good one: only that is delivered.
  EXPECT_TRUE(Feed(buffer, handler, Reply(0x54, {0})));
  ASSERT_EQ(handler.frames.size(), 2u);
  EXPECT_EQ(handler.frames[1], (Bytes{0x54, 1, 0}));
  EXPECT_EQ(buffer.Size(), 0u);
}

TEST(LinkParser, FullBufferWithoutStartByteLosesItsOlderHalf) {
  BReceiveBuffer buffer;
  RecordingHandler handler;
  Bytes noise(BReceiveBuffer::kCapacity, 0x00);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i % 0x50);
  EXPECT_FALSE(Feed(buffer, handler, noise));
  EXPECT_EQ(buffer.Size(), BReceiveBuffer::kCapacity - BReceiveBuffer::kCapacity / 2);
  uint8_t first = 0;
  buffer.Peek(&first, 1);
  EXPECT_EQ(first, noise[BReceiveBuffer::kCapacity / 2]);
  // A buffer that is not full keeps its bytes.
  EXPECT_FALSE(ParseReceived(buffer, handler));
  EXPECT_EQ(buffer.Size(), BReceiveBuffer::kCapacity - BReceiveBuffer::kCapacity / 2);
}

TEST(LinkParser, FullBufferWithStartByteStopsTakingBytes) {
  BReceiveBuffer buffer;
  RecordingHandler handler;
  // Noise, then two replies; the read takes only what fits, which ends with
  // the first byte of the second reply.
  Bytes noise(BReceiveBuffer::kCapacity - 7, 0x01);
  Bytes stream = Join({noise, Reply(0x30, {0, 0x7F}), Reply(0xFF, {})});
  EXPECT_EQ(buffer.Append(stream.data(), stream.size()), BReceiveBuffer::kCapacity);
  EXPECT_TRUE(buffer.IsFull());
  EXPECT_TRUE(ParseReceived(buffer, handler));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(buffer.Size(), 1u);  // the start byte of the second reply is kept

  const size_t rest = stream.size() - BReceiveBuffer::kCapacity;
  EXPECT_TRUE(Feed(buffer, handler, Bytes(stream.end() - rest, stream.end())));
  ASSERT_EQ(handler.frames.size(), 2u);
  EXPECT_EQ(handler.frames[1], (Bytes{0xFF, 0}));
}

// A start byte whose header cannot begin a reply is refused as soon as the
// code and length bytes are in, and the good frame behind it is delivered
// without waiting for the length the noise claims.
TEST(LinkParser, RefusesAStartByteWithAnImpossibleHeaderAtOnce) {
  const Bytes good = Reply(0x30, {0, 0x7F});
  std::vector<Bytes> refused;
  for (int code = 0; code < 256; ++code) {
    int length = ReplyDataLength(static_cast<uint8_t>(code));
    if (length < 0) {
      refused.push_back({kReplyStart, static_cast<uint8_t>(code)});
      continue;
    }
    for (int wrong : {length + 1, length == 0 ? 1 : length - 1, 0xFF})
      refused.push_back({kReplyStart, static_cast<uint8_t>(code), static_cast<uint8_t>(wrong)});
  }
  for (const Bytes& noise : refused) {
    SCOPED_TRACE(testing::PrintToString(noise));
    BReceiveBuffer buffer;
    RecordingHandler handler;
    EXPECT_TRUE(Feed(buffer, handler, Join({noise, good})));
    ASSERT_EQ(handler.frames.size(), 1u);
    EXPECT_EQ(handler.frames[0], (Bytes{0x30, 2, 0, 0x7F}));
    EXPECT_EQ(buffer.Size(), 0u);
  }

  // The header may come in pieces: a lone start byte waits for its code.
  BReceiveBuffer buffer;
  RecordingHandler handler;
  EXPECT_FALSE(Feed(buffer, handler, {kReplyStart}));
  EXPECT_EQ(buffer.Size(), 1u);
  EXPECT_FALSE(Feed(buffer, handler, {0x20}));
  EXPECT_EQ(buffer.Size(), 2u);
  EXPECT_TRUE(Feed(buffer, handler, Join({{0xFF}, good})));
  EXPECT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(buffer.Size(), 0u);
}

// A plausible header is waited for as before, even when a good frame follows
// that is shorter than what the header still needs.
TEST(LinkParser, WaitsForAPlausibleIncompleteFrame) {
  BReceiveBuffer buffer;
  RecordingHandler handler;
  EXPECT_FALSE(Feed(buffer, handler, {0x55, 0x20, 0x07, 0x01}));
  EXPECT_EQ(buffer.Size(), 4u);
  EXPECT_FALSE(Feed(buffer, handler, Reply(0xFF, {})));
  EXPECT_EQ(buffer.Size(), 8u);
  // Three more bytes complete the claimed 11: its checksum fails, and the
  // reply inside it is found.
  EXPECT_TRUE(Feed(buffer, handler, {0x00, 0x00, 0x00}));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(handler.frames[0], (Bytes{0xFF, 0}));
}

// What the parser did before it refused impossible headers early: it waited
// for the whole claimed length. Given every byte at once and a tail that ends
// every wait, it delivers the frames any correct parser must deliver.
std::vector<Bytes> WaitingParser(Bytes stream) {
  stream.insert(stream.end(), kMaxFrameLength, 0x00);
  std::vector<Bytes> frames;
  size_t at = 0;
  for (;;) {
    while (at < stream.size() && stream[at] != kReplyStart) ++at;
    if (stream.size() - at < kFrameOverhead) return frames;
    const uint8_t code = stream[at + 1], length = stream[at + 2];
    const size_t frameLength = length + kFrameOverhead;
    if (stream.size() - at < frameLength) return frames;
    if (!IsAcceptedReply(code, length) ||
        FrameChecksum(&stream[at], frameLength - 1) != stream[at + frameLength - 1]) {
      ++at;
      continue;
    }
    Bytes frame{code, length};
    frame.insert(frame.end(), &stream[at + 3], &stream[at + 3 + length]);
    frames.push_back(frame);
    at += frameLength;
  }
}

// Random streams of good frames, frame-like garbage and noise, cut into random
// reads: after every read nothing deliverable is left waiting, and in the end
// exactly the frames of the waiting parser were delivered, in order.
TEST(LinkParser, DeliversWhatAWaitingParserDeliversFromAnyStream) {
  std::mt19937 random(12);
  const uint8_t codes[] = {0x10, 0x20, 0x21, 0x22, 0x23, 0x30, 0x40,
                           0x50, 0x51, 0x52, 0x53, 0x54, 0xFF, 0x05};
  auto pick = [&](int bound) { return static_cast<int>(random() % bound); };
  for (int round = 0; round < 300; ++round) {
    Bytes stream;
    while (stream.size() < 1500) {
      const uint8_t code = codes[pick(sizeof codes)];
      Bytes data(std::max(ReplyDataLength(code), 0));
      for (uint8_t& byte : data) byte = static_cast<uint8_t>(pick(256));
      Bytes frame = Reply(code, data);
      switch (pick(5)) {
        case 0:  // a frame cut short
          frame.resize(1 + pick(static_cast<int>(frame.size())));
          break;
        case 1:  // a wrong length byte
          frame[2] = static_cast<uint8_t>(pick(256));
          break;
        case 2:  // a wrong checksum
          frame.back() ^= 1 + pick(255);
          break;
        case 3:  // noise, rich in start bytes
          frame.assign(1 + pick(6), 0);
          for (uint8_t& byte : frame) byte = pick(3) == 0 ? kReplyStart : pick(256);
          break;
      }
      stream.insert(stream.end(), frame.begin(), frame.end());
    }
    BReceiveBuffer buffer;
    RecordingHandler handler;
    for (size_t at = 0; at < stream.size();) {
      const size_t count = std::min<size_t>(1 + pick(24), stream.size() - at);
      Feed(buffer, handler, Bytes(stream.begin() + at, stream.begin() + at + count));
      at += count;
      // What stays is noise without a start byte, or one plausible frame
      // still short of its length.
      if (buffer.Find(kReplyStart) == BReceiveBuffer::kNotFound) continue;
      ASSERT_EQ(buffer.Find(kReplyStart), 0u);
      ASSERT_LT(buffer.Size(), kMaxReplyLength);
      uint8_t held[kMaxReplyLength] = {};
      buffer.Peek(held, buffer.Size());
      if (buffer.Size() >= 3) {
        ASSERT_TRUE(IsAcceptedReply(held[1], held[2]));
      }
    }
    // The same tail ends the wait for a frame cut short at the very end.
    Feed(buffer, handler, Bytes(kMaxFrameLength, 0x00));
    ASSERT_EQ(handler.frames, WaitingParser(stream)) << "round " << round;
  }
}

TEST(LinkParser, MakeRoomDropsOnlyWhatCannotBeginAReply) {
  BReceiveBuffer buffer;
  Bytes noise(BReceiveBuffer::kCapacity, 0x01);
  buffer.Append(noise.data(), noise.size() - 1);
  MakeRoom(buffer);
  EXPECT_EQ(buffer.Size(), noise.size() - 1) << "a buffer with room is left alone";

  // The case of a byte kept on a time-out on top of a buffer of noise.
  buffer.FreeEnd()[0] = kReplyStart;
  buffer.Commit(1);
  ASSERT_TRUE(buffer.IsFull());
  MakeRoom(buffer);
  EXPECT_EQ(buffer.Size(), 1u);
  EXPECT_EQ(buffer.Find(kReplyStart), 0u);

  buffer.Clear();
  buffer.Append(noise.data(), noise.size());
  MakeRoom(buffer);
  EXPECT_EQ(buffer.Size(), BReceiveBuffer::kCapacity - BReceiveBuffer::kCapacity / 2);

  // Start bytes all through: a full buffer cannot hold one reply, so the
  // front one is wrong.
  Bytes starts(BReceiveBuffer::kCapacity, kReplyStart);
  buffer.Clear();
  buffer.Append(starts.data(), starts.size());
  MakeRoom(buffer);
  EXPECT_FALSE(buffer.IsFull());
}

// The user-interface thread and the worker push at the same time while the
// worker takes frames off the front; every frame arrives whole and exactly once.
TEST(LinkSendQueue, TwoThreadsPushWhileOneTakes) {
  BSendQueue queue;
  const int perThread = 20000;
  auto pusher = [&queue](uint8_t thread) {
    for (int i = 0; i < perThread; ++i) {
      uint8_t payload[3] = {thread, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
      queue.Push(BuildRequestFrame(0x40, 3, payload));
    }
  };
  std::atomic<bool> pushing{true};
  std::vector<int> seen(2 * perThread, 0);
  int badFrames = 0;
  std::thread taker([&] {
    std::vector<uint8_t> frame;
    for (;;) {
      if (!queue.CopyFront(frame)) {
        if (!pushing.load()) {
          if (queue.IsEmpty()) break;
        }
        std::this_thread::yield();
        continue;
      }
      queue.PopFront();
      if (frame.size() != 7 || FrameChecksum(frame.data(), 6) != frame[6] || frame[3] > 1) {
        ++badFrames;
        continue;
      }
      ++seen[frame[3] * perThread + (frame[4] | frame[5] << 8)];
    }
  });
  std::thread first(pusher, 0);
  std::thread second(pusher, 1);
  first.join();
  second.join();
  pushing = false;
  taker.join();

  EXPECT_EQ(badFrames, 0);
  int missingOrRepeated = 0;
  for (int count : seen) missingOrRepeated += count != 1;
  EXPECT_EQ(missingOrRepeated, 0);
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(LinkSendQueue, KeepsOrderAndCopies) {
  BSendQueue queue;
  Bytes frame;
  EXPECT_FALSE(queue.CopyFront(frame));
  uint8_t a[] = {1, 2, 3};
  queue.Push(a, 3);
  a[0] = 9;  // the queue owns its own copy
  queue.Push(Bytes{4});
  ASSERT_TRUE(queue.CopyFront(frame));
  EXPECT_EQ(frame, (Bytes{1, 2, 3}));
  EXPECT_EQ(queue.Size(), 2u);  // copying leaves the frame queued
  queue.PopFront();
  ASSERT_TRUE(queue.CopyFront(frame));
  EXPECT_EQ(frame, (Bytes{4}));
  queue.Clear();
  EXPECT_TRUE(queue.IsEmpty());
}

}  // namespace

// Only the answer to the request in flight is delivered, and once: a stray
// good frame of another code before it, and a copy of it behind it (left in
// the buffer for the worker to drop before its next request), are counted as
// replies that answer nothing. The codes that answer each request.
TEST(LinkParser, OnlyTheAnswerToTheAwaitedRequestIsDelivered) {
  BReceiveBuffer buffer;
  RecordingHandler handler;
  uint32_t strays = 0;
  Bytes stray = Reply(0x53, {0, 1}), answer = Reply(0x40, {0});
  buffer.Append(stray.data(), stray.size());
  EXPECT_FALSE(ParseReceived(buffer, handler, 0x40, &strays));
  EXPECT_TRUE(handler.frames.empty());
  EXPECT_EQ(1u, strays);
  Bytes all = Join({stray, answer, answer, Bytes(answer.begin(), answer.end() - 1)});
  buffer.Append(all.data(), all.size());
  EXPECT_TRUE(ParseReceived(buffer, handler, 0x40, &strays));
  EXPECT_EQ(1u, handler.frames.size());
  EXPECT_EQ(2u, strays);
  EXPECT_EQ(answer.size() * 2 - 1, buffer.Size()) << "the copy and a part stay";
  EXPECT_EQ(1u, DiscardReceived(buffer));
  EXPECT_EQ(0u, buffer.Size());
  buffer.Append(stray.data(), stray.size());
  EXPECT_TRUE(ParseReceived(buffer, handler)) << "without an awaited request any frame counts";

  for (int request : {0x10, 0x20, 0x21, 0x30, 0x40, 0x50, 0x53, 0x54})
    for (int reply = 0; reply < 256; ++reply)
      EXPECT_EQ(reply == request, AnswersRequest(uint8_t(request), uint8_t(reply))) << request;
  EXPECT_TRUE(AnswersRequest(0x00, 0xFF));
  EXPECT_FALSE(AnswersRequest(0x00, 0x00));
  EXPECT_TRUE(AnswersRequest(0x23, 0x22));
  EXPECT_TRUE(AnswersRequest(0x23, 0x23));
  EXPECT_TRUE(AnswersRequest(0x51, 0x52));
  EXPECT_TRUE(AnswersRequest(0x52, 0x51));
  EXPECT_FALSE(AnswersRequest(0x52, 0x23));
}
