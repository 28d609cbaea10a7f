// Speed of the serial link through the real transport: writes and then reads
// a memory image one byte per exchange, each request sent from inside the
// reply handler on the worker thread, as the memory jobs do.
//
//   link_benchmark PORT [BYTES]
//
// Prints the exchanges per second of each phase, their share of what a
// 115200 baud 8N1 line allows for this exchange (13 bytes on the wire) and
// the mean time of one exchange; bench/run_link_benchmark.sh adds the mean
// turnaround from the emulator's log.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/connection.h"

namespace {

constexpr uint32_t kImageSize = 262140;
constexpr uint8_t kDetect = 0x00;
constexpr uint8_t kWriteByte = 0x40;
constexpr uint8_t kReadByte = 0x30;
// Request 8 + reply 5 bytes for a write, request 7 + reply 6 for a read;
// 10 bits per byte.
constexpr double kLineExchangesPerSecond = 115200.0 / (13 * 10);

uint8_t PatternByte(uint32_t address) {
  return static_cast<uint8_t>(address * 7 + (address >> 8) + 3);
}

// Runs one phase: every reply asks for the next address until `count` are done.
class Runner : public BCOMHandler {
 public:
  explicit Runner(uint32_t count)
      : m_count(count), m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Runner() override { ::CloseHandle(m_done); }

  void Attach(BCOMConnection* connection) { m_connection = connection; }

  // Returns false on a failure, with its text in `error`.
  bool Run(uint8_t code, DWORD& elapsedMs, std::string& error) {
    m_code = code;
    m_next = 0;
    m_failure.clear();
    ::ResetEvent(m_done);
    DWORD start = ::GetTickCount();
    SendNext();
    ::WaitForSingleObject(m_done, INFINITE);
    elapsedMs = ::GetTickCount() - start;
    error = m_failure;
    return error.empty();
  }

  bool Detect(std::string& error) {
    m_code = kDetect;
    ::ResetEvent(m_done);
    m_connection->Send(kDetect, 0, nullptr);
    if (::WaitForSingleObject(m_done, 5000) != WAIT_OBJECT_0) m_failure = "no answer to detect";
    error = m_failure;
    return error.empty();
  }

  void OnError(const std::string& text) override { Finish("link error: " + text); }
  void OnTimeout() override { Finish("time-out at address " + std::to_string(m_next)); }

  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    if (m_code == kDetect) {
      if (code == 0xFF) ::SetEvent(m_done);
      return;
    }
    if (code != m_code) return;
    const uint32_t address = m_next - 1;
    if (data[0] != 0)
      return Finish("status " + std::to_string(data[0]) + " at " + std::to_string(address));
    if (code == kReadByte && length == 2 && data[1] != PatternByte(address))
      return Finish("wrong value at " + std::to_string(address));
    if (m_next == m_count) return Finish("");
    SendNext();
  }

 private:
  void SendNext() {
    const uint32_t address = m_next++;
    uint8_t payload[4] = {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                          static_cast<uint8_t>(address >> 16), PatternByte(address)};
    m_connection->Send(m_code, m_code == kWriteByte ? 4 : 3, payload);
  }

  void Finish(const std::string& failure) {
    m_failure = failure;
    ::SetEvent(m_done);
  }

  const uint32_t m_count;
  HANDLE m_done;
  BCOMConnection* m_connection = nullptr;
  // Worker thread while a phase runs; the main thread reads them after m_done.
  uint8_t m_code = 0;
  uint32_t m_next = 0;
  std::string m_failure;
};

void Report(const char* phase, uint32_t count, DWORD elapsedMs) {
  double perSecond = elapsedMs > 0 ? count * 1000.0 / elapsedMs : 0;
  std::printf(
      "%-6s %7u bytes in %7.2f s: %7.1f exchanges/s = %5.1f %% of the line (%.0f/s), "
      "%.0f us per exchange\n",
      phase, count, elapsedMs / 1000.0, perSecond, 100.0 * perSecond / kLineExchangesPerSecond,
      kLineExchangesPerSecond, elapsedMs * 1000.0 / count);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: link_benchmark PORT [BYTES]\n");
    return 2;
  }
  uint32_t count =
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : kImageSize;
  if (count == 0 || count > kImageSize) count = kImageSize;

  Runner runner(count);
  BCOMConnection connection(runner, 2000, 2000);
  runner.Attach(&connection);
  if (!connection.Open(argv[1])) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], connection.GetErrorText().c_str());
    return 1;
  }
  std::string error;
  if (!runner.Detect(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  DWORD elapsed = 0;
  if (!runner.Run(kWriteByte, elapsed, error)) {
    std::fprintf(stderr, "write: %s\n", error.c_str());
    return 1;
  }
  Report("write", count, elapsed);
  if (!runner.Run(kReadByte, elapsed, error)) {
    std::fprintf(stderr, "read: %s\n", error.c_str());
    return 1;
  }
  Report("read", count, elapsed);
  connection.Close(5000);
  return 0;
}
