// The main window against the siren emulator: connecting at start-up, the
// failures the user can meet, and whole read and write jobs compared byte by
// byte with what the emulator keeps.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

#include "emulator/siren_state.h"
#include "emulator_process.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

const int kPort = 6;
const char kPortName[] = "COM6";

class MainWindowLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    ASSERT_FALSE(EmulatorProcess::ExecutablePath().empty()) << "SIRELTA_EMULATOR is not set";
  }
  void TearDown() override {
    window.reset();
    emulator.Stop();
    DeleteSettingsKey();
  }

  void StartEmulator(std::vector<std::string> options) {
    ASSERT_TRUE(emulator.Start(kPort, options)) << emulator.ErrorText();
  }
  // A new window that connects to kPortName at start, as the program does.
  void StartWindow(const char* port = kPortName) {
    window.reset(new TestMainDlg());
    WriteSettingsValue("Port", REG_SZ, port, static_cast<DWORD>(strlen(port) + 1));
    window->connectAllowed = true;
    ASSERT_TRUE(window->Start());
  }
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    return PumpMessagesUntil(done, timeoutMs);
  }
  bool WaitForStatus(const std::wstring& line, DWORD timeoutMs = 20000) {
    return PumpUntil([&] { return window->StatusCount() > 0 && window->StatusLine(0) == line; },
                     timeoutMs);
  }
  bool WaitForBox(const std::wstring& text, DWORD timeoutMs = 30000) {
    return PumpUntil([&] { return !window->boxes.empty() && window->boxes.back().text == text; },
                     timeoutMs);
  }
  void WaitConnected(int chips) {
    ASSERT_TRUE(WaitForStatus(FormatText(Text(IDS_SIREN_CONNECTED).c_str(), chips * 65535 / 1024)))
        << "top line: " << Narrow(window->StatusLine(0));
  }
  std::wstring MenuText(UINT item, UINT byPosition = MF_BYCOMMAND, HMENU menu = nullptr) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu != nullptr ? menu : ::GetMenu(window->GetHwnd()), item, text, 128,
                     byPosition);
    return text;
  }
  std::wstring ConnectionMenuPortCaption() {
    return MenuText(1, MF_BYPOSITION, ::GetSubMenu(::GetMenu(window->GetHwnd()), 2));
  }
  // A profile with three fragments of recognisable bytes, a playlist and a binding.
  void FillProfile(BProfile& profile) {
    const uint32_t starts[] = {0x0000, 0x1000, 0x8000};
    const uint32_t lengths[] = {300, 120, 700};
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> bytes(lengths[i]);
      for (uint32_t k = 0; k < lengths[i]; ++k) bytes[k] = static_cast<uint8_t>(k * (i + 3) + i);
      profile.PlaceFragment("f" + std::to_string(i), BMemRange{starts[i], lengths[i]}, bytes.data(),
                            lengths[i]);
    }
    profile.AppendPlaylistEntry(2);
    profile.AppendPlaylistEntry(0);
    profile.SetButton(1, 1);
  }

  int WriteThenRead(std::vector<std::string> options);

  EmulatorProcess emulator;
  std::unique_ptr<TestMainDlg> window;
};

TEST_F(MainWindowLinkTest, StartupConnectsToTheSiren) {
  StartEmulator({"--chips", "2"});
  StartWindow();
  WaitConnected(2);
  EXPECT_EQ(Text(IDS_DISCONNECT), MenuText(ID_CONNECT));
  EXPECT_EQ(FormatText(Text(IDS_PORT_MENU_CAPTION).c_str(), L"COM6"), ConnectionMenuPortCaption());
  EXPECT_FALSE(window->MenuGreyed(ID_READ_SIREN));
  EXPECT_TRUE(window->MenuGreyed(ID_ABORT));
  EXPECT_TRUE(window->ControlEnabled(IDC_PLAY_FRAGMENT_ON_SIREN));
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
  EXPECT_TRUE(window->boxes.empty());
  EXPECT_EQ("COM6", ReadSettingsString("Port"));

  window->Command(ID_CONNECT);
  EXPECT_EQ(Text(IDS_DISCONNECTED), window->StatusLine(0));
  EXPECT_EQ(Text(IDS_CONNECT), MenuText(ID_CONNECT));
  EXPECT_TRUE(window->MenuGreyed(ID_WRITE_SIREN));
}

TEST_F(MainWindowLinkTest, EveryChipCountGivesItsMemorySize) {
  for (int chips = 1; chips <= 4; ++chips) {
    SCOPED_TRACE(chips);
    StartEmulator({"--chips", std::to_string(chips)});
    StartWindow();
    WaitConnected(chips);
    EXPECT_EQ(chips, window->GetProfile().GetICCount());
    window.reset();
    emulator.Stop();
  }
}

TEST_F(MainWindowLinkTest, AnInvalidChipCountIsShownAndTheLinkStaysOpen) {
  StartEmulator({"--chips", "0"});
  StartWindow();
  std::wstring expected = FormatText(Text(IDS_BAD_MEMORY_SIZE).c_str(), 0);
  ASSERT_TRUE(WaitForBox(expected, 8000));
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), window->boxes.back().type);
  EXPECT_EQ(expected, window->StatusLine(0));
  EXPECT_EQ(Text(IDS_DISCONNECT), MenuText(ID_CONNECT));
  EXPECT_EQ(0, window->GetProfile().GetICCount());
}

TEST_F(MainWindowLinkTest, ASilentDeviceIsNotASiren) {
  StartEmulator({"--silent"});
  StartWindow();
  ASSERT_TRUE(WaitForBox(FormatText(Text(IDS_SIREN_NOT_RESPONDING).c_str(), L"COM6"), 8000));
  EXPECT_EQ(Text(IDS_DISCONNECTED), window->StatusLine(0));
  EXPECT_EQ(Text(IDS_CONNECT), MenuText(ID_CONNECT));
  EXPECT_EQ(BLinkState::Disconnected, window->Link().GetState());
}

TEST_F(MainWindowLinkTest, AMissingPortIsReportedAtStart) {
  StartWindow("COM77");
  ASSERT_EQ(1u, window->boxes.size());
  std::wstring prefix = FormatText(Text(IDS_PORT_OPEN_FAILED).c_str(), L"COM77", L"");
  EXPECT_EQ(0u, window->boxes[0].text.find(prefix));
  EXPECT_GT(window->boxes[0].text.size(), prefix.size()) << "the system's reason follows";
  EXPECT_EQ(0u, window->StatusLine(0).find(
                    FormatText(Text(IDS_PORT_OPEN_FAILED_STATUS).c_str(), L"COM77", L"")));
}

// Writes FillProfile into a siren started with `options` (plus a state file),
// checks what the siren keeps, then reads it into a new window and checks the
// profile. Returns the time-outs the two windows met.
int MainWindowLinkTest::WriteThenRead(std::vector<std::string> options) {
  // The emulator is a Linux program: it gets the Unix path, the test the DOS one.
  std::string state = UnixScratchPath("siren", ".state");
  std::string stateDosPath = "Z:" + state;
  ::DeleteFileA(stateDosPath.c_str());
  options.insert(options.end(), {"--chips", "2", "--state", state});
  std::wstring notResponding = FormatText(Text(IDS_SIREN_NOT_RESPONDING).c_str(), L"COM6");
  int timeouts = 0;
  auto countTimeouts = [&] {
    for (const TestMainDlg::Box& box : window->boxes) timeouts += box.text == notResponding;
  };
  StartEmulator(options);
  StartWindow();
  WaitConnected(2);
  FillProfile(window->GetProfile());
  window->answers = {IDYES};  // write the memory too
  window->Command(ID_WRITE_SIREN);
  EXPECT_TRUE(window->MenuGreyed(ID_FILE_OPEN)) << "no profile commands during a job";
  EXPECT_TRUE(WaitForBox(TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), 1120))));
  EXPECT_EQ(Text(IDS_WRITE_MEMORY_PROMPT), window->boxes[0].text);
  EXPECT_TRUE(window->GetProfile().GetFragment(2).synced);
  EXPECT_FALSE(window->MenuGreyed(ID_FILE_OPEN));
  countTimeouts();

  BProfile written;
  FillProfile(written);
  window.reset();
  EXPECT_TRUE(emulator.Stop());
  BSirenState siren;
  EXPECT_TRUE(siren.Load(stateDosPath)) << siren.GetErrorText();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(written.GetFragment(i).start, siren.fragments[i].start);
    EXPECT_EQ(written.GetFragment(i).length, siren.fragments[i].length);
  }
  EXPECT_TRUE(siren.IsEntryEmpty(3));
  EXPECT_EQ(2, siren.playlist[0]);
  EXPECT_EQ(0, siren.playlist[1]);
  EXPECT_EQ(255, siren.playlist[2]);
  EXPECT_EQ(1, siren.buttons[1]);
  EXPECT_TRUE(std::equal(siren.memory.begin(), siren.memory.end(), written.Image()))
      << "the siren's memory equals the profile's image";

  StartEmulator(options);
  StartWindow();
  WaitConnected(2);
  window->answers = {IDYES};  // read the memory too
  window->Command(ID_READ_SIREN);
  EXPECT_TRUE(WaitForBox(Text(IDS_READ_COMPLETE)));
  BProfile& read = window->GetProfile();
  EXPECT_EQ(Narrow(FormatText(Text(IDS_FRAGMENT_DEFAULT_NAME).c_str(), 3)),
            read.GetFragment(2).name);
  EXPECT_TRUE(std::equal(written.Image(), written.Image() + kImageSize, read.Image()));
  EXPECT_EQ(2, read.GetPlaylistEntry(0));
  EXPECT_EQ(1, read.GetButton(1));
  EXPECT_TRUE(read.IsPlaylistSynced());
  EXPECT_TRUE(window->IsModified());
  countTimeouts();
  window.reset();
  emulator.Stop();
  ::DeleteFileA(stateDosPath.c_str());
  return timeouts;
}

TEST_F(MainWindowLinkTest, WriteThenReadMovesEveryByte) { EXPECT_EQ(0, WriteThenRead({})); }

// Frame-like garbage before a fifth of the replies, some of them cut in two:
// every reply is still found, so the jobs run through without a time-out.
TEST_F(MainWindowLinkTest, WriteThenReadThroughFrameLikeGarbage) {
  std::string log = UnixScratchPath("garbage", ".log");
  int timeouts = WriteThenRead({"--garbage", "20", "--noise", "4:30", "--seed", "5", "--log", log});
  // The log of the read run (the emulator writes it anew for each run).
  int bursts = 0;
  std::ifstream lines("Z:" + log);
  for (std::string line; std::getline(lines, line);)
    bursts += line.find("FAULT garbage") != std::string::npos;
  lines.close();
  ::DeleteFileA(("Z:" + log).c_str());
  std::printf("[          ] time-outs: %d; garbage bursts in the read run: %d\n", timeouts, bursts);
  EXPECT_EQ(0, timeouts);
  EXPECT_GT(bursts, 150) << "about a fifth of some 1160 replies";
}

// Every 300th reply comes twice: the copy answers no request, so it is
// dropped, and every byte lands where it belongs.
TEST_F(MainWindowLinkTest, WriteThenReadThroughRepeatedReplies) {
  EXPECT_EQ(0, WriteThenRead({"--repeat-reply", "/300"}));
}

// Another device on the port that keeps sending, noise or frames, and never
// answers: the request it holds up times out within a few seconds.
TEST_F(MainWindowLinkTest, ADeviceThatTalksWithoutAnsweringTimesOut) {
  for (const char* chatter : {"noise:8:500", "detect:1000"}) {
    SCOPED_TRACE(chatter);
    StartEmulator({"--chatter", chatter});
    DWORD start = ::GetTickCount();
    StartWindow();
    ASSERT_TRUE(WaitForBox(FormatText(Text(IDS_SIREN_NOT_RESPONDING).c_str(), L"COM6"), 10000));
    DWORD elapsed = ::GetTickCount() - start;
    std::printf("[          ] %s: the time-out came after %lu ms\n", chatter,
                static_cast<unsigned long>(elapsed));
    EXPECT_LT(elapsed, 6000u);
    EXPECT_EQ(BLinkState::Disconnected, window->Link().GetState());
    window.reset();
    emulator.Stop();
  }
}

TEST_F(MainWindowLinkTest, ARefusedTableEntryCanBeRetriedOrEndTheJob) {
  StartEmulator(
      {"--chips", "1", "--refuse-table", "fragment:3:1:1", "--refuse-table", "playlist:1:2"});
  StartWindow();
  WaitConnected(1);
  FillProfile(window->GetProfile());
  window->answers = {IDYES, IDNO,
                     IDNO};  // retry fragment 3; skip playlist entry 1; no memory phase
  window->Command(ID_WRITE_SIREN);
  std::wstring reason = Text(IDS_BAD_FRAGMENT_INDEX);
  ASSERT_TRUE(WaitForBox(Text(IDS_WRITE_MEMORY_PROMPT)));
  ASSERT_EQ(3u, window->boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_FRAGMENT_WRITE_RETRY_PROMPT).c_str(), 3, reason.c_str()),
            window->boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONWARNING), window->boxes[0].type);
  EXPECT_EQ(FormatText(Text(IDS_PLAYLIST_WRITE_RETRY_PROMPT).c_str(), 1, reason.c_str()),
            window->boxes[1].text);
  // The tables are read back: the skipped position is named, and neither the
  // playlist nor a fragment whose bytes were not written is in step.
  std::wstring refused = FormatText(Text(IDS_PLAYLIST_ENTRY_REFUSED).c_str(), 1, 2, L"");
  ASSERT_TRUE(WaitForBox(FormatText(Text(IDS_WRITE_TABLES_DIFFER).c_str(),
                                    Text(IDS_WRITE_COMPLETE).c_str(), refused.c_str())))
      << Narrow(window->boxes.back().text);
  EXPECT_TRUE(window->GetProfile().GetFragment(3).synced) << "the retried empty entry was stored";
  EXPECT_FALSE(window->GetProfile().GetFragment(2).synced) << "its bytes were not written";
  EXPECT_FALSE(window->GetProfile().IsPlaylistSynced()) << "a position was skipped";
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());

  window->Command(ID_CONNECT);
  emulator.Stop();
  StartEmulator({"--chips", "1", "--refuse-table", "button:*:255"});
  window->boxes.clear();
  window->Command(ID_CONNECT);
  WaitConnected(1);
  window->answers = {IDCANCEL};
  window->Command(ID_WRITE_SIREN);
  std::wstring unavailable = Text(IDS_MEMORY_UNAVAILABLE);
  ASSERT_TRUE(
      WaitForBox(FormatText(Text(IDS_BUTTON_WRITE_RETRY_PROMPT).c_str(), 0, unavailable.c_str())));
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
  EXPECT_FALSE(window->MenuGreyed(ID_WRITE_SIREN));
  EXPECT_FALSE(window->MenuGreyed(ID_FILE_SAVE));
}

TEST_F(MainWindowLinkTest, ARefusedMemoryByteDisconnects) {
  StartEmulator({"--chips", "1", "--refuse-address", "0x1005"});
  StartWindow();
  WaitConnected(1);
  FillProfile(window->GetProfile());
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  std::wstring reason = FormatText(Text(IDS_WRITE_ADDRESS_FAILED).c_str(), 0x1005);
  ASSERT_TRUE(
      WaitForBox(FormatText(Text(IDS_PORT_ACCESS_FAILED).c_str(), L"COM6", reason.c_str())));
  EXPECT_EQ(BLinkState::Disconnected, window->Link().GetState());
  EXPECT_EQ(Text(IDS_CONNECT), MenuText(ID_CONNECT));
  EXPECT_FALSE(window->MenuGreyed(ID_FILE_NEW));
}

TEST_F(MainWindowLinkTest, AbortStopsTheMemoryPhase) {
  StartEmulator({"--chips", "1", "--delay", "2"});
  StartWindow();
  WaitConnected(1);
  std::vector<uint8_t> bytes(3000, 0x11);
  window->GetProfile().PlaceFragment("long", BMemRange{0, 3000}, bytes.data(), 3000);
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  HWND progress = window->GetItem(IDC_PROGRESS);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(progress, PBM_GETPOS, 0, 0) > 50; }, 20000));
  EXPECT_FALSE(window->MenuGreyed(ID_ABORT));
  window->answers = {IDYES};
  window->Command(ID_ABORT);
  EXPECT_EQ(Text(IDS_ABORTED), window->StatusLine(0));
  PumpUntil([] { return false; }, 300);  // the late reply arrives and is ignored
  EXPECT_EQ(Text(IDS_ABORTED), window->StatusLine(0));
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
  EXPECT_EQ(Text(IDS_ABORT_PROMPT), window->boxes.back().text) << "no completion message";
  EXPECT_TRUE(window->MenuGreyed(ID_ABORT));
  EXPECT_FALSE(window->MenuGreyed(ID_READ_SIREN));
}

// A write as fast as the line goes (the emulator answers at once): one second
// in, the user presses Ctrl+T, and the question comes within half a second.
// The keys go through the system's input queue and the window's accelerators,
// which are served only after the posted messages, as in the program's loop.
TEST_F(MainWindowLinkTest, AbortKeyIsAnsweredDuringAFastWrite) {
  StartEmulator({"--chips", "1"});
  StartWindow();
  WaitConnected(1);
  std::vector<uint8_t> bytes(30000, 0x5A);
  window->GetProfile().PlaceFragment("long", BMemRange{0, 30000}, bytes.data(), 30000);
  HWND hwnd = window->GetHwnd();
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetForegroundWindow(hwnd);
  ::SetFocus(hwnd);
  // The program's message loop: the window's accelerators first.
  auto pump = [&](const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!done() && ::GetTickCount() - start < timeoutMs) {
      MSG message;
      if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        continue;
      }
      if (window->PreTranslateMessage(&message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    return done();
  };
  window->answers = {IDYES};  // write the memory
  window->Command(ID_WRITE_SIREN);
  HWND progress = window->GetItem(IDC_PROGRESS);
  ASSERT_TRUE(pump([&] { return window->Link().GetState() == BLinkState::WritingMemory; }, 10000));
  pump([] { return false; }, 1000);
  ASSERT_EQ(BLinkState::WritingMemory, window->Link().GetState()) << "the write is long enough";
  int before = static_cast<int>(::SendMessageW(progress, PBM_GETPOS, 0, 0));

  window->answers = {IDYES};  // abort
  size_t boxes = window->boxes.size();
  INPUT keys[4] = {};
  for (INPUT& key : keys) key.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[3].ki.wVk = VK_CONTROL;
  keys[1].ki.wVk = keys[2].ki.wVk = 'T';
  keys[2].ki.dwFlags = keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  DWORD pressed = ::GetTickCount();
  ASSERT_EQ(4u, ::SendInput(4, keys, sizeof(INPUT)));
  bool asked = pump(
      [&] {
        return window->boxes.size() > boxes && window->boxes.back().text == Text(IDS_ABORT_PROMPT);
      },
      20000);
  DWORD answeredMs = ::GetTickCount() - pressed;
  std::printf("[          ] the abort question came %lu ms after the key, at byte %d\n",
              static_cast<unsigned long>(answeredMs), before);
  ASSERT_TRUE(asked) << "the accelerator never reached the window";
  EXPECT_LE(answeredMs, 500u);
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
  EXPECT_EQ(Text(IDS_ABORTED), window->StatusLine(0));
}

TEST_F(MainWindowLinkTest, ClosingTheProgramDuringAJobEndsCleanly) {
  StartEmulator({"--chips", "1", "--delay", "2"});
  StartWindow();
  WaitConnected(1);
  std::vector<uint8_t> bytes(3000, 0x22);
  window->GetProfile().PlaceFragment("long", BMemRange{0, 3000}, bytes.data(), 3000);
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  HWND progress = window->GetItem(IDC_PROGRESS);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(progress, PBM_GETPOS, 0, 0) > 20; }, 20000));
  DWORD start = ::GetTickCount();
  window->Command(IDCANCEL, 0);  // the close box: nothing to save, the window goes
  EXPECT_EQ(nullptr, window->GetHwnd());
  EXPECT_LT(::GetTickCount() - start, 3000u) << "the worker stopped at once";
  PumpUntil([] { return false; }, 200);  // messages the worker posted before it stopped
  window.reset();
}

// While a write job runs, a dropped file imports nothing and leaves the
// controls as the job set them; the other profile commands are refused too.
TEST_F(MainWindowLinkTest, NothingChangesTheProfileDuringAJob) {
  StartEmulator({"--chips", "1", "--delay", "2"});
  StartWindow();
  WaitConnected(1);
  std::vector<uint8_t> bytes(3000, 0x33);
  window->GetProfile().PlaceFragment("long", BMemRange{0, 3000}, bytes.data(), 3000);
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  HWND progress = window->GetItem(IDC_PROGRESS);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(progress, PBM_GETPOS, 0, 0) > 20; }, 20000));
  ScratchFolder folder;
  std::string sound = folder.Path("dropped.wav");
  WriteWave(sound, 9765, std::vector<uint8_t>(500, 0x90));
  window->DropFiles({sound});
  EXPECT_EQ(1, window->GetProfile().CountFragments());
  EXPECT_EQ(Text(IDS_PROFILE_HELD_BY_JOB), window->StatusLine(0));
  EXPECT_FALSE(window->ControlEnabled(IDC_ADD_FRAGMENT));
  EXPECT_FALSE(window->ControlEnabled(IDC_PLAY_PAUSE));
  EXPECT_TRUE(window->MenuGreyed(ID_AMPLIFY));
  window->Command(ID_DEFRAGMENT);
  window->Command(ID_FILE_NEW);
  EXPECT_EQ(1, window->GetProfile().CountFragments());
  EXPECT_EQ(0u, window->GetProfile().GetFragment(0).start);
  window->answers = {IDYES};
  window->Command(ID_ABORT);
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
}

// Exit, Yes, and the save is cancelled: the window stays, and so does the
// siren. Saved, the window closes.
TEST_F(MainWindowLinkTest, ExitKeepsTheSirenUntilTheWindowCloses) {
  StartEmulator({"--chips", "1"});
  StartWindow();
  WaitConnected(1);
  window->SetModified(true);
  window->answers = {IDYES};
  window->savePaths = {""};
  window->Command(ID_APP_EXIT);
  ASSERT_NE(nullptr, window->GetHwnd());
  EXPECT_TRUE(window->Connected());
  EXPECT_EQ(BLinkState::Idle, window->Link().GetState());
  EXPECT_EQ(Text(IDS_DISCONNECT), MenuText(ID_CONNECT));

  ScratchFolder folder;
  window->answers = {IDYES};
  window->savePaths = {folder.Path("kept.zpf")};
  window->Command(ID_APP_EXIT);
  EXPECT_EQ(nullptr, window->GetHwnd());
  EXPECT_TRUE(FileExists(folder.Path("kept.zpf")));
  EXPECT_FALSE(window->Connected());
}

}  // namespace
