// The siren behind a serial server on the network: the program against
// ser2net in front of the emulator's line, as a raw TCP server and as a
// Telnet server with RFC 2217 port control (the win_network_ports test starts
// it and names its ports); a wrong address; and the siren found again when
// the emulator ends and starts again behind the server.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "emulator_process.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

const uint32_t kBigFragment = 20000;

class NetworkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override {
    window.reset();
    emulator.Stop();
    DeleteSettingsKey();
  }
  // A new window that connects to `port` at start, as the program does.
  void StartWindow(const std::string& port) {
    window.reset(new TestMainDlg());
    WriteSettingsValue("Port", REG_SZ, port.c_str(), static_cast<DWORD>(port.size() + 1));
    window->connectAllowed = true;
    ASSERT_TRUE(window->Start());
  }
  bool StatusHas(const std::wstring& line) const {
    for (int i = 0; i < window->StatusCount(); ++i)
      if (window->StatusLine(i) == line) return true;
    return false;
  }
  int StatusLinesStartingWith(const std::wstring& prefix) const {
    int count = 0;
    for (int i = 0; i < window->StatusCount(); ++i)
      count += window->StatusLine(i).compare(0, prefix.size(), prefix) == 0;
    return count;
  }
  bool WaitForBox(const std::wstring& text, DWORD timeoutMs) {
    return PumpMessagesUntil(
        [&] { return !window->boxes.empty() && window->boxes.back().text == text; }, timeoutMs);
  }
  std::wstring Connected(const std::string& port) const {
    return FormatText(Text(IDS_SIREN_RECONNECTED).c_str(), Widen(port).c_str(), 63);
  }

  EmulatorProcess emulator;
  std::unique_ptr<TestMainDlg> window;
};

// Behind ser2net: skipped unless the win_network_ports test started it.
class NetworkPortTest : public NetworkWindowTest {
 protected:
  void SetUp() override {
    line = EnvironmentText("SIRELTA_SER2NET_LINE");
    if (line.empty()) GTEST_SKIP() << "the win_network_ports test runs these with ser2net";
    ASSERT_FALSE(EmulatorProcess::ExecutablePath().empty()) << "SIRELTA_EMULATOR is not set";
    NetworkWindowTest::SetUp();
    addresses = {"tcp://127.0.0.1:" + EnvironmentText("SIRELTA_SER2NET_RAW_PORT"),
                 "rfc2217://127.0.0.1:" + EnvironmentText("SIRELTA_SER2NET_TELNET_PORT")};
    emulator.SetLinkPath(line);
  }
  void StartEmulator() { ASSERT_TRUE(emulator.Start(9, {"--chips", "1"})) << emulator.ErrorText(); }
  void WaitConnected() {
    std::wstring connected = FormatText(Text(IDS_SIREN_CONNECTED).c_str(), 63);
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return window->StatusCount() > 0 && window->StatusLine(0) == connected; }, 20000))
        << "top line: " << (window->StatusCount() > 0 ? Narrow(window->StatusLine(0)) : "");
  }

  std::string line;
  std::vector<std::string> addresses;
};

// Everything the link does on a COM port, through the server: a write of
// 20 000 bytes with its check of every byte, and a read that gives them back.
TEST_F(NetworkPortTest, AWriteItsCheckAndAReadThroughBothKindsOfServer) {
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address);
    ASSERT_NO_FATAL_FAILURE(StartEmulator());
    ASSERT_NO_FATAL_FAILURE(StartWindow(address));
    ASSERT_NO_FATAL_FAILURE(WaitConnected());
    EXPECT_EQ(address, ReadSettingsString("Port"));
    BProfile& profile = window->GetProfile();
    std::vector<uint8_t> bytes(kBigFragment);
    // Every value, 0xFF (the Telnet escape) and CR among them, many times.
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(k * 7 + k / 251);
    ASSERT_EQ(0, profile.PlaceFragment("big", BMemRange{0x100, kBigFragment}, bytes.data(),
                                       kBigFragment));
    std::vector<uint8_t> image(profile.Image(), profile.Image() + kImageSize);
    DWORD start = ::GetTickCount();
    window->answers = {IDYES};
    window->Command(ID_WRITE_SIREN);
    ASSERT_TRUE(WaitForBox(
        TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kBigFragment)), 300000))
        << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
    DWORD written = ::GetTickCount() - start;
    std::fill(profile.Image(), profile.Image() + kImageSize, 0);
    window->answers = {IDYES};
    window->Command(ID_READ_SIREN);
    ASSERT_TRUE(WaitForBox(Text(IDS_READ_COMPLETE), 300000))
        << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
    DWORD read = ::GetTickCount() - start - written;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), window->GetProfile().Image()));
    std::printf("[          ] %s: write and check %lu ms, read %lu ms\n", address.c_str(),
                static_cast<unsigned long>(written), static_cast<unsigned long>(read));
    window.reset();
    EXPECT_TRUE(emulator.Stop());
  }
}

// The emulator ends while the program is connected and starts again behind
// the server: the log says the loss once, and the siren is connected again
// within 5 seconds of its return, without any command.
TEST_F(NetworkPortTest, TheSirenIsFoundAgainWhenTheEmulatorComesBack) {
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address);
    ASSERT_NO_FATAL_FAILURE(StartEmulator());
    ASSERT_NO_FATAL_FAILURE(StartWindow(address));
    ASSERT_NO_FATAL_FAILURE(WaitConnected());
    std::wstring lost =
        FormatText(Text(IDS_PORT_LOST).c_str(), Widen(address).c_str(), L"").substr(0, 30);
    ASSERT_TRUE(emulator.Stop());
    ASSERT_TRUE(PumpMessagesUntil([&] { return StatusLinesStartingWith(lost) == 1; }, 10000));
    // Away for a while: the attempts fail quietly.
    const int lines = window->StatusCount();
    PumpMessagesUntil([] { return false; }, 2500);
    EXPECT_EQ(lines, window->StatusCount());
    EXPECT_TRUE(window->Link().IsReconnecting());

    ASSERT_NO_FATAL_FAILURE(StartEmulator());
    DWORD back = ::GetTickCount();
    ASSERT_TRUE(PumpMessagesUntil([&] { return StatusHas(Connected(address)); }, 5000))
        << "top line: " << Narrow(window->StatusLine(0));
    std::printf("[          ] %s: connected again %lu ms after the siren came back\n",
                address.c_str(), static_cast<unsigned long>(::GetTickCount() - back));
    EXPECT_EQ(1, StatusLinesStartingWith(lost));
    EXPECT_TRUE(window->boxes.empty()) << "no job ran: no box";
    EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
    EXPECT_FALSE(window->MenuGreyed(ID_READ_SIREN));
    window.reset();
    EXPECT_TRUE(emulator.Stop());
  }
}

// A loopback port that nothing listens on, and a listener that takes the
// connection but never says a word of Telnet: each is reported within 6
// seconds, naming the address, and the window answers all the while.
TEST_F(NetworkWindowTest, AWrongAddressIsReportedWhileTheWindowAnswers) {
  WSADATA data;
  ASSERT_EQ(0, ::WSAStartup(MAKEWORD(2, 2), &data));
  SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, ::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof(local)));
  int length = sizeof(local);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length);
  const std::string port = std::to_string(ntohs(local.sin_port));

  struct Case {
    std::string address;
    bool listening;
    std::wstring expected;  // the start of the error in the box
  };
  std::vector<Case> cases = {{"tcp://127.0.0.1:" + port, false,
                              FormatText(Text(IDS_NET_CONNECT_FAILED).c_str(),
                                         Widen("tcp://127.0.0.1:" + port).c_str(), L"")},
                             {"rfc2217://127.0.0.1:" + port, true,
                              FormatText(Text(IDS_NET_NO_TELNET_ANSWER).c_str(),
                                         Widen("rfc2217://127.0.0.1:" + port).c_str(), 5)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    if (c.listening) {
      ASSERT_EQ(0, ::listen(listener, 4));
    }
    // Another thread asks the window all the time, as Windows does to see
    // whether a program hangs; the longest wait for its answer is kept.
    std::atomic<bool> asking{true};
    std::atomic<HWND> target{nullptr};
    std::atomic<DWORD> longest{0};
    std::thread asker([&] {
      while (asking) {
        HWND hwnd = target;
        if (hwnd != nullptr) {
          DWORD sent = ::GetTickCount();
          DWORD_PTR result = 0;
          ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result);
          longest = std::max<DWORD>(longest, ::GetTickCount() - sent);
        }
        ::Sleep(50);
      }
    });
    DWORD start = ::GetTickCount();
    ASSERT_NO_FATAL_FAILURE(StartWindow(c.address));
    DWORD started = ::GetTickCount() - start;
    target = window->GetHwnd();
    bool shown = PumpMessagesUntil([&] { return !window->boxes.empty(); }, 8000);
    DWORD elapsed = ::GetTickCount() - start;
    asking = false;
    asker.join();
    ASSERT_TRUE(shown);
    std::wstring box = window->boxes.back().text;
    std::printf("[          ] %s: message after %lu ms; the window answered within %lu ms\n",
                c.address.c_str(), static_cast<unsigned long>(elapsed),
                static_cast<unsigned long>(longest.load()));
    EXPECT_LT(started, 1000u) << "the window is there before the connection";
    EXPECT_LT(elapsed, 6000u);
    EXPECT_LT(longest.load(), 500u);
    EXPECT_NE(std::wstring::npos, box.find(c.expected)) << Narrow(box);
    EXPECT_NE(std::wstring::npos, box.find(Widen(c.address))) << "the address is named";
    EXPECT_EQ(BLinkState::Disconnected, window->Link().GetState());
    EXPECT_FALSE(window->Link().IsReconnecting()) << "a port that never worked is not retried";
    window.reset();
  }
  ::closesocket(listener);
  ::WSACleanup();
}

}  // namespace
