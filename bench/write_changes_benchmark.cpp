// Write against Write changes, and what the read-backs after them cost,
// through the program's own siren link and serial transport: a profile of
// SECONDS of sound (one fragment; "full": the whole memory of 4 chips) is
// written in full without the check after a write (the write ends with a
// sample), then again with the check (every byte read back), then a stretch
// of AMPLIFIED_MS in its middle is amplified by half and the profile is
// written with Write changes without the check (a sample of what it skips
// first, a sample of what it sent last), over the same connection. The jobs
// run as in the program: the three tables, the memory question answered Yes,
// one exchange per memory byte.
//
//   write_changes_benchmark PORT [SECONDS|full [AMPLIFIED_MS]]    (default 20 and 1000)
//   write_changes_benchmark PORT latency
//
// Prints each job's exchanges (every request frame it sent) and time, those
// of its read-backs (the random sample of the bytes and the three tables), and
// the ratios. With "latency" it starts a write of the whole memory, prints
// the advice on a slow adapter once the link gives it, and disconnects.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "audio/gain.h"
#include "link/connection.h"
#include "link/headless_link_ui.h"
#include "link/siren_link.h"
#include "link/link_string_ids.h"

namespace {

constexpr double kSampleRate = 9765.0;
constexpr int32_t kGainPercent = 50;

// The serial transport as the link sees it, counting the frames sent.
class CountingPort : public BLinkPort {
 public:
  explicit CountingPort(BCOMConnection& connection) : m_connection(connection) {}
  bool Open(const std::string& portName) override { return m_connection.Open(portName); }
  bool Close(unsigned timeoutMs) override { return m_connection.Close(timeoutMs); }
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    ++m_frames;
    m_connection.Send(code, length, payload);
  }
  bool IsOpen() const override { return m_connection.IsOpen(); }
  std::string GetErrorText() const override { return m_connection.GetErrorText(); }
  uint32_t Frames() const { return m_frames; }

 private:
  BCOMConnection& m_connection;
  std::atomic<uint32_t> m_frames{0};
};

// The transport's callbacks go to the link, which is made after the transport.
class Forwarder : public BCOMHandler {
 public:
  BSirenLink* link = nullptr;
  void OnError(const std::string& text) override { link->OnError(text); }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    link->OnReceive(code, length, data);
  }
  void OnTimeout() override { link->OnTimeout(); }
  void OnGarbledReply() override { link->OnGarbledReply(); }
  void OnStrayReply(uint8_t code) override { link->OnStrayReply(code); }
};

// The window's part: a message queue served by the main thread; every
// question is answered Yes; boxes and errors are noted.
class BenchUi : public BHeadlessLinkUi {
 public:
  bool PostLinkMessage(unsigned message) override {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_messages.push_back(message);
    }
    m_ready.notify_one();
    return true;
  }
  // Main thread: the next message, or 0 after a second without one.
  unsigned NextMessage() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_ready.wait_for(lock, std::chrono::seconds(1), [&] { return !m_messages.empty(); }))
      return 0;
    unsigned message = m_messages.front();
    m_messages.pop_front();
    return message;
  }

  std::string DefaultFragmentName(int number) override { return "f" + std::to_string(number); }
  // The time and the frames sent when a line or a question came, by its text.
  struct Mark {
    DWORD tick;
    uint32_t frames;
  };
  std::map<int, Mark> marks;
  std::function<uint32_t()> frames;
  void Note(int id) { marks[id] = {::GetTickCount(), frames()}; }
  // The time and the frames from the first mark to the second.
  Mark Between(int from, int to) {
    return {marks[to].tick - marks[from].tick, marks[to].frames - marks[from].frames};
  }
  void ShowLinkStatus(const BLinkText& text) override {
    Note(text.id);
    if (text.id == IDS_SLOW_LINE_ADVICE) advice = text;
  }
  void ShowLinkError(const BLinkText& text) override { failed = text.id != 0 ? text.id : -1; }
  // The memory part of a write's box, which the tables' part wraps.
  void ShowLinkInformation(const BLinkText& text) override { NoteBox(text); }
  void ShowLinkWarning(const BLinkText& text) override { NoteBox(text); }
  void NoteBox(const BLinkText& text) {
    box = text.id;
    if (text.id == IDS_WRITE_TABLES_MATCH && !text.args.empty() && text.args[0].nested)
      box = text.args[0].nested->id;
    Note(kBox);
  }
  BAnswer AskLink(const BLinkText& text, BQuestion) override {
    Note(text.id);
    return BAnswer::Yes;
  }
  static constexpr int kBox = -1;
  uint32_t TickCount() override { return ::GetTickCount(); }

  int box = 0;
  int failed = 0;
  BLinkText advice;

 private:
  std::mutex m_lock;
  std::condition_variable m_ready;
  std::deque<unsigned> m_messages;
};

struct JobFigures {
  uint32_t exchanges;
  DWORD elapsedMs;
};

// Serves the link's messages until it is idle again; false on a link failure.
bool RunUntilIdle(BSirenLink& link, BenchUi& ui) {
  for (;;) {
    BLinkState state = link.GetState();
    if (state == BLinkState::Idle || state == BLinkState::Disconnected) break;
    unsigned message = ui.NextMessage();
    if (message != 0) link.HandleMessage(message);
  }
  return ui.failed == 0 && link.GetState() == BLinkState::Idle;
}

bool RunJob(const char* name, void (BSirenLink::*start)(), BSirenLink& link, BenchUi& ui,
            CountingPort& port, JobFigures& figures) {
  uint32_t framesBefore = port.Frames();
  ui.box = 0;
  ui.marks.clear();
  DWORD begin = ::GetTickCount();
  (link.*start)();
  bool ok = RunUntilIdle(link, ui);
  figures.elapsedMs = ::GetTickCount() - begin;
  figures.exchanges = port.Frames() - framesBefore;
  if (!ok || (ui.box != IDS_WRITE_COMPLETE_CHECKED && ui.box != IDS_WRITE_COMPLETE_SAMPLED)) {
    std::fprintf(stderr, "%s did not complete (box %d, error %d)\n", name, ui.box, ui.failed);
    return false;
  }
  std::printf("%-22s %7u exchanges in %8.2f s\n", name, figures.exchanges,
              figures.elapsedMs / 1000.0);
  return true;
}

// A sample's exchanges and time, and its share of a job's.
void PrintSample(const char* name, const BenchUi::Mark& sample, const JobFigures& job) {
  std::printf("  %-20s %7u exchanges in %8.3f s: %.3f %% of the exchanges, %.3f %% of the time\n",
              name, sample.frames, sample.tick / 1000.0, 100.0 * sample.frames / job.exchanges,
              job.elapsedMs > 0 ? 100.0 * sample.tick / job.elapsedMs : 0.0);
}

// A 440 Hz tone with a slow swell, so that the amplified stretch has bytes of
// every size (and a few zero crossings that amplification leaves alone).
void FillTone(std::vector<uint8_t>& samples) {
  const double pi = 3.14159265358979;
  for (size_t i = 0; i < samples.size(); ++i) {
    double t = i / kSampleRate;
    double level = 40 + 30 * std::sin(2 * pi * 0.5 * t);
    samples[i] =
        static_cast<uint8_t>(static_cast<int8_t>(std::lround(level * std::sin(2 * pi * 440 * t))));
  }
}

}  // namespace

// The whole memory written through a slow line: the advice the link gives
// over the first exchanges, with its figures.
int RunLatency(const char* port) {
  BProfile profile;
  std::vector<uint8_t> samples(kImageSize);
  FillTone(samples);
  profile.PlaceFragment("tone", BMemRange{0, kImageSize}, samples.data(), kImageSize);
  Forwarder forwarder;
  BCOMConnection connection(forwarder, kLinkReadTimeoutMs, kLinkWriteTimeoutMs);
  CountingPort countingPort(connection);
  BenchUi ui;
  ui.frames = [&countingPort] { return countingPort.Frames(); };
  BSirenLink link(profile, countingPort, ui);
  forwarder.link = &link;
  link.OnConnect(port);
  if (!RunUntilIdle(link, ui) || profile.GetICCount() != 4) {
    std::fprintf(stderr, "no siren of 4 chips on %s\n", port);
    return 1;
  }
  DWORD begin = ::GetTickCount();
  link.StartWrite();
  while (ui.advice.id == 0 && ui.failed == 0 && ::GetTickCount() - begin < 60000) {
    unsigned message = ui.NextMessage();
    if (message != 0) link.HandleMessage(message);
  }
  link.OnConnect(port);  // disconnects
  if (ui.advice.id == 0) {
    std::printf("no advice on a slow line within a minute\n");
    return 1;
  }
  std::printf("a write of %u bytes: the link advised after %.1f s: %u ms a byte, about %u min\n",
              kImageSize, (::GetTickCount() - begin) / 1000.0, unsigned(ui.advice.args[0].number),
              unsigned(ui.advice.args[1].number));
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: write_changes_benchmark PORT [SECONDS|full [AMPLIFIED_MS]]\n"
                 "       write_changes_benchmark PORT latency\n");
    return 2;
  }
  if (argc > 2 && std::string(argv[2]) == "latency") return RunLatency(argv[1]);
  bool full = argc > 2 && std::string(argv[2]) == "full";
  double seconds = argc > 2 && !full ? std::atof(argv[2]) : 20.0;
  double amplifiedMs = argc > 3 ? std::atof(argv[3]) : 1000.0;
  uint32_t length = full ? kImageSize : static_cast<uint32_t>(seconds * kSampleRate);
  uint32_t amplified = static_cast<uint32_t>(amplifiedMs * kSampleRate / 1000.0);
  if (length == 0 || length > kImageSize || amplified > length) {
    std::fprintf(stderr,
                 "the sound must fit into the siren (at most %.1f s), the stretch into it\n",
                 kImageSize / kSampleRate);
    return 2;
  }

  BProfile profile;
  std::vector<uint8_t> samples(length);
  FillTone(samples);
  profile.PlaceFragment("tone", BMemRange{0, length}, samples.data(), length);

  Forwarder forwarder;
  BCOMConnection connection(forwarder, kLinkReadTimeoutMs, kLinkWriteTimeoutMs);
  CountingPort port(connection);
  BenchUi ui;
  ui.frames = [&port] { return port.Frames(); };
  BSirenLink link(profile, port, ui);
  forwarder.link = &link;
  link.OnConnect(argv[1]);
  if (!RunUntilIdle(link, ui) || profile.GetICCount() == 0) {
    std::fprintf(stderr, "no siren on %s\n", argv[1]);
    return 1;
  }

  std::printf("profile: %u bytes (%.1f s), amplified: %u bytes (%.2f s) by %d %%\n", length,
              length / kSampleRate, amplified, amplified / kSampleRate, kGainPercent);
  JobFigures whole{}, checked{}, changes{};
  link.SetVerifyAfterWrite(false);
  if (!RunJob("write", &BSirenLink::StartWrite, link, ui, port, whole)) return 1;
  PrintSample("of which the read-back", ui.Between(IDS_WRITE_SAMPLE_STARTED, BenchUi::kBox), whole);
  std::printf(
      "(the read-back: a random sample of the bytes and the three tables; target: at most "
      "0.5 %% of a write of the whole memory)\n");
  link.SetVerifyAfterWrite(true);
  if (!RunJob("write with the check", &BSirenLink::StartWrite, link, ui, port, checked)) return 1;
  std::printf("the check after a write: %.2f times the exchanges, %.2f times the time\n",
              double(checked.exchanges) / whole.exchanges,
              whole.elapsedMs > 0 ? double(checked.elapsedMs) / whole.elapsedMs : 0.0);
  link.SetVerifyAfterWrite(false);
  uint32_t from = (length - amplified) / 2;
  std::vector<uint8_t> before(profile.Image() + from, profile.Image() + from + amplified);
  ApplyGainToSigned(profile.Image() + from, amplified, kGainPercent);
  uint32_t changed = 0;
  for (uint32_t i = 0; i < amplified; ++i) changed += before[i] != profile.Image()[from + i];
  std::printf("bytes changed by the amplification: %u\n", changed);
  if (!RunJob("write changes", &BSirenLink::StartWriteChanges, link, ui, port, changes)) return 1;
  PrintSample("sample of the known", ui.Between(IDS_KNOWN_SAMPLE_STARTED, IDS_WRITE_CHANGES_PROMPT),
              whole);
  PrintSample("sample of the sent", ui.Between(IDS_WRITE_SAMPLE_STARTED, BenchUi::kBox), whole);
  link.OnConnect(argv[1]);  // disconnects

  std::printf("ratio: %.2f %% of the exchanges, %.2f %% of the time (target: at most 5 %%)\n",
              100.0 * changes.exchanges / whole.exchanges,
              whole.elapsedMs > 0 ? 100.0 * changes.elapsedMs / whole.elapsedMs : 0.0);
  std::printf("(the samples are given as shares of the write; target: at most 1 %% each)\n");
  return 0;
}
