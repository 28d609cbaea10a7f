// Writing several sirens at once against writing one alone, through the
// program's fleet jobs and serial transports: a profile of SECONDS of sound
// is written (Write changes with the read-back of every byte and of the
// tables) to the siren on the first port alone, then to the sirens on all the
// ports at once.
//
//   fleet_benchmark SECONDS PORT...
//
// Prints both times, every siren's verdict and the ratio of the two times;
// bench/run_fleet_benchmark.sh starts the emulators and runs it under Wine.
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/connection.h"
#include "link/fleet_job.h"
#include "link/handler_relay.h"

namespace {

constexpr double kSampleRate = 9765.0;
constexpr UINT kSirenMessage = WM_APP + 1;

class SerialPort : public BLinkPort {
 public:
  explicit SerialPort(BCOMConnection& connection) : m_connection(connection) {}
  bool Open(const std::string& portName) override { return m_connection.Open(portName); }
  bool Close(unsigned timeoutMs) override { return m_connection.Close(timeoutMs); }
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    m_connection.Send(code, length, payload);
  }
  bool IsOpen() const override { return m_connection.IsOpen(); }
  std::string GetErrorText() const override { return m_connection.GetErrorText(); }

 private:
  BCOMConnection& m_connection;
};

// One siren: its transport, whose callbacks go to its job's link.
class Siren {
 public:
  Siren(int index, BFleetJobHost& host) : job(index, port, host) {
    relay.SetTarget(job.TransportHandler());
  }
  ~Siren() { connection.Close(kLinkCloseTimeoutMs); }

  BHandlerRelay relay;
  BCOMConnection connection{relay, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  SerialPort port{connection};
  BFleetJob job;
};

// The jobs' messages come through the thread's queue, as through a window's.
class Host : public BFleetJobHost {
 public:
  Host() : m_thread(::GetCurrentThreadId()) {}
  bool PostSirenMessage(int index, unsigned message) override {
    return ::PostThreadMessageW(m_thread, kSirenMessage, index, message) != FALSE;
  }
  void ShowSirenProgress(int, int) override {}
  void ShowSirenStep(int, const BLinkText&) override {}
  void SirenFinished(int index, const BFleetRecord& record, const BLinkText&) override {
    std::printf("  siren %d on %s: %s, %u bytes written, %u read back\n", index,
                record.port.c_str(), VerdictKeyword(record.verdict), record.bytesWritten,
                record.bytesChecked);
    --m_running;
  }
  std::string LocalTimeText() override { return std::string(); }
  uint32_t TickCount() override { return ::GetTickCount(); }

  // Writes `profile` to the sirens on `ports` at once; returns the seconds.
  double Write(const BProfile& profile, const std::vector<std::string>& ports) {
    std::vector<std::unique_ptr<Siren>> sirens;
    for (size_t i = 0; i < ports.size(); ++i)
      sirens.push_back(std::make_unique<Siren>(static_cast<int>(i), *this));
    const auto start = std::chrono::steady_clock::now();
    m_running = static_cast<int>(ports.size());
    for (size_t i = 0; i < ports.size(); ++i) sirens[i]->job.Start(profile, ports[i]);
    MSG message;
    while (m_running > 0 && ::GetMessageW(&message, nullptr, 0, 0) > 0)
      if (message.message == kSirenMessage)
        sirens[message.wParam]->job.HandleMessage(static_cast<unsigned>(message.lParam));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  DWORD m_thread;
  int m_running = 0;
};

// One fragment of a sweeping tone, as a recorded signal would fill the memory.
void MakeProfile(BProfile& profile, double seconds) {
  const uint32_t length = static_cast<uint32_t>(seconds * kSampleRate);
  profile.SetFragment(0, BFragment{"tone", 0, length, false});
  for (uint32_t i = 0; i < length; ++i)
    profile.Image()[i] = static_cast<uint8_t>(128 + 100 * std::sin(i * (0.05 + i * 1e-7)));
  profile.AppendPlaylistEntry(0);
  profile.SetButton(0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fleet_benchmark SECONDS PORT...\n");
    return 2;
  }
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
  BProfile profile;
  MakeProfile(profile, std::atof(argv[1]));
  const std::vector<std::string> ports(argv + 2, argv + argc);
  Host host;
  std::printf("one siren alone:\n");
  const double alone = host.Write(profile, {ports.front()});
  std::printf("  %.1f s\n%zu sirens at once:\n", alone, ports.size());
  const double together = host.Write(profile, ports);
  std::printf("  %.1f s\n", together);
  std::printf("%zu sirens at once take %.2f times as long as one alone (target: below 1.5)\n",
              ports.size(), together / alone);
  return 0;
}
