#include "emulator_process.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "win_test_support.h"

namespace {

// The Unix path /x/y as Wine's DOS path Z:\x\y.
std::string DosPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string Quoted(const std::string& argument) { return "\"" + argument + "\""; }

// Starts a Linux program; Wine gives no process handle for those.
bool StartUnixProgram(const std::string& unixPath, const std::string& arguments) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string program = DosPath(unixPath);
  std::string commandLine = Quoted(program) + " " + arguments;
  if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
    return false;
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  return true;
}

std::string ReadTextFile(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char chunk[512];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) text.append(chunk, count);
  std::fclose(file);
  return text;
}

// bash: $0 is the emulator, $1 the report file, the rest its options. The
// report gets "input PID" (the sleep), "emulator PID", the emulator's own
// output (its line path) and, once it has ended, "exit CODE".
const char kLauncher[] =
    "out=$1; shift; "
    "exec 3< <(exec sleep %u); "
    "echo input $! >> \\\"$out\\\"; "
    "\\\"$0\\\" \\\"$@\\\" <&3 3<&- >> \\\"$out\\\" & "
    "echo emulator $! >> \\\"$out\\\"; "
    "exec 3<&-; wait $!; "
    "echo exit $? >> \\\"$out\\\"";

}  // namespace

EmulatorProcess::~EmulatorProcess() { Stop(); }

std::string EmulatorProcess::ExecutablePath() {
  const char* path = std::getenv("SIRELTA_EMULATOR");
  return path != nullptr ? path : "";
}

bool EmulatorProcess::Start(int port, const std::vector<std::string>& options, DWORD timeoutMs,
                            unsigned lifetimeS) {
  Stop();
  m_error.clear();
  const std::string emulator = ExecutablePath();
  const char* prefix = std::getenv("WINEPREFIX");
  if (emulator.empty()) return Fail("SIRELTA_EMULATOR is not set");
  if (prefix == nullptr || *prefix == '\0') return Fail("WINEPREFIX is not set");

  m_portName = "COM" + std::to_string(port);
  m_linkUnixPath = !m_linkOverride.empty()
                       ? m_linkOverride
                       : std::string(prefix) + "/dosdevices/com" + std::to_string(port);
  const std::string reportUnixPath = UnixScratchPath("emulator-" + std::to_string(port), ".txt");
  m_reportPath = DosPath(reportUnixPath);
  ::DeleteFileA(m_reportPath.c_str());

  char launcher[sizeof(kLauncher) + 16];
  std::snprintf(launcher, sizeof(launcher), kLauncher, lifetimeS);
  std::string arguments = "-c " + Quoted(launcher) + " " + Quoted(emulator) + " " +
                          Quoted(reportUnixPath) + " --exit-on-eof --link " +
                          Quoted(m_linkUnixPath);
  for (const std::string& option : options) arguments += " " + Quoted(option);
  if (!StartUnixProgram("/bin/bash", arguments))
    return Fail("cannot start bash (error " + std::to_string(::GetLastError()) + ")");
  m_started = true;

  // The emulator makes the link before it writes its line path.
  bool reported = WaitForReport([this] { return !m_linePath.empty() || m_exited; }, timeoutMs);
  if (!reported || m_linePath.empty()) {
    Stop(1000);
    return Fail(reported ? "the emulator ended at once (see its error output)"
                         : "the emulator did not report its line in time");
  }
  return true;
}

bool EmulatorProcess::Stop(DWORD timeoutMs) {
  if (!m_started) return true;
  bool ended = false;
  if (m_inputPid != 0) {
    // The end of its input ends the emulator; it removes its link itself.
    Signal("-TERM", m_inputPid);
    ended = WaitForReport([this] { return m_exited; }, timeoutMs);
  }
  if (!ended) {
    if (m_emulatorPid != 0) Signal("-KILL", m_emulatorPid);
    if (m_inputPid != 0) Signal("-KILL", m_inputPid);
    WaitForReport([this] { return m_exited; }, 2000);
    StartUnixProgram("/bin/rm", "-f " + Quoted(m_linkUnixPath));
  }
  ::DeleteFileA(m_reportPath.c_str());
  m_started = false;
  m_exited = false;
  m_emulatorPid = 0;
  m_inputPid = 0;
  m_linePath.clear();
  return ended;
}

bool EmulatorProcess::Fail(const std::string& text) {
  m_error = text;
  return false;
}

void EmulatorProcess::ReadReport() {
  std::istringstream report(ReadTextFile(m_reportPath));
  std::string line;
  // Only whole lines count: a line without its end may still be written.
  while (std::getline(report, line) && !report.eof()) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "input") {
      words >> m_inputPid;
    } else if (word == "emulator") {
      words >> m_emulatorPid;
    } else if (word == "exit") {
      m_exited = true;
    } else if (!line.empty() && line[0] == '/') {
      m_linePath = line;
    }
  }
}

bool EmulatorProcess::WaitForReport(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    ReadReport();
    if (done()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(10);
  }
}

void EmulatorProcess::Signal(const char* signal, unsigned long pid) {
  StartUnixProgram("/bin/kill", std::string(signal) + " " + std::to_string(pid));
}
