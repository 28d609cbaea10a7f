// siren_emulator: a siren on a serial line, for the program and its tests.
// See BEmulatorOptions::Usage for the command line.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "emulator/emulator_options.h"
#include "emulator/line_pacer.h"
#include "emulator/serial_port.h"
#include "emulator/siren_emulator.h"

namespace {

volatile std::sig_atomic_t gStopSignal = 0;
volatile std::sig_atomic_t gSwapSignal = 0;

// The pause inside a reply that comes in two pieces.
constexpr int64_t kSplitPauseNs = 2000000;

void OnStopSignal(int signal) { gStopSignal = signal; }
void OnSwapSignal(int) { gSwapSignal = 1; }

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll and sleeps return with EINTR
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = OnSwapSignal;
  sigaction(SIGUSR1, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int64_t MonotonicNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Sleeps until the absolute monotonic time; false when a stop signal came.
bool SleepUntil(int64_t deadline) {
  timespec target{};
  target.tv_sec = static_cast<time_t>(deadline / 1000000000);
  target.tv_nsec = static_cast<long>(deadline % 1000000000);
  while (gStopSignal == 0) {
    const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr);
    if (result == 0) return true;
    if (result != EINTR) return true;
  }
  return false;
}

// One line per event, with the seconds since start, to a file or stderr.
class BLogFile {
 public:
  bool Open(const std::string& path) {
    m_start = MonotonicNow();
    if (path.empty()) return true;
    m_file = path == "-" ? stderr : std::fopen(path.c_str(), "w");
    return m_file != nullptr;
  }
  ~BLogFile() {
    if (m_file != nullptr && m_file != stderr) std::fclose(m_file);
  }
  void Write(const std::string& line) {
    if (m_file == nullptr) return;
    const double seconds = static_cast<double>(MonotonicNow() - m_start) / 1e9;
    std::fprintf(m_file, "%11.6f %s\n", seconds, line.c_str());
    std::fflush(m_file);
  }

 private:
  std::FILE* m_file = nullptr;
  int64_t m_start = 0;
};

class BEmulatorProgram {
 public:
  explicit BEmulatorProgram(const BEmulatorOptions& options)
      : m_options(options),
        m_emulator(options.chips, options.faults, options.seed),
        m_pacer(options.pace, static_cast<int64_t>(options.delayMs) * 1000000) {}

  int Run();

 private:
  bool Start();
  void Serve();
  bool PollOnce();
  void ReadLine();
  // Milliseconds the poll may wait before the next burst of chatter is due
  // (-1: none), and that burst when it is due.
  int ChatterWaitMs();
  void ChatterIfDue();
  // The same for a late copy waiting for the quiet time after a reply.
  int LateCopyWaitMs() const;
  void LateCopyIfDue();
  void HandleChunk(const uint8_t* bytes, std::size_t count);
  // Writes a reply (in two pieces when it says so) at the deadline and logs
  // it; false when a stop signal came or the line is gone.
  bool WriteReply(const BOutgoingReply& reply, int64_t deadline);
  void OnHangUp();
  void Finish();

  BEmulatorOptions m_options;
  BSirenEmulator m_emulator;
  BLinePacer m_pacer;
  BSerialPort m_port;
  BLogFile m_log;
  bool m_hungUp = true;
  bool m_failed = false;
  bool m_linkMade = false;
  int64_t m_nextChatter = 0;  // monotonic ns
  int64_t m_lateCopyDue = 0;  // monotonic ns; 0 while no late copy waits
};

int BEmulatorProgram::Run() {
  // The other siren's file is part of the command line: nothing starts without it.
  std::string error;
  if (!m_options.otherState.empty() && !m_emulator.LoadOtherSiren(m_options.otherState, error)) {
    std::fprintf(stderr, "siren_emulator: --other-state needs a state file: %s\n", error.c_str());
    return 2;
  }
  if (!Start()) {
    Finish();
    return 1;
  }
  Serve();
  Finish();
  return m_failed ? 1 : 0;
}

bool BEmulatorProgram::Start() {
  if (!m_log.Open(m_options.logFile)) {
    std::fprintf(stderr, "siren_emulator: cannot open the log %s: %s\n", m_options.logFile.c_str(),
                 std::strerror(errno));
    return false;
  }
  m_emulator.SetLog([this](const std::string& line) { m_log.Write(line); });

  if (!m_options.stateFile.empty() && BSirenState::FileExists(m_options.stateFile)) {
    if (!m_emulator.Device().State().Load(m_options.stateFile)) {
      std::fprintf(stderr, "siren_emulator: %s\n",
                   m_emulator.Device().State().GetErrorText().c_str());
      m_options.stateFile.clear();  // never overwrite a file we could not read
      return false;
    }
    m_log.Write("STATE loaded from " + m_options.stateFile);
  }

  const bool opened =
      m_options.device.empty() ? m_port.OpenPseudoTerminal() : m_port.OpenDevice(m_options.device);
  if (!opened) {
    std::fprintf(stderr, "siren_emulator: %s\n", m_port.GetErrorText().c_str());
    return false;
  }
  m_hungUp = m_port.IsPseudoTerminal();

  if (!m_options.link.empty()) {
    if (unlink(m_options.link.c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "siren_emulator: cannot replace %s: %s\n", m_options.link.c_str(),
                   std::strerror(errno));
      return false;
    }
    if (symlink(m_port.FarEndPath().c_str(), m_options.link.c_str()) != 0) {
      std::fprintf(stderr, "siren_emulator: cannot create %s: %s\n", m_options.link.c_str(),
                   std::strerror(errno));
      return false;
    }
    m_linkMade = true;
  }
  std::printf("%s\n", m_port.FarEndPath().c_str());
  std::fflush(stdout);
  if (!m_options.otherState.empty())
    m_log.Write("STATE of the other siren loaded from " + m_options.otherState);
  m_log.Write("LINE " + m_port.FarEndPath() + ", " + std::to_string(m_options.chips) + " IC" +
              (m_options.pace ? ", paced at 115200 baud" : ""));
  return true;
}

void BEmulatorProgram::Serve() {
  while (gStopSignal == 0 && !m_failed) {
    if (!PollOnce()) return;
  }
}

// Waits for the line or stdin; false when the emulator is to end.
bool BEmulatorProgram::PollOnce() {
  pollfd fds[2];
  nfds_t count = 0;
  int lineIndex = -1, inputIndex = -1;
  if (!m_hungUp) {
    lineIndex = static_cast<int>(count);
    fds[count++] = pollfd{m_port.Descriptor(), POLLIN, 0};
  }
  if (m_options.exitOnEof) {
    inputIndex = static_cast<int>(count);
    fds[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
  }
  // While no one holds the line the master reports a hang-up without end;
  // look again every 10 ms instead of spinning.
  int waitMs = 10;
  if (!m_hungUp) {
    const int chatter = ChatterWaitMs(), lateCopy = LateCopyWaitMs();
    waitMs = chatter < 0 ? lateCopy : lateCopy < 0 ? chatter : std::min(chatter, lateCopy);
  }
  const int ready = poll(fds, count, waitMs);
  if (gSwapSignal != 0) {
    gSwapSignal = 0;
    m_emulator.SwapSiren("on SIGUSR1");
  }
  ChatterIfDue();
  LateCopyIfDue();
  if (ready < 0) {
    if (errno == EINTR) return true;
    m_log.Write(std::string("ERROR poll: ") + std::strerror(errno));
    m_failed = true;
    return false;
  }
  if (inputIndex >= 0 && fds[inputIndex].revents != 0) {
    char ignored[256];
    const ssize_t n = read(STDIN_FILENO, ignored, sizeof ignored);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
      m_log.Write("EXIT stdin closed");
      return false;
    }
  }
  if (m_hungUp) {
    pollfd line{m_port.Descriptor(), POLLIN, 0};
    if (poll(&line, 1, 0) < 0 || (line.revents & POLLHUP) != 0) return true;
    m_hungUp = false;
    m_log.Write("LINK the other side opened the line");
    ReadLine();
  } else if (lineIndex >= 0 && fds[lineIndex].revents != 0) {
    ReadLine();
  }
  return true;
}

void BEmulatorProgram::ReadLine() {
  uint8_t buffer[4096];
  for (;;) {
    std::size_t received = 0;
    switch (m_port.Read(buffer, sizeof buffer, received)) {
      case BSerialPort::ReadResult::Data:
        HandleChunk(buffer, received);
        if (m_hungUp || gStopSignal != 0) return;
        break;
      case BSerialPort::ReadResult::NoData:
        return;
      case BSerialPort::ReadResult::HungUp:
        OnHangUp();
        return;
      case BSerialPort::ReadResult::Failed:
        m_log.Write("ERROR " + m_port.GetErrorText());
        m_failed = true;
        return;
    }
  }
}

int BEmulatorProgram::ChatterWaitMs() {
  if (m_emulator.ChatterPeriodMs() == 0) return -1;
  const int64_t now = MonotonicNow();
  if (m_nextChatter == 0) m_nextChatter = now + int64_t(m_emulator.ChatterPeriodMs()) * 1000000;
  return m_nextChatter <= now ? 0 : static_cast<int>((m_nextChatter - now + 999999) / 1000000);
}

// Chatter goes out only while someone holds the line; it keeps its beat.
void BEmulatorProgram::ChatterIfDue() {
  if (m_emulator.ChatterPeriodMs() == 0 || m_nextChatter == 0) return;
  const int64_t now = MonotonicNow();
  if (now < m_nextChatter) return;
  m_nextChatter = now + int64_t(m_emulator.ChatterPeriodMs()) * 1000000;
  if (m_hungUp) return;
  const std::vector<uint8_t> bytes = m_emulator.Chatter();
  if (!m_port.Write(bytes.data(), bytes.size())) {
    m_log.Write("ERROR " + m_port.GetErrorText() + "; the chatter is lost");
    OnHangUp();
  }
}

int BEmulatorProgram::LateCopyWaitMs() const {
  if (m_lateCopyDue == 0) return -1;
  const int64_t now = MonotonicNow();
  return m_lateCopyDue <= now ? 0 : static_cast<int>((m_lateCopyDue - now + 999999) / 1000000);
}

// A late copy that no request has taken along goes out on its own.
void BEmulatorProgram::LateCopyIfDue() {
  if (m_lateCopyDue == 0 || MonotonicNow() < m_lateCopyDue) return;
  m_lateCopyDue = 0;
  if (m_hungUp || !m_emulator.HasLateCopy()) return;
  const BOutgoingReply copy = m_emulator.TakeLateCopy();
  WriteReply(copy, m_pacer.SendDeadline(MonotonicNow(), copy.bytes.size()));
}

void BEmulatorProgram::HandleChunk(const uint8_t* bytes, std::size_t count) {
  m_pacer.OnChunkRead(MonotonicNow(), count);
  const std::vector<BOutgoingReply> replies = m_emulator.Feed(bytes, count);
  for (const BOutgoingReply& reply : replies) {
    const int64_t deadline =
        m_pacer.ReplyDeadline(m_pacer.RequestEnd(reply.chunkOffset), reply.bytes.size());
    if (!WriteReply(reply, deadline)) return;
  }
  // The quiet time of a late copy counts from the last reply written; the
  // bytes of a request not yet whole do not end it.
  if (!replies.empty())
    m_lateCopyDue = m_emulator.HasLateCopy()
                        ? MonotonicNow() + int64_t(BSirenEmulator::kLateCopyQuietMs) * 1000000
                        : 0;
}

bool BEmulatorProgram::WriteReply(const BOutgoingReply& reply, int64_t deadline) {
  if (!SleepUntil(deadline)) return false;
  bool written;
  if (reply.splitAt > 0) {
    written = m_port.Write(reply.bytes.data(), reply.splitAt);
    if (written && !SleepUntil(MonotonicNow() + kSplitPauseNs)) return false;
    written = written &&
              m_port.Write(reply.bytes.data() + reply.splitAt, reply.bytes.size() - reply.splitAt);
  } else {
    written = m_port.Write(reply.bytes.data(), reply.bytes.size());
  }
  if (!written) {
    m_log.Write("ERROR " + m_port.GetErrorText() + "; the reply is lost");
    OnHangUp();
    return false;
  }
  for (const std::string& line : reply.logLines) m_log.Write(line);
  return true;
}

void BEmulatorProgram::OnHangUp() {
  if (m_hungUp) return;
  m_hungUp = true;
  m_port.Flush();
  m_emulator.ResetLink();
  m_lateCopyDue = 0;
  m_pacer.Reset();
  m_log.Write("LINK the other side closed the line");
}

void BEmulatorProgram::Finish() {
  if (gStopSignal != 0)
    m_log.Write(std::string("EXIT signal ") + std::to_string(static_cast<int>(gStopSignal)));
  if (!m_options.stateFile.empty()) {
    BSirenState& state = m_emulator.Device().State();
    if (state.Save(m_options.stateFile)) {
      m_log.Write("STATE saved to " + m_options.stateFile);
    } else {
      std::fprintf(stderr, "siren_emulator: %s\n", state.GetErrorText().c_str());
      m_log.Write("ERROR " + state.GetErrorText());
      m_failed = true;
    }
  }
  if (m_linkMade) {
    // Remove the link only while it still points at this emulator's line.
    char target[4096];
    const ssize_t length = readlink(m_options.link.c_str(), target, sizeof target - 1);
    if (length >= 0 && std::string(target, static_cast<std::size_t>(length)) == m_port.FarEndPath())
      unlink(m_options.link.c_str());
  }
  m_port.Close();
}

}  // namespace

int main(int argc, char** argv) {
  BEmulatorOptions options;
  std::string error;
  if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
    std::fprintf(stderr, "siren_emulator: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(BEmulatorOptions::Usage("siren_emulator").c_str(), stdout);
    return 0;
  }
  InstallSignalHandlers();
  // The default 50 us timer slack would make every paced reply that much late.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  BEmulatorProgram program(options);
  return program.Run();
}
