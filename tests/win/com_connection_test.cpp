// The serial transport against the siren emulator on a pseudo-terminal, the
// port names, the port list and the port dialog.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "emulator_process.h"
#include "link/com_ports.h"
#include "link/link_string_ids.h"
#include "ui/com_selector_dlg.h"
#include "link/connection.h"
#include "ui/resource.h"
#include "toolkit/ui_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr DWORD kLinkTimeoutMs = 2000;

// Records the transport's callbacks (worker thread) for the test thread.
class RecordingHandler : public BCOMHandler {
 public:
  struct Reply {
    uint8_t code;
    Bytes data;
    DWORD tick;
  };

  void OnError(const std::string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    errors.push_back(text);
    m_changed.notify_all();
  }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    replies.push_back({code, Bytes(data, data + length), ::GetTickCount()});
    m_changed.notify_all();
  }
  void OnTimeout() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    timeoutTicks.push_back(::GetTickCount());
    m_changed.notify_all();
  }
  void OnGarbledReply() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++garbled;
    m_changed.notify_all();
  }
  void OnStrayReply(uint8_t code) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    strayCodes.push_back(code);
  }

  // Waits until `done` holds (checked under the lock), at most `timeoutMs`.
  template <typename Predicate>
  bool WaitUntil(Predicate done, DWORD timeoutMs = 5000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(); });
  }
  bool WaitForReplies(size_t count) {
    return WaitUntil([&] { return replies.size() >= count; });
  }
  bool WaitForTimeouts(size_t count) {
    return WaitUntil([&] { return timeoutTicks.size() >= count; });
  }

  // Read only by the test thread while the worker is idle or after a wait.
  std::vector<Reply> replies;
  std::vector<std::string> errors;
  std::vector<DWORD> timeoutTicks;
  int garbled = 0;
  std::vector<uint8_t> strayCodes;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
};

class ComConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (EmulatorProcess::ExecutablePath().empty()) GTEST_SKIP() << "SIRELTA_EMULATOR is not set";
  }

  // Starts the emulator on COM<port> and opens the connection on it.
  void Connect(int port, const std::vector<std::string>& options) {
    ASSERT_TRUE(m_emulator.Start(port, options)) << m_emulator.ErrorText();
    ASSERT_TRUE(m_connection.Open(m_emulator.PortName())) << m_connection.GetErrorText();
    EXPECT_TRUE(m_connection.IsOpen());
    EXPECT_EQ(m_connection.GetLastErrorCode(), 0u);
  }

  void TearDown() override {
    m_connection.Close(5000);
    m_emulator.Stop();
  }

  RecordingHandler m_handler;
  BCOMConnection m_connection{m_handler, kLinkTimeoutMs, kLinkTimeoutMs};
  EmulatorProcess m_emulator;
};

TEST_F(ComConnectionTest, DetectsTheSirenAndAsksItsMemorySize) {
  ASSERT_NO_FATAL_FAILURE(Connect(5, {"--chips", "3"}));
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForReplies(1));
  EXPECT_EQ(m_handler.replies[0].code, 0xFF);
  EXPECT_TRUE(m_handler.replies[0].data.empty());

  // Two requests queued at once go out one after the other.
  m_connection.Send(0x10, 0, nullptr);
  const uint8_t address[3] = {0x10, 0x00, 0x00};
  m_connection.Send(0x30, 3, address);
  ASSERT_TRUE(m_handler.WaitForReplies(3));
  EXPECT_EQ(m_handler.replies[1].code, 0x10);
  EXPECT_EQ(m_handler.replies[1].data, Bytes{3});
  EXPECT_EQ(m_handler.replies[2].code, 0x30);
  EXPECT_EQ(m_handler.replies[2].data, (Bytes{0, 0xFF}));  // erased memory
  EXPECT_TRUE(m_handler.errors.empty());
  EXPECT_TRUE(m_handler.timeoutTicks.empty());

  EXPECT_TRUE(m_connection.Close(5000));
  EXPECT_FALSE(m_connection.IsOpen());
}

// The reply handler sends the next request from the worker, as the memory jobs do.
TEST_F(ComConnectionTest, RequestsSentFromInsideTheReplyHandlerAreServed) {
  class ChainingHandler : public RecordingHandler {
   public:
    void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
      RecordingHandler::OnReceive(code, length, data);
      if (++m_sent < 50) {
        const uint8_t request[4] = {static_cast<uint8_t>(m_sent), 0, 0,
                                    static_cast<uint8_t>(m_sent)};
        connection->Send(0x40, 4, request);
      }
    }
    BCOMConnection* connection = nullptr;

   private:
    int m_sent = 0;  // worker thread only
  } handler;
  BCOMConnection connection(handler, kLinkTimeoutMs, kLinkTimeoutMs);
  handler.connection = &connection;
  ASSERT_TRUE(m_emulator.Start(6, {"--chips", "1"})) << m_emulator.ErrorText();
  ASSERT_TRUE(connection.Open(m_emulator.PortName())) << connection.GetErrorText();
  connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(handler.WaitForReplies(50));
  for (size_t i = 1; i < 50; ++i) {
    EXPECT_EQ(handler.replies[i].code, 0x40);
    EXPECT_EQ(handler.replies[i].data, Bytes{0});
  }
  EXPECT_TRUE(connection.Close(5000));
}

// A handler that queues a request from inside every report, as the memory
// jobs and their retries do.
class EndlessHandler : public RecordingHandler {
 public:
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    RecordingHandler::OnReceive(code, length, data);
    connection->Send(0x00, 0, nullptr);
  }
  void OnTimeout() override {
    RecordingHandler::OnTimeout();
    connection->Send(0x00, 0, nullptr);
  }
  BCOMConnection* connection = nullptr;
};

// Requests queued by the worker go out after a reply without a wake-up of the
// worker; a stop still ends such a chain at once.
TEST_F(ComConnectionTest, CloseEndsAChainOfRequestsQueuedByTheHandler) {
  EndlessHandler handler;
  BCOMConnection connection(handler, kLinkTimeoutMs, kLinkTimeoutMs);
  handler.connection = &connection;
  ASSERT_TRUE(m_emulator.Start(14, {})) << m_emulator.ErrorText();
  ASSERT_TRUE(connection.Open(m_emulator.PortName())) << connection.GetErrorText();
  connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(handler.WaitForReplies(200));
  DWORD start = ::GetTickCount();
  EXPECT_TRUE(connection.Close(5000));
  EXPECT_LT(::GetTickCount() - start, 500u);
  EXPECT_TRUE(handler.errors.empty());
  EXPECT_TRUE(handler.timeoutTicks.empty());
}

// A request queued from inside OnTimeout is sent too, though the reply that
// would have woken the worker never came.
TEST_F(ComConnectionTest, RequestQueuedByTheTimeoutHandlerIsSent) {
  EndlessHandler handler;
  BCOMConnection connection(handler, kLinkTimeoutMs, kLinkTimeoutMs);
  handler.connection = &connection;
  ASSERT_TRUE(m_emulator.Start(15, {"--drop-reply", "1"})) << m_emulator.ErrorText();
  ASSERT_TRUE(connection.Open(m_emulator.PortName())) << connection.GetErrorText();
  connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(handler.WaitForTimeouts(1));
  ASSERT_TRUE(handler.WaitForReplies(3));
  EXPECT_EQ(handler.replies[0].code, 0xFF);
  EXPECT_GE(handler.replies[0].tick, handler.timeoutTicks[0]);
  EXPECT_TRUE(connection.Close(5000));
  EXPECT_EQ(handler.timeoutTicks.size(), 1u);
}

TEST_F(ComConnectionTest, SilentDeviceTimesOutOnceAfterTwoSeconds) {
  ASSERT_NO_FATAL_FAILURE(Connect(7, {"--silent"}));
  DWORD sent = ::GetTickCount();
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForTimeouts(1));
  DWORD elapsed = m_handler.timeoutTicks[0] - sent;
  EXPECT_GE(elapsed, kLinkTimeoutMs - 50);
  EXPECT_LE(elapsed, kLinkTimeoutMs + 1000);
  // Nothing else follows while nothing is queued.
  EXPECT_FALSE(m_handler.WaitUntil([&] { return m_handler.timeoutTicks.size() > 1; }, 700));
  EXPECT_TRUE(m_handler.replies.empty());
  EXPECT_TRUE(m_handler.errors.empty());
}

// Noise before every reply is skipped; a reply with a bad checksum is not
// delivered and is reported as garbled once the line is quiet, not as
// silence, after which the next request is served; a reply that came twice
// is dropped before the next request and named by its code.
TEST_F(ComConnectionTest, SkipsNoiseAndReportsGarbledAndStrayReplies) {
  ASSERT_NO_FATAL_FAILURE(Connect(
      8, {"--noise", "40", "--corrupt-checksum", "2", "--chips", "4", "--repeat-reply", "3"}));
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForReplies(1));
  EXPECT_EQ(m_handler.replies[0].code, 0xFF);

  m_connection.Send(0x10, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitUntil([&] { return m_handler.garbled == 1; }));
  EXPECT_EQ(m_handler.replies.size(), 1u);
  EXPECT_TRUE(m_handler.timeoutTicks.empty());

  m_connection.Send(0x10, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForReplies(2));
  EXPECT_EQ(m_handler.replies[1].code, 0x10);
  EXPECT_EQ(m_handler.replies[1].data, Bytes{4});
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForReplies(3));
  EXPECT_EQ(m_handler.strayCodes, std::vector<uint8_t>{0x10}) << "the copy of the third reply";
  EXPECT_TRUE(m_handler.errors.empty());
}

TEST_F(ComConnectionTest, OpeningAMissingPortFailsWithTheSystemText) {
  ASSERT_FALSE(m_connection.Open("COM97"));
  EXPECT_FALSE(m_connection.IsOpen());
  EXPECT_NE(m_connection.GetLastErrorCode(), 0u);
  EXPECT_FALSE(m_connection.GetErrorText().empty());
  EXPECT_TRUE(m_connection.Close(5000));
  // A failed Open leaves the connection usable for the next one.
  ASSERT_NO_FATAL_FAILURE(Connect(9, {}));
  m_connection.Send(0x00, 0, nullptr);
  EXPECT_TRUE(m_handler.WaitForReplies(1));
}

// The line goes away under the connection: the worker reports it and ends,
// and Close then returns at once.
TEST_F(ComConnectionTest, CloseReturnsAtOnceAfterTheWorkerEnded) {
  ASSERT_NO_FATAL_FAILURE(Connect(12, {}));  // COM12 is opened as \\.\COM12
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitForReplies(1));
  ASSERT_TRUE(m_emulator.Stop());
  m_connection.Send(0x00, 0, nullptr);
  ASSERT_TRUE(m_handler.WaitUntil(
      [&] { return !m_handler.errors.empty() || !m_handler.timeoutTicks.empty(); }));
  // Let the worker run to its end after its report.
  ::Sleep(100);
  DWORD start = ::GetTickCount();
  EXPECT_TRUE(m_connection.Close(5000));
  EXPECT_LT(::GetTickCount() - start, 500u);
  EXPECT_FALSE(m_connection.IsOpen());
}

// A worker that does not stop is killed after the time-out, with the text 143.
TEST_F(ComConnectionTest, CloseKillsAWorkerThatDoesNotStop) {
  class StuckConnection : public BCOMConnection {
   public:
    using BCOMConnection::BCOMConnection;

   protected:
    void ThreadProc() override { ::Sleep(30000); }
  };
  StuckConnection connection(m_handler, kLinkTimeoutMs, kLinkTimeoutMs);
  ASSERT_TRUE(m_emulator.Start(5, {})) << m_emulator.ErrorText();
  ASSERT_TRUE(connection.Open(m_emulator.PortName())) << connection.GetErrorText();
  DWORD start = ::GetTickCount();
  EXPECT_FALSE(connection.Close(300));
  EXPECT_LT(::GetTickCount() - start, 2000u);
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.GetLastErrorCode(), BCOMConnectionBase::kStopTimedOut);
  EXPECT_EQ(connection.GetErrorText(),
            Narrow(L"Поток приема данных незавершился в отведенное время (300 мс)."));
  // The port was closed with it: it can be opened again.
  ASSERT_TRUE(m_connection.Open(m_emulator.PortName())) << m_connection.GetErrorText();
}

// Closing while a reply is awaited: the read the worker has pending is
// cancelled and has ended before Close returns, and the next Open reuses the
// records safely.
TEST_F(ComConnectionTest, CloseWaitsForThePendingReadItCancels) {
  ASSERT_NO_FATAL_FAILURE(Connect(14, {"--silent"}));
  for (int round = 0; round < 5; ++round) {
    m_connection.Send(0x00, 0, nullptr);
    ::Sleep(100);  // the worker now waits for a reply
    EXPECT_TRUE(m_connection.HasPendingIo()) << "round " << round;
    DWORD start = ::GetTickCount();
    EXPECT_TRUE(m_connection.Close(5000));
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_FALSE(m_connection.HasPendingIo());
    ASSERT_TRUE(m_connection.Open(m_emulator.PortName())) << m_connection.GetErrorText();
  }
  EXPECT_TRUE(m_handler.timeoutTicks.empty());
  EXPECT_TRUE(m_handler.errors.empty());
}

TEST(ComPortNames, LongComNamesGetTheDevicePrefix) {
  EXPECT_EQ(PortDevicePath("COM9"), "COM9");
  EXPECT_EQ(PortDevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(PortDevicePath("com3"), "com3");
  EXPECT_EQ(PortDevicePath("com12"), "com12");
  EXPECT_EQ(PortDevicePath("\\\\.\\COM3"), "\\\\.\\COM3");
  EXPECT_EQ(PortDevicePath("LPT1"), "LPT1");
}

TEST(ComPortList, KeepsComPortsCutAtTheirColon) {
  std::string name;
  EXPECT_TRUE(TakeComPortName("COM1:", name));
  EXPECT_EQ(name, "COM1");
  EXPECT_TRUE(TakeComPortName("com12:", name));
  EXPECT_EQ(name, "com12");
  EXPECT_TRUE(TakeComPortName("COM3", name));
  EXPECT_EQ(name, "COM3");
  EXPECT_TRUE(TakeComPortName("COM:", name));  // the colon is before the fifth character
  EXPECT_EQ(name, "COM:");
  EXPECT_FALSE(TakeComPortName("LPT1:", name));
  EXPECT_FALSE(TakeComPortName("FILE:", name));
  EXPECT_FALSE(TakeComPortName("CO", name));

  std::vector<std::string> ports = EnumerateComPorts();
  EXPECT_FALSE(ports.empty());
  for (const std::string& port : ports) {
    std::string kept;
    EXPECT_TRUE(TakeComPortName(port.c_str(), kept)) << port;
    EXPECT_EQ(kept, port);
    EXPECT_EQ(port.find(':'), std::string::npos) << port;
  }
}

// The port dialog, driven by its own messages: the script runs once the
// dialog is up, and the message box is answered by the test.
class ScriptedSelectorDlg : public BCOMSelectorDlg {
 public:
  // What the field holds when OK is pressed; "" presses Cancel instead.
  std::vector<std::string> typed;
  std::vector<std::wstring> messages;
  std::vector<UINT> messageTypes;
  std::string fieldAtStart;
  int listedPorts = -1;
  bool hadBigIcon = false;
  bool focusOnComboAfterMessage = false;

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    bool handled = BCOMSelectorDlg::HandleMessage(message, wParam, lParam, result);
    if (message == WM_INITDIALOG) {
      HWND combo = GetItem(IDC_PORT_COMBO);
      wchar_t text[64] = {};
      ::GetWindowTextW(combo, text, 64);
      fieldAtStart = Narrow(text);
      listedPorts = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
      hadBigIcon = ::SendMessageW(GetHwnd(), WM_GETICON, ICON_BIG, 0) != 0;
      ::PostMessageW(GetHwnd(), WM_APP, 0, 0);
    } else if (message == WM_APP) {
      if (wParam == kAfterMessageBox) {
        HWND focus = ::GetFocus();
        HWND combo = GetItem(IDC_PORT_COMBO);
        focusOnComboAfterMessage =
            focus != nullptr && (focus == combo || ::GetParent(focus) == combo);
      }
      PlayNextStep();
      handled = true;
    }
    return handled;
  }

  int ShowMessageBox(const std::wstring& text, UINT type) override {
    messages.push_back(text);
    messageTypes.push_back(type);
    // The dialog gives the focus back to the combo box after the box; look then.
    ::PostMessageW(GetHwnd(), WM_APP, kAfterMessageBox, 0);
    return IDOK;
  }

 private:
  static constexpr WPARAM kAfterMessageBox = 1;

  void PlayNextStep() {
    HWND combo = GetItem(IDC_PORT_COMBO);
    if (m_step >= typed.size()) {
      ::PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
      return;
    }
    const std::string& text = typed[m_step++];
    if (text.empty()) {
      ::PostMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    ::SetWindowTextW(combo, Widen(text).c_str());
    ::PostMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetItem(IDOK)));
  }

  size_t m_step = 0;
};

TEST(ComSelectorDlg, OkTakesTheTrimmedName) {
  ScriptedSelectorDlg dialog;
  EXPECT_EQ(dialog.GetPortName(), "COM1");
  dialog.SetPortName("COM4");
  dialog.typed = {" COM7 "};
  EXPECT_EQ(dialog.DoModal(::GetModuleHandleW(nullptr), nullptr), IDOK);
  EXPECT_EQ(dialog.GetPortName(), "COM7");
  EXPECT_EQ(dialog.fieldAtStart, "COM4");
  EXPECT_EQ(dialog.listedPorts, static_cast<int>(EnumerateComPorts().size()));
  EXPECT_TRUE(dialog.hadBigIcon);
  EXPECT_TRUE(dialog.messages.empty());
}

TEST(ComSelectorDlg, OkWithBlanksAsksForANameAndStaysOpen) {
  ScriptedSelectorDlg dialog;
  dialog.typed = {" \t ", "COM2"};
  EXPECT_EQ(dialog.DoModal(::GetModuleHandleW(nullptr), nullptr), IDOK);
  ASSERT_EQ(dialog.messages.size(), 1u);
  EXPECT_EQ(dialog.messages[0], L"Укажите имя порта!");
  EXPECT_EQ(dialog.messageTypes[0] & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(dialog.focusOnComboAfterMessage);
  EXPECT_EQ(dialog.GetPortName(), "COM2");
}

// Network addresses are taken as the program writes them; what names no
// port is refused with its reason, and the dialog stays open.
TEST(ComSelectorDlg, AddressesAreTakenAndBadOnesRefusedWithTheReason) {
  ScriptedSelectorDlg dialog;
  dialog.typed = {"tcp://host", "udp://h:1", "COM0", "RFC2217://[::1]:2217"};
  EXPECT_EQ(dialog.DoModal(::GetModuleHandleW(nullptr), nullptr), IDOK);
  EXPECT_EQ(dialog.GetPortName(), "rfc2217://[::1]:2217");
  const std::pair<const char*, int> refused[] = {{"tcp://host", IDS_ADDRESS_BAD_PORT_NUMBER},
                                                 {"udp://h:1", IDS_ADDRESS_UNKNOWN_SCHEME},
                                                 {"COM0", IDS_ADDRESS_BAD_COM_NUMBER}};
  ASSERT_EQ(dialog.messages.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(dialog.messages[i], FormatText(BText(IDS_BAD_PORT_ADDRESS,
                                                   {refused[i].first, BText(refused[i].second)})));
  EXPECT_TRUE(dialog.focusOnComboAfterMessage);

  // Wine tells nothing of the adapters: the list is the ports' names, as before.
  std::vector<BPresentPort> present = EnumeratePresentPorts();
  std::vector<std::string> names = EnumerateComPorts();
  ASSERT_EQ(present.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(present[i].name, names[i]);
    EXPECT_EQ(PortDisplayName(present[i]), names[i]);
  }
}

TEST(ComSelectorDlg, CancelAndCloseEndWithCancel) {
  ScriptedSelectorDlg cancelled;
  cancelled.SetPortName("COM3");
  cancelled.typed = {""};
  EXPECT_EQ(cancelled.DoModal(::GetModuleHandleW(nullptr), nullptr), IDCANCEL);
  EXPECT_EQ(cancelled.GetPortName(), "COM3");

  ScriptedSelectorDlg closed;
  closed.typed = {};  // WM_CLOSE at once
  EXPECT_EQ(closed.DoModal(::GetModuleHandleW(nullptr), nullptr), IDCANCEL);
  EXPECT_EQ(closed.GetPortName(), "COM1");
}

}  // namespace
