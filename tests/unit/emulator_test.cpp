// The siren emulator's device logic, fed with bytes as they come off the line.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "emulator/emulator_options.h"
#include "emulator/line_garbage.h"
#include "emulator/line_pacer.h"
#include "emulator/siren_emulator.h"
#include "emulator/siren_protocol.h"
#include "link/com_handler.h"
#include "link/frame.h"
#include "link/receive_buffer.h"
#include "test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Request(uint8_t code, const Bytes& payload = {}) {
  return siren::BuildRequestFrame(code, payload);
}

Bytes Reply(uint8_t code, const Bytes& data = {}) { return siren::BuildReplyFrame(code, data); }

Bytes Address(uint32_t address) {
  Bytes bytes;
  siren::AppendUint24(bytes, address);
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes FragmentEntry(uint8_t index, uint32_t start, uint32_t length) {
  Bytes payload{index};
  siren::AppendUint24(payload, start);
  siren::AppendUint24(payload, length);
  return payload;
}

// A device on a line: sends one chunk, returns everything sent back.
class Line {
 public:
  explicit Line(uint8_t chips = 4, const BFaultPlan& faults = BFaultPlan())
      : emulator(chips, faults) {
    emulator.SetLog([this](const std::string& line) { log.push_back(line); });
  }
  Bytes Send(const Bytes& bytes) {
    Bytes all;
    for (const BOutgoingReply& reply : emulator.Feed(bytes))
      all.insert(all.end(), reply.bytes.begin(), reply.bytes.end());
    return all;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& line : log)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  BSirenEmulator emulator;
  std::vector<std::string> log;
};

// The program's own reader of reply frames: what it takes from the bytes.
class Recorder : public BCOMHandler {
 public:
  void OnError(const std::string&) override {}
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    Bytes frame{code};
    frame.insert(frame.end(), data, data + length);
    frames.push_back(frame);
  }
  void OnTimeout() override {}
  std::vector<Bytes> frames;
};

BFaultPlan ParseFaults(const std::vector<std::string>& arguments) {
  BEmulatorOptions options;
  std::string error;
  EXPECT_TRUE(options.Parse(arguments, error)) << error;
  return options.faults;
}

}  // namespace

// --- the commands and their replies --------------------------------------------

TEST(emulator_device, DetectAndMemorySizeHaveTheirExactBytes) {
  Line line(4);
  EXPECT_EQ(line.Send({0xAA, 0x00, 0x00, 0xAA}), (Bytes{0x55, 0xFF, 0x00, 0xAA}));
  EXPECT_EQ(line.Send({0xAA, 0x10, 0x00, 0xBA}), (Bytes{0x55, 0x10, 0x01, 0x04, 0x40}));
}

TEST(emulator_device, MemoryEndsAtTheChipCountAndImpossibleCountsAreReportedAsGiven) {
  struct Case {
    uint8_t chips;
    uint32_t firstOutside;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 65535}, Case{2, 131070}, Case{4, 262140},
                        Case{5, 262140}, Case{0x80, 262140}, Case{255, 262140}}) {
    SCOPED_TRACE(c.chips);
    Line line(c.chips);
    EXPECT_EQ(line.Send(Request(0x10)), Reply(0x10, {c.chips}));
    if (c.firstOutside > 0) {
      EXPECT_EQ(line.Send(Request(0x30, Address(c.firstOutside - 1))), Reply(0x30, {0, 0xFF}));
      EXPECT_EQ(line.Send(Request(0x40, Join({Address(c.firstOutside - 1), {0x12}}))),
                Reply(0x40, {0}));
      EXPECT_EQ(line.Send(Request(0x30, Address(c.firstOutside - 1))), Reply(0x30, {0, 0x12}));
    }
    EXPECT_EQ(line.Send(Request(0x30, Address(c.firstOutside))), Reply(0x30, {255, 0}));
    EXPECT_EQ(line.Send(Request(0x40, Join({Address(c.firstOutside), {0x12}}))),
              Reply(0x40, {255}));
    EXPECT_EQ(line.Send(Request(0x30, Address(0xFFFFFF))), Reply(0x30, {255, 0}));
  }
}

TEST(emulator_device, MemoryStartsErasedAndKeepsWhatIsWritten) {
  Line line(2);
  EXPECT_EQ(line.Send(Request(0x30, Address(0x12345))), Reply(0x30, {0, 0xFF}));
  EXPECT_EQ(line.Send(Request(0x40, {0x45, 0x23, 0x01, 0x00})), Reply(0x40, {0}));
  EXPECT_EQ(line.emulator.Device().State().memory[0x12345], 0x00);
  EXPECT_EQ(line.Send(Request(0x30, {0x45, 0x23, 0x01})), Reply(0x30, {0, 0x00}));
  EXPECT_EQ(line.Send(Request(0x30, Address(0x12344))), Reply(0x30, {0, 0xFF}));
}

TEST(emulator_device, FragmentTableEntriesAreWrittenCheckedAndReadBack) {
  Line line(2);
  // Empty at start; an index beyond the table reads as an empty entry.
  EXPECT_EQ(line.Send(Request(0x20, {3})), Reply(0x20, FragmentEntry(3, 0xFFFFF, 0xFFFFF)));
  EXPECT_EQ(line.Send(Request(0x20, {20})), Reply(0x20, FragmentEntry(20, 0xFFFFF, 0xFFFFF)));

  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 0x01000, 0x00500))), Reply(0x21, {3, 0}));
  EXPECT_EQ(line.Send(Request(0x20, {3})), Reply(0x20, FragmentEntry(3, 0x01000, 0x00500)));
  // Ending exactly at the end of 2 chips is fine; one byte more is beyond the memory.
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(4, 131000, 70))), Reply(0x21, {4, 0}));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 131000, 71))), Reply(0x21, {3, 255}));
  EXPECT_EQ(line.Send(Request(0x20, {3})), Reply(0x20, FragmentEntry(3, 0x01000, 0x00500)));
  // A bad index, and emptying a slot.
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(16, 0, 10))), Reply(0x21, {16, 1}));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 0xFFFFF, 0xFFFFF))), Reply(0x21, {3, 0}));
  EXPECT_TRUE(line.emulator.Device().State().IsEntryEmpty(3));
}

TEST(emulator_device, PlaylistAndButtonsCheckPositionFirstThenTheFragmentIndex) {
  Line line(1);
  EXPECT_EQ(line.Send(Request(0x50, {0})), Reply(0x50, {255, 0}));
  EXPECT_EQ(line.Send(Request(0x51, {0, 15})), Reply(0x51, {0}));
  EXPECT_EQ(line.Send(Request(0x51, {15, 255})), Reply(0x51, {0}));
  EXPECT_EQ(line.Send(Request(0x51, {1, 16})), Reply(0x51, {2}));
  EXPECT_EQ(line.Send(Request(0x51, {1, 254})), Reply(0x51, {2}));
  EXPECT_EQ(line.Send(Request(0x51, {16, 3})), Reply(0x51, {1}));
  EXPECT_EQ(line.Send(Request(0x51, {16, 16})), Reply(0x51, {1}));
  EXPECT_EQ(line.Send(Request(0x50, {0})), Reply(0x50, {15, 0}));
  EXPECT_EQ(line.Send(Request(0x50, {1})), Reply(0x50, {255, 0}));
  EXPECT_EQ(line.Send(Request(0x50, {16})), Reply(0x50, {255, 1}));

  EXPECT_EQ(line.Send(Request(0x54, {3, 7})), Reply(0x54, {0}));
  EXPECT_EQ(line.Send(Request(0x54, {0, 16})), Reply(0x54, {2}));
  EXPECT_EQ(line.Send(Request(0x54, {4, 1})), Reply(0x54, {1}));
  EXPECT_EQ(line.Send(Request(0x53, {3})), Reply(0x53, {7, 0}));
  EXPECT_EQ(line.Send(Request(0x53, {0})), Reply(0x53, {255, 0}));
  EXPECT_EQ(line.Send(Request(0x53, {4})), Reply(0x53, {255, 1}));
  EXPECT_EQ(line.Send(Request(0x54, {3, 255})), Reply(0x54, {0}));
  EXPECT_EQ(line.emulator.Device().State().buttons[3], 255);
}

TEST(emulator_device, PlayStartsOnlyWhatLiesInTheMemoryAndStopAlwaysWorks) {
  Line line(1);
  const BSirenDevice& device = line.emulator.Device();
  EXPECT_EQ(line.Send(Request(0x23, {2})), Reply(0x23, {2, 255}));  // empty slot
  EXPECT_EQ(line.Send(Request(0x23, {16})), Reply(0x23, {16, 1}));
  EXPECT_EQ(line.Send(Request(0x52)), Reply(0x52, {255}));  // empty playlist
  EXPECT_EQ(device.GetPlayKind(), BSirenDevice::PlayKind::None);

  line.Send(Request(0x21, FragmentEntry(2, 100, 50)));
  EXPECT_EQ(line.Send(Request(0x23, {2})), Reply(0x23, {2, 0}));
  EXPECT_EQ(device.GetPlayKind(), BSirenDevice::PlayKind::Fragment);
  EXPECT_EQ(device.GetPlayingFragment(), 2);
  EXPECT_TRUE(line.Logged("PLAY fragment 2"));
  EXPECT_EQ(line.Send(Request(0x23, {0xFF})), Reply(0x23, {0xFF, 0}));
  EXPECT_EQ(device.GetPlayKind(), BSirenDevice::PlayKind::None);
  EXPECT_EQ(line.Send(Request(0x23, {0xFF})), Reply(0x23, {0xFF, 0}));  // stop while stopped

  // The playlist plays when an entry before the first 255 is playable.
  line.Send(Request(0x51, {0, 5}));
  EXPECT_EQ(line.Send(Request(0x52)), Reply(0x52, {255}));
  line.Send(Request(0x51, {1, 2}));
  EXPECT_EQ(line.Send(Request(0x52)), Reply(0x52, {0}));
  EXPECT_EQ(device.GetPlayKind(), BSirenDevice::PlayKind::Playlist);
}

TEST(emulator_device, AFragmentLoadedBeyondASmallerMemoryDoesNotPlay) {
  Line line(1);
  line.emulator.Device().State().fragments[0] = {70000, 10};
  line.emulator.Device().State().playlist[0] = 0;
  EXPECT_EQ(line.Send(Request(0x20, {0})), Reply(0x20, FragmentEntry(0, 70000, 10)));
  EXPECT_EQ(line.Send(Request(0x23, {0})), Reply(0x23, {0, 255}));
  EXPECT_EQ(line.Send(Request(0x52)), Reply(0x52, {255}));
}

// --- the incoming byte stream ----------------------------------------------------

TEST(emulator_input, ARequestSplitOverReadsIsAnsweredOnceItsLastByteArrives) {
  Line line;
  const Bytes frame = Request(0x40, {0x10, 0, 0, 0x33});
  for (std::size_t i = 0; i + 1 < frame.size(); ++i)
    EXPECT_TRUE(line.emulator.Feed(&frame[i], 1).empty()) << i;
  const std::vector<BOutgoingReply> replies = line.emulator.Feed(&frame.back(), 1);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].chunkOffset, 1u);
  EXPECT_EQ(replies[0].bytes, Reply(0x40, {0}));
  EXPECT_EQ(line.emulator.Device().State().memory[0x10], 0x33);
}

TEST(emulator_input, MergedRequestsAreAnsweredInOrderAndKnowWhereTheyEnded) {
  Line line(3);
  const std::vector<BOutgoingReply> replies =
      line.emulator.Feed(Join({Request(0x00), Request(0x10), Request(0x30, Address(5))}));
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0].bytes, Reply(0xFF));
  EXPECT_EQ(replies[1].bytes, Reply(0x10, {3}));
  EXPECT_EQ(replies[2].bytes, Reply(0x30, {0, 0xFF}));
  EXPECT_EQ(replies[0].chunkOffset, 4u);
  EXPECT_EQ(replies[1].chunkOffset, 8u);
  EXPECT_EQ(replies[2].chunkOffset, 15u);
}

TEST(emulator_input, GarbageBeforeARequestIsSkippedAndLogged) {
  Line line;
  // Noise with start bytes of both directions and a lone 0xAA right before the frame.
  EXPECT_EQ(line.Send(Join({{0x00, 0x55, 0x13, 0xAA, 0xAA}, Request(0x00)})), Reply(0xFF));
  EXPECT_TRUE(line.Logged("00 55 13 AA AA | noise"));
  EXPECT_EQ(line.emulator.RequestCount(), 1u);
}

TEST(emulator_input, ABadChecksumCostsOnlyTheStartByte) {
  Line line;
  // A read-byte frame whose checksum is wrong, with a detect frame inside it.
  const Bytes bad{0xAA, 0x30, 0x03, 0xAA, 0x00, 0x00, 0xAA};
  EXPECT_EQ(line.Send(bad), Reply(0xFF));
  EXPECT_TRUE(line.Logged("bad checksum"));
  // A bad frame on its own is not answered, and the next good one is.
  Bytes corrupted = Request(0x10);
  corrupted.back() ^= 0x01;
  EXPECT_TRUE(line.Send(corrupted).empty());
  EXPECT_EQ(line.Send(Request(0x10)), Reply(0x10, {4}));
}

TEST(emulator_input, UnknownCodesAndWrongLengthsAreNeverAnswered) {
  Line line;
  EXPECT_TRUE(line.Send(Request(0x99)).empty());
  EXPECT_TRUE(line.Send(Request(0x22, {1, 2})).empty());  // a reply code, not a request
  EXPECT_TRUE(line.Send(Request(0x00, {0})).empty());     // detect with a payload
  EXPECT_TRUE(line.Send(Request(0x30, {1, 2})).empty());  // address too short
  EXPECT_EQ(line.emulator.RequestCount(), 0u);
  EXPECT_EQ(line.Send(Request(0x00)), Reply(0xFF));
}

TEST(emulator_input, AHangUpForgetsAHalfReceivedRequest) {
  Line line;
  const Bytes frame = Request(0x30, Address(1));
  line.Send(Bytes(frame.begin(), frame.begin() + 4));
  line.emulator.ResetLink();
  EXPECT_TRUE(line.Send(Bytes(frame.begin() + 4, frame.end())).empty());
  EXPECT_EQ(line.Send(Request(0x00)), Reply(0xFF));
}

// --- fault injection ---------------------------------------------------------------

TEST(emulator_faults, SilentDeviceNeitherAnswersNorActs) {
  Line line(4, ParseFaults({"--silent"}));
  EXPECT_TRUE(line.Send(Request(0x00)).empty());
  EXPECT_TRUE(line.Send(Request(0x40, {1, 0, 0, 0x42})).empty());
  EXPECT_EQ(line.emulator.Device().State().memory[1], 0xFF);
  EXPECT_TRUE(line.Logged("FAULT silent"));
}

TEST(emulator_faults, CorruptedChecksumsHitOnlyTheSelectedReplies) {
  Line line(4, ParseFaults({"--corrupt-checksum", "2,5-6", "--corrupt-checksum", "/10"}));
  for (uint64_t n = 1; n <= 20; ++n) {
    const Bytes reply = line.Send(Request(0x10));
    Bytes good = Reply(0x10, {4});
    const bool corrupt = n == 2 || n == 5 || n == 6 || n == 10 || n == 20;
    if (corrupt) good.back() ^= 0xFF;
    EXPECT_EQ(reply, good) << n;
  }
}

TEST(emulator_faults, DroppedRepliesAreLostAfterTheDeviceActed) {
  Line line(4, ParseFaults({"--drop-reply", "2-"}));
  EXPECT_EQ(line.Send(Request(0x00)), Reply(0xFF));
  EXPECT_TRUE(line.Send(Request(0x40, {7, 0, 0, 0x42})).empty());
  EXPECT_TRUE(line.Send(Request(0x00)).empty());
  EXPECT_EQ(line.emulator.Device().State().memory[7], 0x42);
  EXPECT_TRUE(line.Logged("FAULT drop"));
}

TEST(emulator_faults, NoiseComesBeforeTheReplyAndNeverHoldsAReplyStart) {
  Line line(4, ParseFaults({"--noise", "200"}));
  const Bytes sent = line.Send(Request(0x10));
  ASSERT_EQ(sent.size(), 205u);
  const Bytes noise(sent.begin(), sent.begin() + 200);
  EXPECT_EQ(Bytes(sent.begin() + 200, sent.end()), Reply(0x10, {4}));
  for (uint8_t byte : noise) EXPECT_NE(byte, 0x55);
  EXPECT_NE(noise, Bytes(200, noise[0]));  // not one value repeated

  Line never(4, ParseFaults({"--noise", "5:0"}));
  EXPECT_EQ(never.Send(Request(0x10)), Reply(0x10, {4}));
  Line sometimes(4, ParseFaults({"--noise", "3:50"}));
  int noisy = 0;
  for (int i = 0; i < 100; ++i) noisy += sometimes.Send(Request(0x10)).size() == 8 ? 1 : 0;
  EXPECT_GT(noisy, 10);
  EXPECT_LT(noisy, 90);
}

TEST(emulator_faults, RefusedAddressesAnswer255AndKeepTheirByte) {
  Line line(4, ParseFaults({"--refuse-address", "0x100", "--refuse-address", "512-513"}));
  EXPECT_EQ(line.Send(Request(0x30, Address(0x100))), Reply(0x30, {255, 0}));
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(0x100), {0}}))), Reply(0x40, {255}));
  EXPECT_EQ(line.emulator.Device().State().memory[0x100], 0xFF);
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(513), {0}}))), Reply(0x40, {255}));
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(0xFF), {0}}))), Reply(0x40, {0}));
  EXPECT_EQ(line.Send(Request(0x30, Address(514))), Reply(0x30, {0, 0xFF}));
  EXPECT_TRUE(line.Logged("FAULT refuse: address 256"));
}

TEST(emulator_faults, TableRefusalsCanLetARetrySucceed) {
  Line line(4, ParseFaults({"--refuse-table", "fragment:3:255:1", "--refuse-table", "playlist:*:2",
                            "--refuse-table", "button:1"}));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 0, 10))), Reply(0x21, {3, 255}));
  EXPECT_TRUE(line.emulator.Device().State().IsEntryEmpty(3));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 0, 10))), Reply(0x21, {3, 0}));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(2, 0, 10))), Reply(0x21, {2, 0}));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(line.Send(Request(0x51, {static_cast<uint8_t>(i), 3})), Reply(0x51, {2}));
  EXPECT_EQ(line.Send(Request(0x54, {1, 3})), Reply(0x54, {1}));
  EXPECT_EQ(line.Send(Request(0x54, {1, 3})), Reply(0x54, {1}));
  EXPECT_EQ(line.Send(Request(0x54, {0, 3})), Reply(0x54, {0}));
  EXPECT_EQ(line.Send(Request(0x53, {1})), Reply(0x53, {255, 0}));
}

TEST(emulator_faults, FaultsCombine) {
  Line line(4, ParseFaults({"--drop-reply", "1", "--corrupt-checksum", "2", "--noise", "2",
                            "--refuse-address", "9"}));
  EXPECT_TRUE(line.Send(Request(0x30, Address(9))).empty());
  const Bytes sent = line.Send(Request(0x30, Address(9)));
  ASSERT_EQ(sent.size(), 8u);
  Bytes expected = Reply(0x30, {255, 0});
  expected.back() ^= 0xFF;
  EXPECT_EQ(Bytes(sent.begin() + 2, sent.end()), expected);
}

// The garbage before a reply, read by the program's own reply parser: every
// reply is delivered, last, after nothing that could answer its request, and
// nothing is left waiting; and the bursts are of every kind the line has.
TEST(emulator_faults, GarbageIsFrameLikeAndEveryReplySurvivesIt) {
  BEmulatorOptions options;
  std::string error;
  ASSERT_TRUE(options.Parse({"--garbage", "100", "--chips", "1"}, error)) << error;
  BSirenEmulator emulator(1, options.faults, 3);
  const std::vector<Bytes> requests = {
      Request(0x30, Address(5)), Request(0x40, Join({Address(5), {7}})),
      Request(0x20, {2}),        Request(0x23, {0}),
      Request(0x51, {0, 1}),     Request(0x00)};
  int bursts = 0, withStrayFrame = 0, wrongLength = 0, split = 0;
  for (int i = 0; i < 600; ++i) {
    const Bytes& request = requests[i % requests.size()];
    std::vector<BOutgoingReply> replies = emulator.Feed(request);
    ASSERT_EQ(replies.size(), 1u);
    const Bytes& sent = replies[0].bytes;
    BReceiveBuffer buffer;
    Recorder recorder;
    // Fed as it leaves the emulator: in one piece or in two.
    const size_t cut = replies[0].splitAt > 0 ? replies[0].splitAt : sent.size();
    split += cut < sent.size();
    buffer.Append(sent.data(), cut);
    ParseReceived(buffer, recorder);
    buffer.Append(sent.data() + cut, sent.size() - cut);
    ParseReceived(buffer, recorder);
    ASSERT_FALSE(recorder.frames.empty());
    const uint8_t replyCode = request[1] == 0x00 ? 0xFF : request[1];
    EXPECT_EQ(recorder.frames.back()[0], replyCode) << siren::HexBytes(sent);
    for (size_t k = 0; k + 1 < recorder.frames.size(); ++k)
      EXPECT_FALSE(BLineGarbage::CouldAnswer(recorder.frames[k][0], replyCode))
          << siren::HexBytes(sent);
    EXPECT_EQ(buffer.Find(0x55), BReceiveBuffer::kNotFound) << siren::HexBytes(sent);
    if (sent.size() > static_cast<size_t>(ReplyDataLength(replyCode)) + 4) ++bursts;
    withStrayFrame += recorder.frames.size() > 1;
    for (size_t k = 0; k + 2 < sent.size(); ++k)
      if (sent[k] == 0x55 && ReplyDataLength(sent[k + 1]) >= 0 &&
          sent[k + 2] != ReplyDataLength(sent[k + 1])) {
        ++wrongLength;
        break;
      }
  }
  EXPECT_GT(bursts, 500);
  EXPECT_GT(withStrayFrame, 50);
  EXPECT_GT(wrongLength, 100);
  EXPECT_GT(split, 50);
}

TEST(emulator_faults, ABadCellAcknowledgesAWriteButKeepsItsValue) {
  Line line(1, ParseFaults({"--bad-cell", "0x20-0x21"}));
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(0x21), {0x42}}))), Reply(0x40, {0}));
  EXPECT_EQ(line.Send(Request(0x30, Address(0x21))), Reply(0x30, {0, 0xFF}));
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(0x22), {0x42}}))), Reply(0x40, {0}));
  EXPECT_EQ(line.Send(Request(0x30, Address(0x22))), Reply(0x30, {0, 0x42}));
  EXPECT_TRUE(line.Logged("FAULT bad cell: 33"));
  // Beyond the memory the device answers as always.
  Line small(1, ParseFaults({"--bad-cell", "70000"}));
  EXPECT_EQ(small.Send(Request(0x40, Join({Address(70000), {1}}))), Reply(0x40, {255}));
}

// After the swap the line leads to the siren of the state file.
TEST(emulator_faults, TheOtherSirenTakesTablesAndMemoryFromAStateFile) {
  TestFolder folder;
  BSirenState older;
  older.fragments[2] = {100, 2000};
  older.playlist[0] = older.buttons[1] = 2;
  for (uint32_t a = 0; a < BSirenState::kMemorySize; ++a) older.memory[a] = uint8_t(a * 7 + 3);
  ASSERT_TRUE(older.Save(folder.File("older")));
  Line line(4, ParseFaults({"--swap-at", "1"}));
  std::string error;
  ASSERT_TRUE(line.emulator.LoadOtherSiren(folder.File("older"), error)) << error;
  EXPECT_EQ(line.Send(Request(0x40, Join({Address(5), {0x42}}))), Reply(0x40, {0}));
  EXPECT_EQ(line.Send(Request(0x20, {2})), Reply(0x20, FragmentEntry(2, 100, 2000)));
  EXPECT_EQ(line.Send(Request(0x50, {0})), Reply(0x50, {2, 0}));
  EXPECT_EQ(line.Send(Request(0x53, {1})), Reply(0x53, {2, 0}));
  for (uint32_t a : {0u, 5u, 65535u, 262139u})
    EXPECT_EQ(line.Send(Request(0x30, Address(a))), Reply(0x30, {0, uint8_t(a * 7 + 3)})) << a;
}

// A late copy rides in front of the next answer, as sent; a dropped reply
// has none; in a quiet time its owner takes it, and it is sent only once.
TEST(emulator_faults, ALateCopyGoesOutInFrontOfTheNextAnswer) {
  Line line(
      4, ParseFaults({"--late-copy", "1,3-4", "--corrupt-checksum", "3", "--drop-reply", "4-5"}));
  EXPECT_EQ(line.Send(Request(0x30, Address(1))), Reply(0x30, {0, 0xFF}));
  const std::vector<BOutgoingReply> second = line.emulator.Feed(Request(0x10));
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].bytes, Join({Reply(0x30, {0, 0xFF}), Reply(0x10, {4})}));
  EXPECT_EQ(second[0].logLines.at(0).rfind("FAULT late copy: reply 1 sent again, ahead of", 0), 0u);
  Bytes corrupted = Reply(0xFF);
  corrupted.back() ^= 0xFF;
  EXPECT_EQ(line.Send(Request(0x00)), corrupted);
  EXPECT_EQ(line.Send(Request(0x00)), corrupted) << "reply 4 is dropped, the copy of 3 is not";
  EXPECT_TRUE(line.Send(Request(0x00)).empty()) << "a dropped reply has no copy";

  Line quiet(4, ParseFaults({"--late-copy", "1"}));
  EXPECT_EQ(quiet.Send(Request(0x10)), Reply(0x10, {4}));
  EXPECT_EQ(quiet.emulator.TakeLateCopy().bytes, Reply(0x10, {4}));
  EXPECT_EQ(quiet.Send(Request(0x00)), Reply(0xFF));
}

TEST(emulator_faults, ALostTableWriteIsAcknowledgedButTheOldEntryStays) {
  Line line(1, ParseFaults({"--refuse-table", "button:0:255:1", "--lose-table", "fragment:3:1",
                            "--lose-table", "playlist:*", "--lose-table", "button:*:1"}));
  BSirenState& state = line.emulator.Device().State();
  state.fragments[3] = {7, 8};
  state.playlist[2] = 7;
  // Refused by the siren itself (beyond the memory): answered as always, not counted.
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 65000, 1000))), Reply(0x21, {3, 255}));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 10, 20))), Reply(0x21, {3, 0}));
  EXPECT_EQ(line.Send(Request(0x20, {3})), Reply(0x20, FragmentEntry(3, 7, 8)));
  EXPECT_TRUE(line.Logged("FAULT lose: fragment write 3 acknowledged but not stored"));
  EXPECT_EQ(line.Send(Request(0x21, FragmentEntry(3, 10, 20))), Reply(0x21, {3, 0}));
  EXPECT_EQ(line.Send(Request(0x20, {3})), Reply(0x20, FragmentEntry(3, 10, 20))) << "once only";
  EXPECT_EQ(line.Send(Request(0x51, {2, 9})), Reply(0x51, {0}));
  EXPECT_EQ(line.Send(Request(0x51, {2, 16})), Reply(0x51, {2}));
  EXPECT_EQ(line.Send(Request(0x50, {2})), Reply(0x50, {7, 0}));
  EXPECT_EQ(line.Send(Request(0x54, {0, 5})), Reply(0x54, {255}));  // the refusal comes first
  EXPECT_EQ(line.Send(Request(0x54, {0, 5})), Reply(0x54, {0}));
  EXPECT_EQ(line.Send(Request(0x53, {0})), Reply(0x53, {255, 0}));
  EXPECT_EQ(line.Send(Request(0x54, {0, 6})), Reply(0x54, {0}));
  EXPECT_EQ(line.Send(Request(0x53, {0})), Reply(0x53, {6, 0}));
}

// A flipped reply differs from the true one in exactly one bit, anywhere in
// the frame, and the program's reader takes nothing from it.
TEST(emulator_faults, AFlippedBitLeavesNoFrameAReceiverTakes) {
  Line line(4, ParseFaults({"--flip-bit", "2-"}));
  EXPECT_EQ(line.Send(Request(0x30, Address(0))), Reply(0x30, {0, 0xFF}));
  std::set<std::size_t> flippedBytes;
  for (uint32_t n = 2; n <= 100; ++n) {
    const Bytes sent = line.Send(Request(0x30, Address(n))), good = Reply(0x30, {0, 0xFF});
    ASSERT_EQ(sent.size(), good.size()) << n;
    int bits = 0;
    for (std::size_t k = 0; k < sent.size(); ++k) {
      bits += __builtin_popcount(sent[k] ^ good[k]);
      if (sent[k] != good[k]) flippedBytes.insert(k);
    }
    EXPECT_EQ(bits, 1) << n;
    BReceiveBuffer buffer;
    Recorder recorder;
    buffer.Append(sent.data(), sent.size());
    ParseReceived(buffer, recorder);
    EXPECT_TRUE(recorder.frames.empty()) << siren::HexBytes(sent);
  }
  EXPECT_EQ(flippedBytes.size(), 6u) << "every byte of the reply, start byte to checksum";
}

// --- the command line --------------------------------------------------------------

TEST(emulator_options, EveryOptionIsUnderstood) {
  BEmulatorOptions options;
  std::string error;
  ASSERT_TRUE(options.Parse({"--device",
                             "/dev/ttyS9",
                             "--link",
                             "/tmp/com1",
                             "--chips",
                             "0x80",
                             "--state",
                             "s.bin",
                             "--exit-on-eof",
                             "--delay",
                             "15",
                             "--pace",
                             "--log",
                             "-",
                             "--seed",
                             "7",
                             "--noise",
                             "3:25",
                             "--corrupt-checksum",
                             "4",
                             "--drop-reply",
                             "/3",
                             "--refuse-address",
                             "0x3FFFF",
                             "--refuse-table",
                             "button:2:255:2",
                             "--garbage",
                             "30",
                             "--bad-cell",
                             "0x10-0x12",
                             "--other-state",
                             "old.state",
                             "--silent"},
                            error))
      << error;
  EXPECT_EQ(options.device, "/dev/ttyS9");
  EXPECT_EQ(options.link, "/tmp/com1");
  EXPECT_EQ(options.chips, 0x80);
  EXPECT_EQ(options.stateFile, "s.bin");
  EXPECT_TRUE(options.exitOnEof && options.pace && options.faults.silent);
  EXPECT_EQ(options.delayMs, 15u);
  EXPECT_EQ(options.logFile, "-");
  EXPECT_EQ(options.seed, 7u);
  EXPECT_EQ(options.faults.noiseBytes, 3u);
  EXPECT_EQ(options.faults.noisePercent, 25u);
  EXPECT_TRUE(options.faults.corruptChecksum.Matches(4) &&
              !options.faults.corruptChecksum.Matches(8));
  EXPECT_TRUE(options.faults.dropReply.Matches(9) && !options.faults.dropReply.Matches(10));
  EXPECT_TRUE(options.faults.IsAddressRefused(0x3FFFF) &&
              !options.faults.IsAddressRefused(0x3FFFE));
  ASSERT_EQ(options.faults.tableRefusals.size(), 1u);
  EXPECT_EQ(options.faults.tableRefusals[0].kind, BTableRefusal::Kind::Button);
  EXPECT_EQ(options.faults.tableRefusals[0].index, 2);
  EXPECT_EQ(options.faults.tableRefusals[0].status, 255);
  EXPECT_EQ(options.faults.tableRefusals[0].times, 2u);
  EXPECT_EQ(options.faults.garbagePercent, 30u);
  EXPECT_TRUE(options.faults.IsBadCell(0x12) && !options.faults.IsBadCell(0x13));
  EXPECT_EQ(options.otherState, "old.state");
  EXPECT_EQ(BEmulatorOptions().chips, 4);
}

TEST(emulator_options, BadValuesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--chips", "256"},
      {"--chips", "-1"},
      {"--chips"},
      {"--delay", "x"},
      {"--noise", "3:101"},
      {"--corrupt-checksum", "0"},
      {"--drop-reply", "5-3"},
      {"--drop-reply", "/0"},
      {"--drop-reply", "1,,2"},
      {"--refuse-address", "0x1000000"},
      {"--refuse-address", "9-8"},
      {"--refuse-table", "fragment"},
      {"--refuse-table", "memory:1"},
      {"--refuse-table", "fragment:256"},
      {"--refuse-table", "button:1:2:3:4"},
      {"--garbage", "101"},
      {"--bad-cell", "x"},
      {"--frobnicate"},
      {"--other-state"},
      {"--other-state", ""},
      {"--late-copy", "0"},
      {"--late-copy", "3-x"},
      {"--flip-bit", "/"},
      {"--flip-bit", "4-2"},
      {"--lose-table", "fragment"},
      {"--lose-table", "memory:*"},
      {"--lose-table", "button:x"},
      {"--lose-table", "playlist:1:0"},
      {"--lose-table", "fragment:1:0:2"},
  };
  for (const auto& arguments : bad) {
    BEmulatorOptions options;
    std::string error;
    EXPECT_FALSE(options.Parse(arguments, error)) << arguments[0];
    EXPECT_FALSE(error.empty()) << arguments[0];
  }
  const std::string usage = BEmulatorOptions::Usage("siren_emulator");
  for (const char* option : {"--device",       "--link",
                             "--chips",        "--state",
                             "--exit-on-eof",  "--delay",
                             "--pace",         "--noise",
                             "--seed",         "--corrupt-checksum",
                             "--drop-reply",   "--refuse-address",
                             "--refuse-table", "--silent",
                             "--log",          "--help",
                             "--garbage",      "--bad-cell",
                             "--repeat-reply", "--swap-at",
                             "--chatter",      "--other-state",
                             "--late-copy",    "--flip-bit",
                             "--lose-table"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// --- the state file ----------------------------------------------------------------

TEST(emulator_state, ARoundTripKeepsEverythingAndFollowsTheDocumentedLayout) {
  TestFolder folder;
  const std::string path = folder.File("siren.state");
  BSirenState state;
  state.fragments[0] = {0x012345, 0x000100};
  state.fragments[15] = {0x3FF00, 0xFF};
  state.playlist[0] = 15;
  state.playlist[15] = 0;
  state.buttons[3] = 7;
  state.memory[0] = 0x11;
  state.memory[BSirenState::kMemorySize - 1] = 0x22;
  ASSERT_TRUE(state.Save(path)) << state.GetErrorText();
  EXPECT_EQ(folder.List(), std::vector<std::string>{"siren.state"});  // no temporary left

  const Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 262264u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{'S', 'E', 'M', 'U', 1, 0, 0, 0}));
  EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 14),
            (Bytes{0x45, 0x23, 0x01, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 20),
            (Bytes{0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0x0F}));
  EXPECT_EQ(file[104], 15);
  EXPECT_EQ(file[119], 0);
  EXPECT_EQ(file[120 + 3], 7);
  EXPECT_EQ(file[124], 0x11);
  EXPECT_EQ(file[124 + 1], 0xFF);
  EXPECT_EQ(file.back(), 0x22);

  BSirenState loaded;
  ASSERT_TRUE(loaded.Load(path)) << loaded.GetErrorText();
  EXPECT_EQ(loaded.fragments[0].start, 0x012345u);
  EXPECT_EQ(loaded.fragments[15].length, 0xFFu);
  EXPECT_TRUE(loaded.IsEntryEmpty(1));
  EXPECT_EQ(loaded.playlist, state.playlist);
  EXPECT_EQ(loaded.buttons, state.buttons);
  EXPECT_EQ(loaded.memory, state.memory);
}

TEST(emulator_state, AFileThatIsNotAStateLeavesTheStateAlone) {
  TestFolder folder;
  BSirenState state;
  state.memory[5] = 0;
  EXPECT_FALSE(BSirenState::FileExists(folder.File("missing")));
  EXPECT_FALSE(state.Load(folder.File("missing")));
  EXPECT_FALSE(state.GetErrorText().empty());

  BSirenState other;
  ASSERT_TRUE(other.Save(folder.File("good")));
  Bytes bytes = ReadBytes(folder.File("good"));
  bytes.pop_back();
  WriteBytes(folder.File("short"), bytes);
  bytes.push_back(0xFF);
  bytes[4] = 2;
  WriteBytes(folder.File("version"), bytes);
  bytes[4] = 1;
  bytes[0] = 'X';
  WriteBytes(folder.File("magic"), bytes);
  for (const char* name : {"short", "version", "magic"}) {
    EXPECT_TRUE(BSirenState::FileExists(folder.File(name)));
    EXPECT_FALSE(state.Load(folder.File(name))) << name;
    EXPECT_EQ(state.memory[5], 0) << name;
  }
}

TEST(emulator_state, ASavedDeviceAnswersTheSameAfterLoading) {
  TestFolder folder;
  Line first(2);
  first.Send(Request(0x21, FragmentEntry(1, 10, 2)));
  first.Send(Request(0x40, Join({Address(11), {0x5A}})));
  first.Send(Request(0x51, {0, 1}));
  first.Send(Request(0x54, {2, 1}));
  ASSERT_TRUE(first.emulator.Device().State().Save(folder.File("s")));

  Line second(2);
  ASSERT_TRUE(second.emulator.Device().State().Load(folder.File("s")));
  EXPECT_EQ(second.Send(Request(0x20, {1})), Reply(0x20, FragmentEntry(1, 10, 2)));
  EXPECT_EQ(second.Send(Request(0x30, Address(11))), Reply(0x30, {0, 0x5A}));
  EXPECT_EQ(second.Send(Request(0x50, {0})), Reply(0x50, {1, 0}));
  EXPECT_EQ(second.Send(Request(0x53, {2})), Reply(0x53, {1, 0}));
}

// --- line timing arithmetic (no clock involved) ------------------------------------

TEST(emulator_pacer, PacedRepliesLeaveAfterTheRequestArrivedAndTheirOwnWireTime) {
  const int64_t byteTime = BLinePacer::WireTime(1);
  EXPECT_EQ(byteTime, 86806);
  EXPECT_EQ(BLinePacer::WireTime(13), 1128472);

  BLinePacer paced(true, 0);
  paced.OnChunkRead(1000000, 7);  // a read-byte request, read at once
  const int64_t end = paced.RequestEnd(7);
  EXPECT_EQ(end, 1000000 + BLinePacer::WireTime(7));
  EXPECT_EQ(paced.ReplyDeadline(end, 6), end + BLinePacer::WireTime(6));

  // Two requests in one chunk: the second ends later, and its reply waits
  // for the first reply to leave the line.
  BLinePacer merged(true, 2000000);
  merged.OnChunkRead(0, 8);
  const int64_t first = merged.ReplyDeadline(merged.RequestEnd(4), 4);
  EXPECT_EQ(first, BLinePacer::WireTime(4) + 2000000 + BLinePacer::WireTime(4));
  const int64_t second = merged.ReplyDeadline(merged.RequestEnd(8), 4);
  EXPECT_EQ(second, BLinePacer::WireTime(8) + 2000000 + BLinePacer::WireTime(4));
  // A chunk read while the previous one is still on the line queues behind it.
  merged.OnChunkRead(1, 4);
  EXPECT_EQ(merged.RequestEnd(4), BLinePacer::WireTime(8) + BLinePacer::WireTime(4));

  BLinePacer plain(false, 5000000);
  plain.OnChunkRead(100, 7);
  EXPECT_EQ(plain.RequestEnd(7), 100);
  EXPECT_EQ(plain.ReplyDeadline(100, 6), 5000100);
}
