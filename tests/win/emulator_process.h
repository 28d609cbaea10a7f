// The siren emulator, a Linux program, started from a Windows test under Wine
// and linked to a COM port of the Wine prefix, so that the test can open that
// port and talk to a siren.
//
// Wine starts Linux programs without the Windows standard handles, so the
// emulator is started through bash: its standard input is a pipe from a
// `sleep` that bounds its life, and its process ids, its line path and its
// exit go to a report file that the test reads. Closing that input (ending
// the sleep) ends the emulator, which saves its state and removes its link.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class EmulatorProcess {
 public:
  EmulatorProcess() = default;
  ~EmulatorProcess();
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  // The emulator's Unix path, from the environment variable SIRELTA_EMULATOR;
  // empty when it is not set.
  static std::string ExecutablePath();

  // Starts the emulator on COM<port> of the Wine prefix with extra options
  // (for example {"--chips", "2", "--silent"}) and waits at most `timeoutMs`
  // until the port is there. The emulator ends by itself after `lifetimeS`
  // seconds in any case, so that a crashed test leaves nothing behind for long.
  // On failure ErrorText() says why.
  bool Start(int port, const std::vector<std::string>& options = {}, DWORD timeoutMs = 10000,
             unsigned lifetimeS = 900);
  // Ends the emulator by closing its input and waits at most `timeoutMs` until
  // it has exited (having saved its state and removed its link); kills it
  // after that. Returns false when it had to be killed.
  bool Stop(DWORD timeoutMs = 5000);
  // The emulator's link at this Unix path instead of the COM port's (for a
  // serial server in front of the line); empty: the COM port's again.
  void SetLinkPath(const std::string& unixPath) { m_linkOverride = unixPath; }
  // Moves the emulator's line to its other siren (SIGUSR1); it logs the swap.
  void SwapSiren() { Signal("-USR1", m_emulatorPid); }

  bool IsRunning() const { return m_started; }
  // "COM<port>".
  const std::string& PortName() const { return m_portName; }
  // The Unix path of the line's far end, as the emulator reported it.
  const std::string& LinePath() const { return m_linePath; }
  const std::string& ErrorText() const { return m_error; }

 private:
  bool Fail(const std::string& text);
  // Reads the launcher's report file into the fields below.
  void ReadReport();
  // Reads the report until `done` holds, at most `timeoutMs`.
  bool WaitForReport(const std::function<bool()>& done, DWORD timeoutMs);
  void Signal(const char* signal, unsigned long pid);

  std::string m_portName;
  std::string m_linkUnixPath;  // the port's link in the prefix
  std::string m_linkOverride;
  std::string m_reportPath;  // DOS path of the launcher's report
  std::string m_error;
  bool m_started = false;
  // From the report.
  std::string m_linePath;
  unsigned long m_emulatorPid = 0;
  unsigned long m_inputPid = 0;  // the sleep that feeds the emulator's input
  bool m_exited = false;
};
