// The command set and the memory jobs, driven by replies from a small siren
// model in the test instead of a serial port.
#include "link/siren_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <ostream>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "link/link_string_ids.h"
#include "model/command_rules.h"

// Readable failure messages: "190(3, 188())".
void PrintTo(const BLinkText& text, std::ostream* out) {
  *out << (text.id != 0 ? std::to_string(text.id) : "'" + text.literal + "'") << "(";
  for (size_t i = 0; i < text.args.size(); ++i) {
    const BLinkTextArg& arg = text.args[i];
    if (i > 0) *out << ", ";
    if (arg.kind == BLinkTextArg::Kind::Number) *out << arg.number;
    if (arg.kind == BLinkTextArg::Kind::Text) *out << '"' << arg.text << '"';
    if (arg.kind == BLinkTextArg::Kind::Nested) PrintTo(*arg.nested, out);
  }
  *out << ")";
}

namespace {

bool Contains(const std::vector<BLinkText>& lines, const BLinkText& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct SentFrame {
  uint8_t code;
  std::vector<uint8_t> payload;
};

class FakePort : public BLinkPort {
 public:
  bool openResult = true;
  bool open = false;
  std::deque<SentFrame> unanswered;
  std::vector<SentFrame> sent;

  int opens = 0;
  bool Open(const std::string&) override {
    ++opens;
    return open = openResult;
  }
  bool Close(unsigned) override {
    open = false;
    unanswered.clear();
    return true;
  }
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    SentFrame frame{code, std::vector<uint8_t>(payload, payload + length)};
    sent.push_back(frame);
    unanswered.push_back(frame);
  }
  bool IsOpen() const override { return open; }
  std::string GetErrorText() const override { return "no such port"; }
};

class FakeUi : public BLinkUi {
 public:
  std::deque<unsigned> posted;
  std::vector<BLinkText> status;
  std::vector<BLinkText> errors;
  std::vector<BLinkText> information;
  std::vector<BLinkText> warnings;
  std::vector<BLinkText> questions;
  std::deque<BAnswer> answers;
  std::map<std::string, bool> enabled;
  int progressRange = -1;
  int progressPosition = -1;
  bool connectedText = false;
  uint32_t availableSize = 0;
  bool modified = false;
  int filled = 0;
  int selected = -1;
  uint32_t tick = 0;
  std::vector<std::string> debug;
  std::function<void()> whileAsking;

  bool PostLinkMessage(unsigned message) override {
    posted.push_back(message);
    return true;
  }
  std::string DefaultFragmentName(int number) override { return "F" + std::to_string(number); }
  void ShowLinkStatus(const BLinkText& text) override { status.push_back(text); }
  void ReplaceLinkStatus(const BLinkText& text) override {
    if (!status.empty()) status.pop_back();
    status.push_back(text);
  }
  void ClearStatusLog() override { status.clear(); }
  void ShowLinkError(const BLinkText& text) override { errors.push_back(text); }
  void ShowLinkInformation(const BLinkText& text) override { information.push_back(text); }
  void ShowLinkWarning(const BLinkText& text) override { warnings.push_back(text); }
  BAnswer AskLink(const BLinkText& text, BQuestion) override {
    questions.push_back(text);
    // What the window does while the question is open (its messages go on).
    if (whileAsking) std::exchange(whileAsking, nullptr)();
    if (answers.empty()) return BAnswer::Yes;
    BAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SetProgressRange(int total) override {
    progressRange = total;
    progressPosition = 0;
  }
  void SetProgressPosition(int position) override { progressPosition = position; }
  void SetConnectCommandText(bool connected) override { connectedText = connected; }
  void SetAvailableSize(uint32_t bytes) override { availableSize = bytes; }
  // The commands as the window decides them from the link's state.
  const BSirenLink* link = nullptr;
  void CommandsChanged() override {
    BProgramState state;
    state.connected = link->IsConnected();
    state.jobRunning = link->IsJobRunning();
    state.abortable = link->IsAbortable();
    BCommandSet commands = DecideCommands(state);
    enabled["siren"] = commands.sirenCommands;
    enabled["abort"] = commands.abort;
    enabled["editing"] = commands.editing;
    enabled["file"] = commands.fileCommands;
    enabled["port"] = commands.portMenu;
  }
  void SaveSettings() override {}
  void EnablePlayer(bool) override {}
  void ReadStarts() override {}
  void ReadEnded() override {}
  void ClearPanels() override {}
  void FillPanels() override { ++filled; }
  void ReportDroppedReferences(const BDroppedReferences& d) override {
    droppedReports.push_back(d);
  }
  std::vector<BDroppedReferences> droppedReports;
  void MarkProfileModified() override { modified = true; }
  int SelectedFragment() override { return selected; }
  uint32_t TickCount() override { return tick; }
  bool retryTimer = false;
  void RunRetryTimer(bool run) override { retryTimer = run; }
  void DebugOutput(const std::string& text) override { debug.push_back(text); }
};

// The device side: answers requests from its own table, playlist, buttons and memory.
struct SirenModel {
  int chips = 2;
  uint32_t start[16];
  uint32_t length[16];
  uint8_t playlist[16];
  uint8_t buttons[4] = {255, 255, 255, 255};
  std::vector<uint8_t> memory = std::vector<uint8_t>(kImageSize, 0xFF);
  std::map<std::pair<uint8_t, int>, uint8_t> refusals;  // (write code, index) -> status
  uint32_t refusedAddress = 0xFFFFFFFF;
  std::set<uint32_t> badCells;                    // take a write with status 0 but keep their value
  std::set<std::pair<uint8_t, int>> lostEntries;  // (write code, index): acknowledged, not stored

  SirenModel() {
    for (int i = 0; i < 16; ++i) start[i] = length[i] = kEmptySlotValue;
    for (uint8_t& entry : playlist) entry = 255;
  }

  std::vector<uint8_t> Answer(const SentFrame& frame) {
    const std::vector<uint8_t>& p = frame.payload;
    auto address = [&] { return uint32_t(p[0] | p[1] << 8 | p[2] << 16); };
    auto refusal = [&](int index) {
      auto found = refusals.find({frame.code, index});
      return found == refusals.end() ? uint8_t(0) : found->second;
    };
    switch (frame.code) {
      case CMD_DETECT:
        return {};
      case CMD_MEMORY_SIZE:
        return {uint8_t(chips)};
      case CMD_READ_FRAGMENT:
        return {p[0],
                uint8_t(start[p[0]]),
                uint8_t(start[p[0]] >> 8),
                uint8_t(start[p[0]] >> 16),
                uint8_t(length[p[0]]),
                uint8_t(length[p[0]] >> 8),
                uint8_t(length[p[0]] >> 16)};
      case CMD_WRITE_FRAGMENT:
        if (refusal(p[0]) == 0 && lostEntries.count({frame.code, p[0]}) == 0) {
          start[p[0]] = p[1] | p[2] << 8 | p[3] << 16;
          length[p[0]] = p[4] | p[5] << 8 | p[6] << 16;
        }
        return {0, refusal(p[0])};
      case CMD_READ_PLAYLIST:
        return {playlist[p[0]], 0};
      case CMD_WRITE_PLAYLIST:
        if (lostEntries.count({frame.code, p[0]}) == 0) playlist[p[0]] = p[1];
        return {refusal(p[0])};
      case CMD_READ_BUTTON:
        return {buttons[p[0]], 0};
      case CMD_WRITE_BUTTON:
        if (lostEntries.count({frame.code, p[0]}) == 0) buttons[p[0]] = p[1];
        return {refusal(p[0])};
      case CMD_READ_BYTE:
        if (address() == refusedAddress) return {255, 0};
        return {0, memory[address()]};
      case CMD_WRITE_BYTE:
        if (address() == refusedAddress) return {255};
        if (badCells.count(address()) == 0) memory[address()] = p[3];
        return {0};
      default:
        return {1, 1};
    }
  }
};

// The box of a write whose tables read back as sent.
BLinkText Written(const BLinkText& memory) { return BLinkText(IDS_WRITE_TABLES_MATCH, {memory}); }

uint8_t ReplyCode(uint8_t requestCode) {
  return requestCode == CMD_DETECT ? kDetectReply : requestCode;
}

class SirenLinkTest : public ::testing::Test {
 protected:
  BProfile profile;
  FakePort port;
  FakeUi ui;
  SirenModel siren;
  BSirenLink link{profile, port, ui};
  SirenLinkTest() { ui.link = &link; }

  // Hands the posted messages to the link, as the window's message loop does.
  void Pump() {
    while (!ui.posted.empty()) {
      unsigned message = ui.posted.front();
      ui.posted.pop_front();
      link.HandleMessage(message);
    }
  }
  // The siren answers every waiting request, one at a time, until none is left.
  void AnswerAll(size_t limit = 1000000) {
    for (size_t i = 0; i < limit && !port.unanswered.empty(); ++i) {
      SentFrame frame = port.unanswered.front();
      port.unanswered.pop_front();
      std::vector<uint8_t> data = siren.Answer(frame);
      link.OnReceive(ReplyCode(frame.code), uint8_t(data.size()), data.data());
      Pump();
    }
  }
  void Reply(uint8_t code, std::vector<uint8_t> data) {
    port.unanswered.clear();
    link.OnReceive(code, uint8_t(data.size()), data.data());
    Pump();
  }
  void ConnectTo(int chips) {
    siren.chips = chips;
    link.OnConnect("COM3");
    AnswerAll();
  }
  void PlaceFragment(const char* name, uint32_t start, std::vector<uint8_t> bytes) {
    profile.PlaceFragment(name, BMemRange{start, uint32_t(bytes.size())}, bytes.data(),
                          uint32_t(bytes.size()));
  }
};

TEST_F(SirenLinkTest, ConnectDetectsTheSirenAndLearnsItsMemory) {
  ConnectTo(4);
  EXPECT_TRUE(port.open);
  EXPECT_EQ(CMD_DETECT, port.sent[0].code);
  EXPECT_EQ(CMD_MEMORY_SIZE, port.sent[1].code);
  std::vector<BLinkText> expected = {BLinkText(IDS_OPENING_PORT, {"COM3"}),
                                     BLinkText(IDS_SEARCHING_SIREN), BLinkText(IDS_SIREN_DETECTED),
                                     BLinkText(IDS_QUERYING_MEMORY_SIZE),
                                     BLinkText(IDS_SIREN_CONNECTED, {255})};
  EXPECT_EQ(expected, ui.status);
  EXPECT_EQ(4, profile.GetICCount());
  EXPECT_EQ(kImageSize, ui.availableSize);
  EXPECT_TRUE(ui.enabled["siren"]);
  EXPECT_FALSE(ui.enabled["port"]);
  EXPECT_TRUE(ui.connectedText);
  EXPECT_EQ(BLinkState::Idle, link.GetState());

  Reply(kDetectReply, {});  // a stray reply while idle changes nothing
  EXPECT_EQ(5u, ui.status.size());
  EXPECT_EQ(2u, port.sent.size());
}

TEST_F(SirenLinkTest, InvalidChipCountsAreReportedAndKeepTheLinkOpen) {
  for (int chips : {0, 0x80, 5}) {
    SCOPED_TRACE(chips);
    ui.errors.clear();
    if (port.open) link.OnConnect("COM3");
    ConnectTo(chips);
    BLinkText expected(IDS_BAD_MEMORY_SIZE, {chips});
    ASSERT_EQ(1u, ui.errors.size());
    EXPECT_EQ(expected, ui.errors[0]);
    EXPECT_EQ(expected, ui.status.back());
    EXPECT_EQ(0, profile.GetICCount());
    EXPECT_TRUE(port.open);
    EXPECT_EQ(BLinkState::Idle, link.GetState());
  }
}

TEST_F(SirenLinkTest, PortThatCannotBeOpenedIsReportedTwice) {
  port.openResult = false;
  link.OnConnect("COM42");
  EXPECT_EQ(BLinkText(IDS_PORT_OPEN_FAILED_STATUS, {"COM42", "no such port"}), ui.status.back());
  ASSERT_EQ(1u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PORT_OPEN_FAILED, {"COM42", "no such port"}), ui.errors[0]);
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());
  EXPECT_FALSE(ui.connectedText);
  EXPECT_TRUE(port.sent.empty());
}

TEST_F(SirenLinkTest, SilenceAndTransportErrorsDisconnect) {
  link.OnConnect("COM3");
  link.OnTimeout();
  Pump();
  EXPECT_FALSE(port.open);
  EXPECT_EQ(BLinkText(IDS_DISCONNECTED), ui.status.back());
  ASSERT_EQ(1u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_SIREN_NOT_RESPONDING, {"COM3"}), ui.errors[0]);
  EXPECT_TRUE(ui.enabled["port"]);
  EXPECT_FALSE(ui.enabled["siren"]);
  EXPECT_TRUE(ui.enabled["file"]);

  // Before the siren answered: the port is not one that worked and failed.
  link.OnConnect("COM3");
  link.OnError("device gone");
  Pump();
  EXPECT_FALSE(link.IsReconnecting());
  EXPECT_EQ(BLinkText::Literal("device gone"), ui.status[ui.status.size() - 2]);
  EXPECT_EQ(BLinkText(IDS_PORT_ACCESS_FAILED, {"COM3", BLinkText::Literal("device gone")}),
            ui.errors.back());
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());

  link.OnTimeout();  // late news from the closed link
  Pump();
  EXPECT_EQ(2u, ui.errors.size());
}

TEST_F(SirenLinkTest, PlayAndStopOnTheSiren) {
  ConnectTo(1);
  PlaceFragment("a", 0, {1, 2, 3});
  ui.selected = 0;
  ui.answers = {BAnswer::No};
  link.PlayFragment();
  EXPECT_EQ(BLinkText(IDS_FRAGMENT_NOT_SYNCED_PROMPT), ui.questions.back());
  EXPECT_EQ(2u, port.sent.size()) << "No sends nothing";

  link.PlayFragment();
  EXPECT_EQ(CMD_PLAY_FRAGMENT, port.sent.back().code);
  EXPECT_EQ(std::vector<uint8_t>{0}, port.sent.back().payload);
  Reply(CMD_PLAY_FRAGMENT, {0, kStatusOk});
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(BLinkState::Idle, link.GetState());

  link.StopPlayback();
  EXPECT_EQ(std::vector<uint8_t>{kStopPlayback}, port.sent.back().payload);
  Reply(kAlternativePlayReply, {0, kStatusBadIndex});
  ASSERT_EQ(1u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {255, BLinkText(IDS_BAD_FRAGMENT_INDEX)}),
            ui.errors[0]);

  link.PlayPlaylist();
  Reply(CMD_PLAY_PLAYLIST, {kStatusUnavailable});
  EXPECT_EQ(BLinkText(IDS_PLAY_PLAYLIST_ON_SIREN_FAILED, {BLinkText(IDS_MEMORY_UNAVAILABLE)}),
            ui.errors.back());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
}

// Stop pressed before the play reply: each answer reports the fragment its
// own request carried, whichever order the window handles them in.
TEST_F(SirenLinkTest, APlayAnswerReportsTheIndexOfItsOwnRequest) {
  ConnectTo(1);
  PlaceFragment("a", 0, {1, 2, 3});
  PlaceFragment("b", 100, {4, 5});
  profile.SetFragmentSynced(1, true);
  ui.selected = 1;
  link.PlayFragment();
  link.StopPlayback();  // before the play is answered
  ASSERT_EQ(2u, port.unanswered.size());
  // Both answers come before the window takes the first message.
  link.OnReceive(CMD_PLAY_FRAGMENT, 2, std::vector<uint8_t>{1, kStatusBadIndex}.data());
  link.OnReceive(CMD_PLAY_FRAGMENT, 2, std::vector<uint8_t>{255, kStatusOk}.data());
  Pump();
  ASSERT_EQ(1u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {1, BLinkText(IDS_BAD_FRAGMENT_INDEX)}),
            ui.errors[0]);
  EXPECT_EQ(BLinkState::Idle, link.GetState());

  // The window handles the play's answer before the stop's arrives; the
  // stop's answer (the state no longer waits for it) does not shift the next.
  port.unanswered.clear();
  link.PlayFragment();
  link.StopPlayback();
  link.OnReceive(CMD_PLAY_FRAGMENT, 2, std::vector<uint8_t>{1, kStatusUnavailable}.data());
  Pump();
  link.OnReceive(CMD_PLAY_FRAGMENT, 2, std::vector<uint8_t>{255, kStatusBadIndex}.data());
  Pump();
  ASSERT_EQ(2u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {1, BLinkText(IDS_MEMORY_UNAVAILABLE)}),
            ui.errors[1]);
  link.StopPlayback();
  Reply(CMD_PLAY_FRAGMENT, {255, kStatusBadIndex});
  ASSERT_EQ(3u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {255, BLinkText(IDS_BAD_FRAGMENT_INDEX)}),
            ui.errors[2]);
}

// A window that is slow to take its messages: one progress message waits at a
// time, whatever the number of bytes moved meanwhile, and the completion is
// posted all the same.
TEST_F(SirenLinkTest, OneProgressMessageWaitsAtATimeAndTheEndIsAlwaysPosted) {
  PlaceFragment("long", 0, std::vector<uint8_t>(500, 0x33));
  ConnectTo(1);
  ui.answers = {BAnswer::Yes};
  link.StartWrite();
  AnswerAll(16 + 16 + 4);
  ASSERT_EQ(BLinkState::WritingMemory, link.GetState());
  auto answerWithoutPumping = [&](int count) {
    for (int i = 0; i < count && !port.unanswered.empty(); ++i) {
      SentFrame frame = port.unanswered.front();
      port.unanswered.pop_front();
      std::vector<uint8_t> data = siren.Answer(frame);
      link.OnReceive(frame.code, uint8_t(data.size()), data.data());
    }
  };
  answerWithoutPumping(200);
  EXPECT_EQ(std::deque<unsigned>{WM_MEMORY_WRITE_PROGRESS}, ui.posted);
  Pump();
  EXPECT_EQ(200, ui.progressPosition) << "the message finds the cursor where it is now";
  answerWithoutPumping(50);
  answerWithoutPumping(1000);  // to the end
  EXPECT_EQ((std::deque<unsigned>{WM_MEMORY_WRITE_PROGRESS, WM_MEMORY_WRITE_DONE}), ui.posted);
  Pump();
  AnswerAll();  // the check after the write
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {500u})), ui.information.back());
  EXPECT_TRUE(std::equal(profile.Image(), profile.Image() + 500, siren.memory.begin()));
}

TEST_F(SirenLinkTest, ReadCopiesTheSirenIntoTheProfile) {
  siren.start[0] = 0x1000;
  siren.length[0] = 100;
  siren.start[1] = 0x0000;
  siren.length[1] = 50;
  siren.start[2] = 0x10000;  // runs past 2 chips: cut to 65534 bytes
  siren.length[2] = 0x20000;
  siren.start[3] = 0x30000;  // beyond the memory: no fragment
  siren.length[3] = 10;
  siren.playlist[0] = 1;
  siren.playlist[1] = 0;
  siren.buttons[2] = 1;
  for (uint32_t i = 0; i < kImageSize; ++i) siren.memory[i] = uint8_t(i * 7);
  ConnectTo(2);
  link.StartRead();
  EXPECT_FALSE(ui.enabled["editing"]);
  EXPECT_TRUE(ui.modified);
  AnswerAll();

  EXPECT_EQ(BLinkText(IDS_READ_MEMORY_PROMPT), ui.questions.back());
  ASSERT_EQ(1u, ui.information.size());
  EXPECT_EQ(BLinkText(IDS_READ_COMPLETE), ui.information[0]);
  EXPECT_EQ(1, ui.filled);
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["editing"]);
  EXPECT_FALSE(ui.enabled["abort"]);

  EXPECT_EQ("F1", profile.GetFragment(0).name);
  EXPECT_EQ(0x1000u, profile.GetFragment(0).start);
  EXPECT_EQ(65534u, profile.GetFragment(2).length);
  EXPECT_EQ(kEmptySlotValue, profile.GetFragment(3).start);
  EXPECT_EQ("F4", profile.GetFragment(3).name);
  EXPECT_TRUE(profile.GetFragment(3).synced);
  EXPECT_EQ(1, profile.GetPlaylistEntry(0));
  EXPECT_EQ(255, profile.GetPlaylistEntry(2));
  EXPECT_EQ(1, profile.GetButton(2));
  EXPECT_TRUE(profile.IsPlaylistSynced());
  for (uint32_t a : {0x1000u, 0x1063u, 0x0000u, 0x0031u, 0x10000u, 0x1FFFDu})
    EXPECT_EQ(siren.memory[a], profile.Image()[a]) << a;
  EXPECT_EQ(0xFF, profile.Image()[0x1064]) << "bytes outside fragments are not read";

  // The plan order is slot order: byte 100 of the job is address 0.
  size_t firstByteRequest = 0;
  while (port.sent[firstByteRequest].code != CMD_READ_BYTE) ++firstByteRequest;
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x10, 0x00}), port.sent[firstByteRequest].payload);
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00, 0x00}), port.sent[firstByteRequest + 100].payload);
}

// The siren's playlist 9, 1 ends at once for the program: the 1 is dropped,
// so the playlist is not the siren's.
TEST_F(SirenLinkTest, ReadOfAnEmptySirenEndsAfterTheButtons) {
  siren.playlist[0] = 9;
  siren.playlist[1] = 1;
  ConnectTo(1);
  link.StartRead();
  AnswerAll();
  EXPECT_EQ(255, profile.GetPlaylistEntry(1));
  EXPECT_FALSE(profile.IsPlaylistSynced());
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(BLinkText(IDS_BUTTONS_READ), ui.status.back());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);
}

TEST_F(SirenLinkTest, AFragmentReplyWithAnotherIndexMovesTheCursor) {
  ConnectTo(1);
  link.StartRead();
  port.unanswered.clear();
  Reply(CMD_READ_FRAGMENT, {7, 0, 0, 0, 5, 0, 0});
  EXPECT_EQ(5u, profile.GetFragment(7).length);
  EXPECT_EQ(std::vector<uint8_t>{8}, port.sent.back().payload);
  EXPECT_EQ(BLinkText(IDS_READING_FRAGMENT, {8}), ui.status.back());
}

TEST_F(SirenLinkTest, WriteCopiesTheProfileIntoTheSiren) {
  ConnectTo(2);
  PlaceFragment("first", 0x2000, {1, 2, 3, 4});
  PlaceFragment("second", 0x0100, {9, 8});
  profile.AppendPlaylistEntry(1);
  profile.SetButton(3, 0);
  link.StartWrite();
  AnswerAll(30);
  // The transport dropped two replies that answered nothing.
  link.OnStrayReply(CMD_WRITE_BYTE);
  link.OnStrayReply(CMD_READ_BYTE);
  AnswerAll();
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {6u})), ui.information.back());
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_STRAY_REPLIES, {2u})));
  EXPECT_EQ(0x2000u, siren.start[0]);
  EXPECT_EQ(2u, siren.length[1]);
  EXPECT_EQ(kEmptySlotValue & 0xFFFFFF, siren.start[5]);
  EXPECT_EQ(1, siren.playlist[0]);
  EXPECT_EQ(0, siren.buttons[3]);
  EXPECT_EQ(4, siren.memory[0x2003]);
  EXPECT_EQ(8, siren.memory[0x0101]);
  EXPECT_TRUE(profile.GetFragment(0).synced);
  EXPECT_TRUE(profile.IsPlaylistSynced());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
}

TEST_F(SirenLinkTest, RefusedTableEntriesCanBeRetriedSkippedOrCancelled) {
  ConnectTo(1);
  siren.refusals[{CMD_WRITE_FRAGMENT, 3}] = kStatusBadIndex;
  ui.answers = {BAnswer::Yes, BAnswer::No};
  link.StartWrite();
  AnswerAll();
  std::vector<int> fragmentWrites;
  for (const SentFrame& frame : port.sent)
    if (frame.code == CMD_WRITE_FRAGMENT) fragmentWrites.push_back(frame.payload[0]);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 3, 4}),
            std::vector<int>(fragmentWrites.begin(), fragmentWrites.begin() + 6));
  EXPECT_EQ(BLinkText(IDS_FRAGMENT_WRITE_RETRY_PROMPT, {3, BLinkText(IDS_BAD_FRAGMENT_INDEX)}),
            ui.questions[0]);
  EXPECT_TRUE(Contains(
      ui.status, BLinkText(IDS_FRAGMENT_WRITE_FAILED, {3, BLinkText(IDS_BAD_FRAGMENT_INDEX)})));
  EXPECT_FALSE(profile.GetFragment(3).synced);

  siren.refusals.clear();
  siren.refusals[{CMD_WRITE_PLAYLIST, 0}] = kStatusBadFragment;
  profile.SetPlaylistSynced(false);
  ui.answers = {BAnswer::Cancel};
  link.StartWrite();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_PLAYLIST_WRITE_RETRY_PROMPT, {0, BLinkText(IDS_BAD_FRAGMENT_INDEX)}),
            ui.questions.back());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);
  EXPECT_FALSE(profile.IsPlaylistSynced());
}

TEST_F(SirenLinkTest, ARefusedMemoryByteEndsTheJobAndTheConnection) {
  siren.start[0] = 0x02000;
  siren.length[0] = 10;
  siren.refusedAddress = 0x02005;
  ConnectTo(1);
  link.StartRead();
  AnswerAll();
  EXPECT_EQ(
      BLinkText(IDS_PORT_ACCESS_FAILED, {"COM3", BLinkText(IDS_READ_ADDRESS_FAILED, {0x02005u})}),
      ui.errors.back());
  EXPECT_FALSE(port.open);
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());
  EXPECT_TRUE(ui.enabled["file"]);
}

TEST_F(SirenLinkTest, AbortIgnoresTheLateReply) {
  siren.start[0] = 0;
  siren.length[0] = 100;
  siren.memory.assign(kImageSize, 0x42);
  ConnectTo(1);
  link.StartRead();
  AnswerAll(16 + 16 + 4 + 3 + 10);  // the tables with their markers and ten memory bytes
  ASSERT_EQ(BLinkState::ReadingMemory, link.GetState());
  EXPECT_TRUE(ui.enabled["abort"]);
  link.Abort();
  EXPECT_EQ(BLinkText(IDS_ABORTED), ui.status.back());
  AnswerAll();  // the byte already on the wire
  EXPECT_EQ(0x42, profile.Image()[9]);
  EXPECT_EQ(0xFF, profile.Image()[10]) << "the late reply is not stored";
  EXPECT_TRUE(ui.information.empty());
  EXPECT_TRUE(ui.enabled["siren"]);
}

// ---- What the line does wrong ---------------------------------------------

// A garbled reply is sent again at once, silence only once the siren has
// answered; twice at most, then the time-out stands. Playing is never repeated.
TEST_F(SirenLinkTest, RequestsThatCarryTheirAddressAreSentAgain) {
  link.OnConnect("COM3");
  link.OnTimeout();  // nothing answered the detection: no siren there
  Pump();
  EXPECT_EQ(1u, port.sent.size());
  EXPECT_EQ(BLinkText(IDS_SIREN_NOT_RESPONDING, {"COM3"}), ui.errors.back());

  PlaceFragment("a", 0, std::vector<uint8_t>(40, 7));
  ConnectTo(1);
  link.StartWrite();
  AnswerAll(20);
  SentFrame last = port.sent.back();
  port.unanswered.clear();
  link.OnGarbledReply();
  link.OnTimeout();
  ASSERT_EQ(2u, port.unanswered.size()) << "the same request twice more";
  EXPECT_EQ(last.payload, port.unanswered.back().payload);
  EXPECT_TRUE(ui.posted.empty());
  AnswerAll();
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_REQUESTS_RETRIED, {2u})));
  EXPECT_EQ(40u, profile.GetFragment(0).synced ? 40u : 0u) << "the shadow survived the retries";

  link.StartWrite();
  AnswerAll(3);
  for (int i = 0; i < 3; ++i) link.OnGarbledReply();  // the third is one too many
  Pump();
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());

  ConnectTo(1);
  ui.selected = 0;
  link.PlayFragment();
  size_t sent = port.sent.size();
  link.OnGarbledReply();
  Pump();
  EXPECT_EQ(sent, port.sent.size()) << "a play is not repeated";
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());
}

// A reply that comes twice (a late copy) is taken for the next byte's; the
// real one then answers nothing. The markers bound the shift, and what may
// have shifted is read again, until a pass sees no such frame.
TEST_F(SirenLinkTest, ALateCopyOfAReadReplyShiftsNoByte) {
  siren.start[0] = 0;
  siren.length[0] = 5000;
  for (uint32_t i = 0; i < kImageSize; ++i) siren.memory[i] = uint8_t(i * 13 + i / 256);
  ConnectTo(1);
  link.StartRead();
  std::vector<uint8_t> lastRead;
  size_t reads = 0;
  bool strayDue = false;
  while (!port.unanswered.empty()) {
    SentFrame frame = port.unanswered.front();
    port.unanswered.pop_front();
    std::vector<uint8_t> data = siren.Answer(frame);
    if (strayDue) link.OnStrayReply(CMD_READ_BYTE);  // drained before this request
    strayDue = false;
    if (frame.code == CMD_READ_BYTE && ++reads % 1000 == 0 && !lastRead.empty()) {
      std::swap(data, lastRead);  // the copy answers; the real reply comes late
      strayDue = true;
    } else if (frame.code == CMD_READ_BYTE) {
      lastRead = data;
    }
    link.OnReceive(ReplyCode(frame.code), uint8_t(data.size()), data.data());
    Pump();
  }
  ASSERT_TRUE(ui.warnings.empty());
  EXPECT_EQ(BLinkText(IDS_READ_COMPLETE), ui.information.back());
  EXPECT_TRUE(std::equal(profile.Image(), profile.Image() + 5000, siren.memory.begin()));
  EXPECT_TRUE(std::any_of(ui.status.begin(), ui.status.end(),
                          [](const BLinkText& line) { return line.id == IDS_REREADING_SHIFTED; }));
  EXPECT_TRUE(profile.GetFragment(0).synced);
}

// Frames that keep coming twice: after the last pass the bytes that may
// have shifted are not known, the Read says how many, and their fragment is
// not in step.
TEST_F(SirenLinkTest, BytesThatStayUnsureAreNamed) {
  siren.start[0] = 0;
  siren.length[0] = 300;
  ConnectTo(1);
  link.StartRead();
  while (!port.unanswered.empty()) {
    SentFrame frame = port.unanswered.front();
    port.unanswered.pop_front();
    std::vector<uint8_t> data = siren.Answer(frame);
    uint32_t address = frame.payload.size() == 3 ? frame.payload[0] | frame.payload[1] << 8 : 0;
    if (frame.code == CMD_READ_BYTE && address == 100) link.OnStrayReply(CMD_READ_BYTE);
    link.OnStrayReply(CMD_READ_PLAYLIST);  // another table's code: no shift in this phase
    link.OnReceive(ReplyCode(frame.code), uint8_t(data.size()), data.data());
    Pump();
  }
  EXPECT_EQ(BLinkText(IDS_READ_COMPLETE_UNSURE, {32u}), ui.warnings.back());
  EXPECT_FALSE(profile.GetFragment(0).synced);
}

// An Abort that comes too late to stop anything says so; line errors are
// named in the failure with the remedy.
TEST_F(SirenLinkTest, AnAbortNotActedOnAndLineErrorsAreNamed) {
  PlaceFragment("a", 0, std::vector<uint8_t>(50, 1));
  ConnectTo(1);
  link.StartWrite();
  AnswerAll(16 + 16 + 4 + 10);
  ui.whileAsking = [&] { AnswerAll(); };  // the write and its checks end meanwhile
  link.Abort();
  EXPECT_EQ(BLinkText(IDS_ABORT_NOT_DONE), ui.status.back());

  struct : FakePort {
    uint32_t TakeLineErrors() override { return 0x0008; }  // a framing error
  } noisyPort;
  BSirenLink noisy(profile, noisyPort, ui);
  noisy.OnConnect("COM4");
  noisy.OnTimeout();
  while (!ui.posted.empty()) {
    noisy.HandleMessage(ui.posted.front());
    ui.posted.pop_front();
  }
  EXPECT_EQ(BLinkText(IDS_SIREN_LINE_ERRORS, {"COM4"}), ui.errors.back());
}

// A slow adapter (16 ms a byte) is found over the first exchanges and named
// once, with the time the phase will take.
TEST_F(SirenLinkTest, ASlowAdapterGetsAdvice) {
  PlaceFragment("a", 0, std::vector<uint8_t>(3000, 1));
  ConnectTo(1);
  link.StartWrite();
  AnswerAll(16 + 16 + 4);
  for (int i = 0; i < 400 && !port.unanswered.empty(); ++i) {
    ui.tick += 16;
    AnswerAll(1);
  }
  size_t advice = std::count_if(ui.status.begin(), ui.status.end(), [](const BLinkText& line) {
    return line.id == IDS_SLOW_LINE_ADVICE;
  });
  ASSERT_EQ(1u, advice);
  auto line = std::find_if(ui.status.begin(), ui.status.end(),
                           [](const BLinkText& l) { return l.id == IDS_SLOW_LINE_ADVICE; });
  EXPECT_EQ(BLinkText(IDS_SLOW_LINE_ADVICE, {16u, 1u}), *line);  // 3000 x 16 ms: under a minute
}

// ---- Write changes, Verify and the check after a write ----------------------

// The addresses of the memory requests of `code` sent since frame `from`.
std::vector<uint32_t> Addresses(const std::vector<SentFrame>& sent, uint8_t code, size_t from) {
  std::vector<uint32_t> addresses;
  for (size_t i = from; i < sent.size(); ++i)
    if (sent[i].code == code) {
      const std::vector<uint8_t>& p = sent[i].payload;
      addresses.push_back(uint32_t(p[0] | p[1] << 8 | p[2] << 16));
    }
  return addresses;
}

// The table frames (everything but memory bytes) sent since frame `from`.
std::vector<std::vector<uint8_t>> TableFrames(const std::vector<SentFrame>& sent, size_t from) {
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = from; i < sent.size(); ++i)
    if (sent[i].code != CMD_WRITE_BYTE && sent[i].code != CMD_READ_BYTE) {
      frames.push_back(sent[i].payload);
      frames.back().insert(frames.back().begin(), sent[i].code);
    }
  return frames;
}

class SirenChangesTest : public SirenLinkTest {
 protected:
  // Two fragments, out of address order in the table: 300 bytes at 0x2000 and
  // 200 at 0x0100, on a siren of 2 chips, written in full.
  void ConnectAndWrite() {
    std::vector<uint8_t> first(300), second(200);
    for (size_t i = 0; i < first.size(); ++i) first[i] = uint8_t(i * 3 + 1);
    for (size_t i = 0; i < second.size(); ++i) second[i] = uint8_t(i * 5 + 2);
    PlaceFragment("first", 0x2000, first);
    PlaceFragment("second", 0x0100, second);
    profile.AppendPlaylistEntry(1);
    profile.SetButton(2, 0);
    ConnectTo(2);
    link.StartWrite();
    AnswerAll();
    ASSERT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {500u})), ui.information.back());
  }
  // Answers requests until `count` memory writes since frame `from` were answered.
  void AnswerWrites(size_t count, size_t from) {
    while (!port.unanswered.empty() && Addresses(port.sent, CMD_WRITE_BYTE, from).size() <= count)
      AnswerAll(1);
  }
  bool SirenHoldsThePlan() {
    profile.BuildTransferPlan();
    for (const BMemRange& range : profile.GetTransferPlan())
      for (uint32_t a = range.start; a < range.start + range.length; ++a)
        if (siren.memory[a] != profile.Image()[a]) return false;
    return true;
  }
  BLinkText LastQuestion() const {
    return ui.questions.empty() ? BLinkText() : ui.questions.back();
  }
  size_t Mark() {
    ui.questions.clear();
    ui.information.clear();
    ui.warnings.clear();
    return port.sent.size();
  }
};

TEST_F(SirenChangesTest, WriteChangesSendsTheTablesAndOnlyTheBytesThatDiffer) {
  ConnectAndWrite();
  std::vector<std::vector<uint8_t>> writeTables = TableFrames(port.sent, 0);
  writeTables.erase(writeTables.begin(), writeTables.begin() + 2);  // detect and size
  // Three bytes of the first fragment change, one of them back to what it was.
  profile.Image()[0x2010] ^= 0x40;
  profile.Image()[0x2011] ^= 0x40;
  profile.Image()[0x2011] ^= 0x40;
  profile.Image()[0x2012] = 0;
  profile.Image()[0x0105] += 1;  // and one of the second
  size_t from = Mark();
  link.StartWriteChanges();
  EXPECT_FALSE(ui.enabled["siren"]);
  AnswerAll();
  EXPECT_EQ(writeTables, TableFrames(port.sent, from))
      << "the tables go exactly as Write sends them";
  ASSERT_EQ(1u, ui.questions.size());
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {3u, 500u}), ui.questions[0]);
  EXPECT_EQ((std::vector<uint32_t>{0x2010, 0x2012, 0x0105}),
            Addresses(port.sent, CMD_WRITE_BYTE, from))
      << "plan order: the first fragment's slot comes first";
  EXPECT_TRUE(SirenHoldsThePlan());
  EXPECT_EQ(3, ui.progressRange) << "the progress counts the bytes that go";
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {3u})), ui.information.back());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);

  // Nothing differs now: no question, a line in the log, no byte written;
  // what is known was sampled first, at random, other bytes each time.
  from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(ui.information.empty());
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_SIREN_MEMORY_MATCHES)));
  EXPECT_EQ(BLinkText(IDS_TABLES_MATCH_STATUS), ui.status.back()) << "the tables were read back";
  EXPECT_TRUE(Addresses(port.sent, CMD_WRITE_BYTE, from).empty());
  std::vector<uint32_t> sampled = Addresses(port.sent, CMD_READ_BYTE, from);
  EXPECT_EQ(32u, sampled.size());
  from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_NE(sampled, Addresses(port.sent, CMD_READ_BYTE, from));
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["editing"]);

  // A new connection knows nothing: every byte differs, and No sends none.
  link.OnConnect("COM3");
  ConnectTo(2);
  from = Mark();
  ui.answers = {BAnswer::No};
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {500u, 500u}), LastQuestion());
  EXPECT_TRUE(Addresses(port.sent, CMD_WRITE_BYTE, from).empty());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);
}

// Bytes confirmed before an Abort stay known; the one on the wire when the
// user aborted is not (its reply is ignored), nor anything after a link failure.
TEST_F(SirenChangesTest, AbortAndLinkFailuresKeepOnlyWhatWasConfirmed) {
  ConnectAndWrite();
  for (uint32_t a = 0x2000; a < 0x2000 + 300; ++a) profile.Image()[a] ^= 0xFF;
  size_t start = Mark();
  link.StartWriteChanges();
  AnswerWrites(40, start);
  ASSERT_EQ(BLinkState::WritingMemory, link.GetState());
  link.Abort();
  AnswerAll();  // the reply to byte 41 comes too late to count
  size_t from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {260u, 500u}), LastQuestion());
  std::vector<uint32_t> sent = Addresses(port.sent, CMD_WRITE_BYTE, from);
  ASSERT_EQ(260u, sent.size());
  EXPECT_EQ(0x2000u + 40, sent[0]);
  EXPECT_TRUE(SirenHoldsThePlan());

  // A refused byte ends the job and the connection as in Write.
  profile.Image()[0x0150] ^= 1;
  siren.refusedAddress = 0x0150;
  Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(
      BLinkText(IDS_PORT_ACCESS_FAILED, {"COM3", BLinkText(IDS_WRITE_ADDRESS_FAILED, {0x0150u})}),
      ui.errors.back());
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());
  siren.refusedAddress = 0xFFFFFFFF;
  ConnectTo(2);
  Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {500u, 500u}), LastQuestion());
}

TEST_F(SirenChangesTest, VerifyReportsEveryDifferenceAndChangesNothingInTheProfile) {
  ConnectAndWrite();
  std::vector<uint8_t> image(profile.Image(), profile.Image() + kImageSize);
  size_t from = Mark();
  link.StartVerify();
  EXPECT_FALSE(ui.enabled["file"]);
  AnswerAll();
  EXPECT_TRUE(ui.questions.empty()) << "Verify asks nothing";
  ASSERT_EQ(1u, ui.information.size());
  EXPECT_EQ(BLinkText(IDS_SIREN_HOLDS_PROFILE), ui.information[0]);
  EXPECT_EQ(500u, Addresses(port.sent, CMD_READ_BYTE, from).size());
  EXPECT_TRUE(Addresses(port.sent, CMD_WRITE_BYTE, from).empty());
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_READING_FRAGMENT, {15})));
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_MEMORY_READ_FINISHED)));
  EXPECT_EQ(BLinkText(IDS_VERIFY_FINISHED), ui.status.back());
  EXPECT_TRUE(ui.enabled["file"]);
  EXPECT_TRUE(profile.GetFragment(0).synced && profile.IsPlaylistSynced())
      << "as the write left them";

  // Another program changes the siren (as if between two connections).
  siren.memory[0x2005] ^= 1;
  siren.memory[0x2100] ^= 1;
  siren.memory[0x0101] ^= 1;
  siren.memory[0x3000] ^= 1;  // outside every fragment: not compared
  siren.playlist[3] = 1;
  siren.buttons[2] = 255;
  siren.length[5] = 7;
  link.OnConnect("COM3");
  ConnectTo(2);
  Mark();
  link.StartVerify();
  AnswerAll();
  ASSERT_EQ(1u, ui.warnings.size());
  BLinkText none;
  BLinkText tables(
      IDS_FRAGMENT_ENTRY_DIFFERS,
      {5, "",
       BLinkText(IDS_PLAYLIST_ENTRY_DIFFERS, {3, BLinkText(IDS_BUTTON_ENTRY_DIFFERS, {2, none})})});
  BLinkText memory(IDS_FRAGMENT_BYTES_DIFFER,
                   {0, "first", 2u, 0x2005u,
                    BLinkText(IDS_FRAGMENT_BYTES_DIFFER, {1, "second", 1u, 0x0101u, none})});
  EXPECT_EQ(BLinkText(IDS_SIREN_DIFFERS_FROM_PROFILE, {tables, memory}), ui.warnings[0]);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), profile.Image()));
  EXPECT_EQ(kEmptySlotValue, profile.GetFragment(5).length);
  EXPECT_EQ(255, profile.GetPlaylistEntry(3));
  EXPECT_EQ(0, profile.GetButton(2));
  EXPECT_FALSE(ui.modified);
  EXPECT_EQ(0, ui.filled);

  // What Verify read is known: Write changes sends the three bytes it found.
  size_t from2 = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ((std::vector<uint32_t>{0x2005, 0x2100, 0x0101}),
            Addresses(port.sent, CMD_WRITE_BYTE, from2));
  EXPECT_TRUE(SirenHoldsThePlan());
}

// A fragment reply that names another entry than the one asked for leaves
// the skipped entries unread: they count as different, whatever an earlier
// verification read.
TEST_F(SirenChangesTest, AnEntryTheSirenSkippedCountsAsDifferent) {
  ConnectAndWrite();
  link.StartVerify();
  AnswerAll();
  ASSERT_EQ(BLinkText(IDS_SIREN_HOLDS_PROFILE), ui.information.back());
  Mark();
  link.StartVerify();
  port.unanswered.clear();
  Reply(CMD_READ_FRAGMENT, {2, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0x0F});  // asked for 0
  AnswerAll();
  ASSERT_EQ(1u, ui.warnings.size());
  BLinkText tables(IDS_FRAGMENT_ENTRY_DIFFERS,
                   {0, "first", BLinkText(IDS_FRAGMENT_ENTRY_DIFFERS, {1, "second", BLinkText()})});
  EXPECT_EQ(BLinkText(IDS_SIREN_DIFFERS_FROM_PROFILE, {tables, BLinkText()}), ui.warnings[0]);
}

// Random edits, aborted and completed Write changes (with the check after a
// write or its sample), Verify, reconnections with the siren changed behind
// the program's back, another siren behind the open port (a random one, or a
// similar one that holds an earlier version of the profile), runs of cells
// that take no write, and table entries that the siren acknowledges without
// storing. After every Write changes the siren holds the profile but in such
// cells and entries, and its box warns when a byte it sent or an entry
// differs (with the check: exactly then); while the program has known the
// whole plan since the last full pass, it sent no byte that already matched
// (but the one an Abort left unconfirmed, and such cells); Verify reports a
// difference exactly when there is one.
TEST_F(SirenChangesTest, WriteChangesAndVerifyStayTrueThroughRandomSteps) {
  ConnectAndWrite();
  std::mt19937 random(11);
  profile.BuildTransferPlan();
  std::vector<uint32_t> planAddresses;
  for (const BMemRange& range : profile.GetTransferPlan())
    for (uint32_t a = range.start; a < range.start + range.length; ++a) planAddresses.push_back(a);
  auto differing = [&] {  // but in the cells that take no write
    std::set<uint32_t> addresses;
    for (uint32_t a : planAddresses)
      if (siren.memory[a] != profile.Image()[a] && siren.badCells.count(a) == 0)
        addresses.insert(a);
    return addresses;
  };
  bool knowsAll = true;  // every plan byte known as the siren holds it
  size_t slack = 0;      // bytes left unconfirmed by an Abort
  auto tablesDiffer = [&] {
    return siren.playlist[0] != profile.GetPlaylistEntry(0) ||
           siren.buttons[2] != profile.GetButton(2);
  };
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(step);
    switch (random() % 9) {
      case 0:  // the user edits a few bytes, some to the value they had
        for (int i = random() % 20; i > 0; --i) {
          uint32_t a = planAddresses[random() % planAddresses.size()];
          profile.Image()[a] = random() % 3 == 0 ? profile.Image()[a] : uint8_t(random());
        }
        break;
      case 1: {  // a Write changes that runs to its end
        std::set<uint32_t> before = differing();
        bool check = random() % 2 == 0;
        link.SetVerifyAfterWrite(check);
        size_t from = Mark();
        link.StartWriteChanges();
        AnswerAll();
        std::vector<uint32_t> sent = Addresses(port.sent, CMD_WRITE_BYTE, from);
        std::set<uint32_t> sentSet(sent.begin(), sent.end());
        ASSERT_EQ(sent.size(), sentSet.size()) << "no byte twice";
        ASSERT_TRUE(std::includes(sentSet.begin(), sentSet.end(), before.begin(), before.end()));
        if (knowsAll) {
          ASSERT_LE(sent.size(), before.size() + slack + siren.badCells.size());
        }
        ASSERT_TRUE(differing().empty());
        ASSERT_EQ(BLinkState::Idle, link.GetState());
        bool sentDiffers = std::any_of(sent.begin(), sent.end(), [&](uint32_t a) {
          return siren.memory[a] != profile.Image()[a];
        });
        bool warned = !ui.warnings.empty();
        ASSERT_TRUE(!tablesDiffer() || warned) << "an entry the siren did not store is named";
        ASSERT_TRUE(check ? (sentDiffers || tablesDiffer()) == warned
                          : sentDiffers || tablesDiffer() || !warned);
        ASSERT_TRUE(siren.playlist[0] == profile.GetPlaylistEntry(0) || !profile.IsPlaylistSynced())
            << "a playlist the siren did not store is not in step";

        // Without the check a cell that took no write may pass for written.
        bool whole = sent.size() == planAddresses.size();
        knowsAll =
            (knowsAll || whole) && (check || (siren.badCells.empty() && ui.warnings.empty()));
        slack = 0;
        break;
      }
      case 2: {  // a Write changes aborted after a few exchanges
        Mark();
        link.StartWriteChanges();
        AnswerAll(36 + random() % 80);
        if (link.GetState() == BLinkState::WritingMemory) {
          link.Abort();
          slack += 1;
        }
        AnswerAll();
        ASSERT_EQ(BLinkState::Idle, link.GetState());
        break;
      }
      case 3: {  // Verify
        bool equal = SirenHoldsThePlan() && !tablesDiffer();
        Mark();
        link.StartVerify();
        AnswerAll();
        ASSERT_EQ(equal ? 1u : 0u, ui.information.size());
        ASSERT_EQ(equal ? 0u : 1u, ui.warnings.size());
        knowsAll = true;
        slack = 0;
        break;
      }
      case 4:  // another program changes the siren while it is not connected
        link.OnConnect("COM3");
        for (int i = random() % 5; i > 0; --i)
          siren.memory[planAddresses[random() % planAddresses.size()]] ^= 0x20;
        ConnectTo(2);
        knowsAll = false;
        break;
      case 5:  // the cable goes to another siren (the same tables) behind the open port
        for (uint8_t& byte : siren.memory) byte = uint8_t(random());
        siren.badCells.clear();
        knowsAll = false;
        break;
      case 6:  // a run of cells stops taking writes
        for (size_t i = random() % 470, end = i + random() % 30; i < end; ++i)
          siren.badCells.insert(planAddresses[i]);
        break;
      case 7: {  // a fleet update: from a siren known to hold the profile, the
                 // cable goes to a similar one that holds the previous version of
                 // a run of 40 to 60 bytes
        if (!knowsAll || !differing().empty()) break;
        size_t first = random() % (planAddresses.size() - 60);
        for (size_t i = first, end = first + 40 + random() % 20; i < end; ++i)
          siren.memory[planAddresses[i]] ^= uint8_t(1 + random() % 255);
        knowsAll = false;
        break;
      }
      default:  // the siren stops storing the playlist's first entry or button 2, which change
        siren.lostEntries.clear();
        if (random() % 2 == 0) {
          siren.lostEntries.insert({CMD_WRITE_PLAYLIST, 0});
          profile.SetPlaylistEntry(0, profile.GetPlaylistEntry(0) == 1 ? 0 : 1);
        } else {
          siren.lostEntries.insert({CMD_WRITE_BUTTON, 2});
          profile.SetButton(2, profile.GetButton(2) == 0 ? 1 : 0);
        }
        break;
    }
  }
}

// The bytes read back since the last memory write.
std::vector<uint32_t> ReadBack(const std::vector<SentFrame>& sent) {
  size_t last = sent.size();
  while (last > 0 && sent[last - 1].code != CMD_WRITE_BYTE) --last;
  return Addresses(sent, CMD_READ_BYTE, last);
}

// With the check on (the default), a write reads back exactly what it sent; a
// cell that does not take a write is found, and stays different for the next
// Write changes.
TEST_F(SirenChangesTest, TheCheckAfterAWriteReadsBackWhatWasSent) {
  ConnectAndWrite();
  siren.badCells = {0x2007, 0x0110};  // they keep what the first write put there
  profile.Image()[0x2007] ^= 0x11;
  profile.Image()[0x2008] ^= 0x11;
  profile.Image()[0x0110] ^= 0x11;
  size_t from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  std::vector<uint32_t> written = Addresses(port.sent, CMD_WRITE_BYTE, from);
  EXPECT_EQ((std::vector<uint32_t>{0x2007, 0x2008, 0x0110}), written);
  EXPECT_EQ(written, ReadBack(port.sent)) << "the check reads what was sent";
  ASSERT_EQ(1u, ui.warnings.size());
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECK_FAILED, {3u, 2u, 0x0110u})), ui.warnings[0]);
  EXPECT_TRUE(ui.information.empty());
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_WRITE_CHECK_STARTED, {3u})));
  EXPECT_EQ(BLinkText(IDS_WRITE_CHECK_FINISHED), ui.status.back());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);
  EXPECT_FALSE(ui.enabled["abort"]);

  // What the check found goes again with the next Write changes, and only that.
  from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ((std::vector<uint32_t>{0x2007, 0x0110}), Addresses(port.sent, CMD_WRITE_BYTE, from));
  ASSERT_EQ(1u, ui.warnings.size());
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECK_FAILED, {2u, 2u, 0x0110u})), ui.warnings[0]);

  // A whole Write is checked whole; with sound cells the box says all is well.
  siren.badCells.clear();
  from = Mark();
  link.StartWrite();
  AnswerAll();
  EXPECT_EQ(500u, ReadBack(port.sent).size());
  EXPECT_TRUE(ui.warnings.empty());
  ASSERT_EQ(1u, ui.information.size());
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {500u})), ui.information[0]);
  EXPECT_TRUE(SirenHoldsThePlan());
}

// Yes to the Abort question, given just as the write ends: the check that
// began meanwhile is not aborted; it runs to its box.
TEST_F(SirenChangesTest, AnAbortAskedDuringTheWriteDoesNotEndItsCheck) {
  ConnectAndWrite();
  for (uint32_t a = 0x2000; a < 0x2000 + 300; ++a) profile.Image()[a] ^= 0x01;
  size_t from = Mark();
  link.StartWriteChanges();
  AnswerWrites(290, from);
  ui.whileAsking = [&] {  // the last bytes are confirmed meanwhile
    while (link.GetState() == BLinkState::WritingMemory) AnswerAll(1);
  };
  link.Abort();
  EXPECT_EQ(BLinkState::ReadingMemory, link.GetState()) << "the check goes on";
  EXPECT_FALSE(Contains(ui.status, BLinkText(IDS_ABORTED)));
  AnswerAll();
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECKED, {300u})), ui.information.back());
}

// Overlapping fragments (a damaged table) share addresses: each is written,
// read back and counted once.
TEST_F(SirenChangesTest, OverlappingFragmentsAreCountedByAddress) {
  PlaceFragment("a", 0, std::vector<uint8_t>(200, 0x21));
  BFragment overlap = profile.GetFragment(0);
  overlap.start = 100;
  overlap.length = 50;
  profile.SetFragment(1, overlap);
  siren.badCells = {120};
  ConnectTo(1);
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {200u, 200u}), LastQuestion());
  EXPECT_EQ(200u, Addresses(port.sent, CMD_WRITE_BYTE, 0).size());
  EXPECT_EQ(200u, ReadBack(port.sent).size());
  EXPECT_EQ(Written(BLinkText(IDS_WRITE_COMPLETE_CHECK_FAILED, {200u, 1u, 120u})),
            ui.warnings.back());
}

// What lies beyond the siren's memory is said to be neither written nor
// compared, never taken for a match.
TEST_F(SirenChangesTest, WhatLiesBeyondTheMemoryIsNotCalledAMatch) {
  PlaceFragment("in", 0x0100, std::vector<uint8_t>(50, 0x31));
  PlaceFragment("out", kChipSize - 15, std::vector<uint8_t>(40, 0x32));
  ConnectTo(1);
  link.StartWrite();
  AnswerAll();
  Mark();
  link.StartVerify();
  AnswerAll();
  BLinkText beyond(IDS_FRAGMENT_NOT_COMPARED, {1, "out", 25u, BLinkText()});
  EXPECT_EQ((std::vector<BLinkText>{BLinkText(IDS_SIREN_PARTLY_COMPARED, {beyond})}), ui.warnings);
  Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_BYTES_BEYOND_MEMORY, {25u})));
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_SIREN_MEMORY_MATCHES_WITHIN)));
}

TEST(JobProgressTest, TimeLeftUsesTheMeasuredSpeedAndOnlyGoesDown) {
  BJobProgress progress;
  progress.Start(1000, 60000);
  EXPECT_FALSE(progress.OnProgress(400, 1800).showTimeLeft) << "too early to measure";
  EXPECT_EQ(500, progress.OnProgress(600, 2200).speed);
  BJobProgress::Report report = progress.OnProgress(1200, 3400);
  EXPECT_EQ(500, report.speed);
  ASSERT_TRUE(report.showTimeLeft);
  EXPECT_EQ(117u, report.secondsLeft);       // 01:57
  report = progress.OnProgress(1300, 3800);  // slower now: 125 s would be more
  EXPECT_EQ(468, report.speed);
  EXPECT_FALSE(report.showTimeLeft);
  report = progress.OnProgress(20000, 60000);  // past the window the speed stays
  EXPECT_EQ(468, report.speed);
  EXPECT_TRUE(report.showTimeLeft);
  EXPECT_EQ(85u, report.secondsLeft);
}

}  // namespace

// ---- The port that fails and comes back -----------------------------------

class SirenReconnectTest : public SirenChangesTest {
 protected:
  // Ticks of the retry timer, 50 ms apart, for `ms` milliseconds.
  void RunTimer(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 50) {
      ui.tick += 50;
      link.OnRetryTimer();
    }
  }
  void LosePort(const char* reason) {
    link.OnError(reason);
    port.unanswered.clear();
    Pump();
  }
  bool InStep() const {
    for (int i = 0; i < 2; ++i)
      if (!profile.GetFragment(i).synced) return false;
    return profile.IsPlaylistSynced();
  }
};

// The log says it once; the attempts are quiet, every second; the siren that
// comes back is checked by a sample of what was known, which is kept.
TEST_F(SirenReconnectTest, AFailedPortIsOpenedAgainAndTheSameSirenKeepsWhatWasKnown) {
  ConnectAndWrite();
  ASSERT_TRUE(InStep());
  ui.errors.clear();
  LosePort("adapter gone");
  EXPECT_FALSE(port.open);
  EXPECT_TRUE(link.IsReconnecting());
  EXPECT_TRUE(ui.retryTimer);
  EXPECT_EQ(BLinkText(IDS_PORT_LOST, {"COM3", BLinkText::Literal("adapter gone")}),
            ui.status.back());
  EXPECT_TRUE(ui.errors.empty()) << "no job ran: the log says it, no box";
  EXPECT_FALSE(ui.enabled["siren"]);
  EXPECT_TRUE(ui.connectedText) << "the command stops the attempts";
  EXPECT_EQ(BLinkState::Disconnected, link.GetState());

  // Away for five seconds: an attempt a second, nothing in the log.
  port.openResult = false;
  const size_t lines = ui.status.size();
  const int opens = port.opens;
  RunTimer(5000);
  EXPECT_EQ(5, port.opens - opens);
  // The port opens but the siren is silent (still starting): quiet too.
  port.openResult = true;
  RunTimer(1000);
  ASSERT_TRUE(port.open);
  link.OnTimeout();
  Pump();
  EXPECT_FALSE(port.open);
  EXPECT_EQ(lines, ui.status.size());
  EXPECT_TRUE(ui.errors.empty());

  const size_t before = port.sent.size();
  RunTimer(1000);
  AnswerAll();
  EXPECT_FALSE(link.IsReconnecting());
  EXPECT_FALSE(ui.retryTimer);
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_SIREN_RECONNECTED, {"COM3", 127})));
  EXPECT_EQ(BLinkText(IDS_SIREN_SAME_AFTER_RECONNECT), ui.status.back());
  EXPECT_EQ(32u, Addresses(port.sent, CMD_READ_BYTE, before).size())
      << "a sample of the known bytes was read back";
  EXPECT_TRUE(InStep());
  EXPECT_EQ(BLinkState::Idle, link.GetState());
  EXPECT_TRUE(ui.enabled["siren"]);
  EXPECT_TRUE(ui.errors.empty());

  // Write changes trusts what is known: no byte goes.
  size_t from = Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_TRUE(Contains(ui.status, BLinkText(IDS_SIREN_MEMORY_MATCHES)));
  EXPECT_TRUE(Addresses(port.sent, CMD_WRITE_BYTE, from).empty());
}

// Another siren behind the port (its memory differs), and a job that was
// running when the port failed: it ends with its message; nothing known is kept.
TEST_F(SirenReconnectTest, AJobEndsWithItsMessageAndAnotherSirenIsNotTrusted) {
  ConnectAndWrite();
  link.StartRead();
  AnswerAll(40);  // into the memory phase
  ASSERT_EQ(BLinkState::ReadingMemory, link.GetState());
  ui.errors.clear();
  LosePort("server gone");
  ASSERT_EQ(1u, ui.errors.size());
  EXPECT_EQ(BLinkText(IDS_PORT_ACCESS_FAILED, {"COM3", BLinkText::Literal("server gone")}),
            ui.errors[0]);
  EXPECT_TRUE(
      Contains(ui.status, BLinkText(IDS_PORT_LOST, {"COM3", BLinkText::Literal("server gone")})));
  EXPECT_FALSE(link.IsJobRunning());
  EXPECT_TRUE(ui.enabled["file"]);

  for (uint8_t& byte : siren.memory) byte ^= 0x5A;
  RunTimer(1000);
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_SIREN_OTHER_AFTER_RECONNECT), ui.status.back());
  EXPECT_FALSE(profile.GetFragment(0).synced);
  EXPECT_FALSE(profile.IsPlaylistSynced());
  Mark();
  link.StartWriteChanges();
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_WRITE_CHANGES_PROMPT, {500u, 500u}), LastQuestion());
  ASSERT_TRUE(SirenHoldsThePlan());

  // A siren with another memory size is not the same either, unchecked.
  LosePort("adapter gone");
  siren.chips = 1;
  const size_t sent = port.sent.size();
  RunTimer(1000);
  AnswerAll();
  EXPECT_EQ(BLinkText(IDS_SIREN_OTHER_AFTER_RECONNECT), ui.status.back());
  EXPECT_TRUE(Addresses(port.sent, CMD_READ_BYTE, sent).empty());
}

// The command stops the attempts; a failure before the siren ever answered
// is reported as before and not tried again.
TEST_F(SirenReconnectTest, TheUserStopsTheAttempts) {
  ConnectAndWrite();
  LosePort("adapter gone");
  port.openResult = false;
  RunTimer(2000);
  link.OnConnect("COM3");
  EXPECT_FALSE(link.IsReconnecting());
  EXPECT_FALSE(ui.retryTimer);
  EXPECT_FALSE(ui.connectedText);
  EXPECT_EQ(BLinkText(IDS_DISCONNECTED), ui.status.back());
  const int opens = port.opens;
  RunTimer(3000);
  EXPECT_EQ(opens, port.opens);
}
