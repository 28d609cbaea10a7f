// Write changes, Verify and the check after a write in the main window against
// the siren emulator, counted in the emulator's log and compared with the
// memory it keeps; and a fragment exported as a WAVE file and imported back.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

#include "emulator/siren_state.h"
#include "emulator_process.h"
#include "model/model_string_ids.h"
#include "panels_check.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

const int kPort = 7;
const char kPortName[] = "COM7";
const int kPlanBytes = 300 + 120 + 700;

// Three fragments of recognisable bytes (no 0xFF among the first 600 of each).
void FillProfile(BProfile& profile) {
  const uint32_t starts[] = {0x0000, 0x1000, 0x8000};
  const uint32_t lengths[] = {300, 120, 700};
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> bytes(lengths[i]);
    for (uint32_t k = 0; k < lengths[i]; ++k)
      bytes[k] = static_cast<uint8_t>((k * (i + 3) + i) % 97);
    profile.PlaceFragment("f" + std::to_string(i), BMemRange{starts[i], lengths[i]}, bytes.data(),
                          lengths[i]);
  }
  profile.AppendPlaylistEntry(2);
  profile.SetButton(1, 1);
}

class MainWindowSirenExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    ASSERT_FALSE(EmulatorProcess::ExecutablePath().empty()) << "SIRELTA_EMULATOR is not set";
    logPath = UnixScratchPath("extras", ".log");
    statePath = UnixScratchPath("extras", ".state");
    ::DeleteFileA(("Z:" + statePath).c_str());
  }
  void TearDown() override {
    window.reset();
    emulator.Stop();
    ::DeleteFileA(("Z:" + logPath).c_str());
    ::DeleteFileA(("Z:" + statePath).c_str());
    DeleteSettingsKey();
  }

  void StartEmulator(std::vector<std::string> options) {
    options.insert(options.end(), {"--log", logPath, "--state", statePath});
    ASSERT_TRUE(emulator.Start(kPort, options)) << emulator.ErrorText();
  }
  // The window starts with FillProfile loaded (so that the lists show it) and
  // connects to the emulator.
  void StartWindow(int chips) {
    BProfile profile;
    FillProfile(profile);
    std::string path = folder.Path("extras.zpf");
    ASSERT_TRUE(profile.Save(path));
    WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    WriteSettingsValue("Port", REG_SZ, kPortName, static_cast<DWORD>(strlen(kPortName) + 1));
    window.reset(new TestMainDlg());
    window->connectAllowed = true;
    ASSERT_TRUE(window->Start());
    std::wstring connected =
        chips > 0 ? FormatText(Text(IDS_SIREN_CONNECTED).c_str(), chips * 65535 / 1024)
                  : FormatText(Text(IDS_BAD_MEMORY_SIZE).c_str(), 0);
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return window->StatusCount() > 0 && window->StatusLine(0) == connected; }, 20000));
  }
  bool WaitForBox(const std::wstring& text, DWORD timeoutMs = 30000) {
    return PumpMessagesUntil(
        [&] { return !window->boxes.empty() && window->boxes.back().text == text; }, timeoutMs);
  }
  // A whole Write, checked as by default: every byte of it read back as sent.
  void WriteAll() {
    window->answers = {IDYES};
    window->Command(ID_WRITE_SIREN);
    ASSERT_TRUE(
        WaitForBox(TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kPlanBytes))));
  }
  bool LogHas(const std::string& text) {
    std::ifstream lines("Z:" + logPath);
    for (std::string line; std::getline(lines, line);)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  // Memory writes the emulator received so far.
  int ByteWritesInLog() {
    std::ifstream lines("Z:" + logPath);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
      count +=
          line.find("RX ") != std::string::npos && line.find("write byte") != std::string::npos;
    return count;
  }
  // What the emulator keeps, once it has stopped.
  bool SirenMemory(BSirenState& siren) {
    window.reset();
    EXPECT_TRUE(emulator.Stop());
    return siren.Load("Z:" + statePath);
  }

  ScratchFolder folder;
  EmulatorProcess emulator;
  std::unique_ptr<TestMainDlg> window;
  std::string logPath;
  std::string statePath;
};

TEST_F(MainWindowSirenExtrasTest, AfterAnAmplificationWriteChangesSendsOnlyTheChangedBytes) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "2"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(2));
  EXPECT_FALSE(window->MenuGreyed(ID_WRITE_CHANGES));
  EXPECT_FALSE(window->MenuGreyed(ID_VERIFY_SIREN));
  ASSERT_NO_FATAL_FAILURE(WriteAll());
  const int planBytes = kPlanBytes;
  EXPECT_EQ(planBytes, ByteWritesInLog());

  window->Command(ID_VERIFY_SIREN);
  EXPECT_TRUE(window->MenuGreyed(ID_WRITE_CHANGES)) << "no siren command during a job";
  ASSERT_TRUE(WaitForBox(Text(IDS_SIREN_HOLDS_PROFILE)));
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), window->boxes.back().type);

  // Amplify bytes 100..199 of the third fragment (at 0x8000) through the window.
  BProfile& profile = window->GetProfile();
  std::vector<uint8_t> before(profile.Image(), profile.Image() + kImageSize);
  HWND fragments = window->GetItem(IDC_FRAGMENT_LIST);
  LVITEMW item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(fragments, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&item));
  NMITEMACTIVATE click = {};
  click.hdr.hwndFrom = fragments;
  click.hdr.idFrom = IDC_FRAGMENT_LIST;
  click.hdr.code = NM_DBLCLK;
  ::SendMessageW(window->GetHwnd(), WM_NOTIFY, IDC_FRAGMENT_LIST, reinterpret_cast<LPARAM>(&click));
  HWND trackbar = window->GetItem(IDC_TRACKBAR);
  ::SendMessageW(trackbar, TBM_SETPOS, TRUE, 100);
  window->Command(ID_MARK_RANGE_START);
  ::SendMessageW(trackbar, TBM_SETPOS, TRUE, 200);
  window->Command(ID_MARK_RANGE_END);
  window->gains = {50};
  window->Command(ID_AMPLIFY);
  int changed = 0;
  for (uint32_t a = 0; a < kImageSize; ++a) {
    if (profile.Image()[a] == before[a]) continue;
    ++changed;
    EXPECT_TRUE(a >= 0x8000 + 100 && a < 0x8000 + 200) << a;
  }
  ASSERT_GT(changed, 80) << "most of the range changed";

  window->boxes.clear();
  window->answers = {IDYES};
  window->Command(ID_WRITE_CHANGES);
  ASSERT_TRUE(
      WaitForBox(TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), changed))));
  EXPECT_EQ(FormatText(Text(IDS_WRITE_CHANGES_PROMPT).c_str(), changed, planBytes),
            window->boxes[0].text);
  EXPECT_EQ(planBytes + changed, ByteWritesInLog()) << "only the changed bytes went";

  // Nothing left to send: a line in the log and no question.
  window->boxes.clear();
  window->Command(ID_WRITE_CHANGES);
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return window->StatusLine(0) == Text(IDS_TABLES_MATCH_STATUS); }, 10000));
  bool said = false;
  for (int i = 0; i < window->StatusCount(); ++i)
    said = said || window->StatusLine(i) == Text(IDS_SIREN_MEMORY_MATCHES);
  EXPECT_TRUE(said);
  EXPECT_TRUE(window->boxes.empty());
  EXPECT_EQ(planBytes + changed, ByteWritesInLog());

  std::vector<uint8_t> image(profile.Image(), profile.Image() + kImageSize);
  BSirenState siren;
  ASSERT_TRUE(SirenMemory(siren)) << siren.GetErrorText();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), siren.memory.begin()))
      << "the siren's memory equals the profile";
}

// Cells that answer a write with status 0 but keep their old value (0xFF):
// the check after the write and Verify both find exactly them.
TEST_F(MainWindowSirenExtrasTest, TheCheckAndVerifyFindTheCellsThatDidNotTakeTheWrite) {
  ASSERT_NO_FATAL_FAILURE(
      StartEmulator({"--chips", "1", "--bad-cell", "0x1005", "--bad-cell", "0x1010-0x1012"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  EXPECT_NE(0u, ::GetMenuState(::GetMenu(window->GetHwnd()), ID_VERIFY_AFTER_WRITE, MF_BYCOMMAND) &
                    MF_CHECKED)
      << "the check after a write is on by default";
  EXPECT_EQ("1", ReadSettingsString("Verify"));
  std::vector<uint8_t> image(window->GetProfile().Image(),
                             window->GetProfile().Image() + kImageSize);

  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  std::wstring checked =
      TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECK_FAILED).c_str(), kPlanBytes, 4, 0x1005));
  ASSERT_TRUE(WaitForBox(checked)) << Narrow(window->boxes.back().text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), window->boxes.back().type);

  window->Command(ID_VERIFY_SIREN);
  std::wstring fragment =
      FormatText(Text(IDS_FRAGMENT_BYTES_DIFFER).c_str(), 1, L"f1", 4, 0x1005, L"");
  std::wstring report =
      FormatText(Text(IDS_SIREN_DIFFERS_FROM_PROFILE).c_str(), L"", fragment.c_str());
  ASSERT_TRUE(WaitForBox(report)) << Narrow(window->boxes.back().text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), window->boxes.back().type);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), window->GetProfile().Image()))
      << "Verify changes nothing in the profile";
  EXPECT_FALSE(window->IsModified());

  window->Command(ID_VERIFY_AFTER_WRITE);
  EXPECT_EQ("0", ReadSettingsString("Verify"));
  EXPECT_EQ(0u, ::GetMenuState(::GetMenu(window->GetHwnd()), ID_VERIFY_AFTER_WRITE, MF_BYCOMMAND) &
                    MF_CHECKED);
}

// A whole fragment whose cells take no write: without the check after a
// write, the sample that ends the write names its first address.
TEST_F(MainWindowSirenExtrasTest, TheSampleAfterAWriteFindsAFragmentOfStuckCells) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "1", "--bad-cell", "0x1000-0x1077"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  window->Command(ID_VERIFY_AFTER_WRITE);
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  std::wstring start = Text(IDS_WRITE_COMPLETE_SAMPLE_FAILED);
  start = start.substr(0, start.find(L'('));
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return !window->boxes.empty() && window->boxes.back().text.find(start) == 0; }, 30000));
  // The sample is drawn at random: the first address it found lies in the fragment.
  EXPECT_NE(std::wstring::npos, window->boxes.back().text.find(L"0x010"))
      << Narrow(window->boxes.back().text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), window->boxes.back().type);
}

// The cable moves to another siren while the port stays open: Write changes
// finds out from its sample and writes the whole profile, which the check
// then reads back from the new siren.
TEST_F(MainWindowSirenExtrasTest, WriteChangesAfterASwapWritesTheWholeProfile) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "2"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(2));
  ASSERT_NO_FATAL_FAILURE(WriteAll());
  emulator.SwapSiren();
  ASSERT_TRUE(PumpMessagesUntil([&] { return LogHas("FAULT swap"); }, 5000));
  window->boxes.clear();
  window->answers = {IDYES};
  window->Command(ID_WRITE_CHANGES);
  ASSERT_TRUE(
      WaitForBox(TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kPlanBytes))));
  EXPECT_EQ(FormatText(Text(IDS_WRITE_CHANGES_PROMPT).c_str(), kPlanBytes, kPlanBytes),
            window->boxes[0].text);
  std::wstring why = Text(IDS_SIREN_NOT_AS_KNOWN);
  why = why.substr(0, why.find(L'('));
  bool said = false;
  for (int i = 0; i < window->StatusCount(); ++i)
    said = said || window->StatusLine(i).find(why) == 0;
  EXPECT_TRUE(said) << "the log says why everything was sent";
}

// A siren that reports no memory: Verify says that the memory was not compared.
TEST_F(MainWindowSirenExtrasTest, WithoutAMemorySizeNothingIsCalledAMatch) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "0"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(0));
  window->Command(ID_VERIFY_SIREN);
  std::wstring notCompared = FormatText(Text(IDS_MEMORY_NOT_COMPARED).c_str(), L"");
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return window->boxes.back().text.find(notCompared) != std::wstring::npos; }, 30000))
      << Narrow(window->boxes.back().text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), window->boxes.back().type);
}

TEST(MainWindowExportTest, AnExportedFragmentImportsAsTheSameBytes) {
  DeleteSettingsKey();
  ScratchFolder folder;
  BProfile profile;
  std::vector<uint8_t> bytes(777);  // odd: the data chunk gets a pad byte
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + i / 256);
  profile.PlaceFragment("a/b: \"c\"", BMemRange{0x100, 777}, bytes.data(), 777);
  std::string profilePath = folder.Path("export.zpf");
  ASSERT_TRUE(profile.Save(profilePath));
  WriteSettingsValue("Profile", REG_SZ, profilePath.c_str(),
                     static_cast<DWORD>(profilePath.size() + 1));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  HWND fragments = window.GetItem(IDC_FRAGMENT_LIST);
  EXPECT_TRUE(window.MenuGreyed(ID_EXPORT_FRAGMENT)) << "nothing selected";
  LVITEMW item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(fragments, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_FALSE(window.MenuGreyed(ID_EXPORT_FRAGMENT));

  std::string wave = folder.Path("exported.wav");
  window.exportPaths = {wave};
  window.Command(ID_EXPORT_FRAGMENT);
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  ASSERT_EQ(1u, window.exportNames.size());
  EXPECT_EQ("a_b_ _c_.wav", window.exportNames[0]);
  std::vector<unsigned char> file = ReadWholeFile(wave);
  ASSERT_EQ(44u + 778u, file.size());
  EXPECT_EQ(0, memcmp(file.data(), "RIFF", 4));
  EXPECT_EQ(uint8_t(bytes[0] + 128), file[44]);

  window.audioPaths = {wave};
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  const BFragment& imported = window.GetProfile().GetFragment(1);
  ASSERT_EQ(777u, imported.length);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), window.GetProfile().Image() + imported.start))
      << "the same bytes came back";

  // A folder that is not there: the system's reason, and no file.
  window.exportPaths = {folder.Path("missing\\x.wav")};
  window.Command(ID_EXPORT_FRAGMENT);
  ASSERT_EQ(1u, window.boxes.size());
  std::wstring prefix = FormatText(Text(IDS_EXPORT_FAILED).c_str(),
                                   Widen(folder.Path("missing\\x.wav")).c_str(), L"");
  EXPECT_EQ(0u, window.boxes[0].text.find(prefix));
  EXPECT_GT(window.boxes[0].text.size(), prefix.size()) << "the system's text follows";
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), window.boxes[0].type);
  EXPECT_FALSE(FileExists(folder.Path("missing\\x.wav")));
  DeleteSettingsKey();
}

}  // namespace

// ---- What the siren holds, however the line and the sirens behave ---------

class MainWindowSirenTruthTest : public MainWindowSirenExtrasTest {
 protected:
  // A state file (Unix path) the emulator loads: FillProfile's tables and
  // image, then whatever `change` does to it.
  void WriteSirenState(const std::string& path,
                       const std::function<void(BSirenState&)>& change = {}) {
    BProfile profile;
    FillProfile(profile);
    BSirenState state;
    for (int i = 0; i < 3; ++i) {
      state.fragments[i].start = profile.GetFragment(i).start;
      state.fragments[i].length = profile.GetFragment(i).length;
    }
    state.playlist[0] = 2;
    state.buttons[1] = 1;
    std::copy(profile.Image(), profile.Image() + kImageSize, state.memory.begin());
    if (change) change(state);
    EXPECT_TRUE(state.Save("Z:" + path)) << state.GetErrorText();
  }
  void SelectFragment(int row) {
    LVITEMW item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(window->GetItem(IDC_FRAGMENT_LIST), LVM_SETITEMSTATE, row,
                   reinterpret_cast<LPARAM>(&item));
  }
  bool StatusHas(int id) {
    std::wstring text = Text(id);
    text = text.substr(0, text.find(L'%'));
    for (int i = 0; i < window->StatusCount(); ++i)
      if (window->StatusLine(i).find(text) == 0) return true;
    return false;
  }
  // Play on the siren: true when the program asked first (answered No).
  bool PlayAsks(UINT command, int prompt) {
    window->boxes.clear();
    window->answers = {IDNO};
    window->Command(command);
    PumpMessagesUntil([] { return false; }, 200);
    return !window->boxes.empty() && window->boxes[0].text == Text(prompt);
  }
};

// Version 2 goes to siren A; the cable moves to siren B, which holds version
// 1 (500 bytes inside one fragment differ): Write changes finds out from its
// random sample and leaves siren B equal to the profile.
TEST_F(MainWindowSirenTruthTest, AFleetUpdateReachesTheSimilarSiren) {
  std::string older = UnixScratchPath("older", ".state");
  WriteSirenState(older, [](BSirenState& state) {
    for (uint32_t a = 0x8000 + 100; a < 0x8000 + 600; ++a) state.memory[a] ^= 0x5A;
  });
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "2", "--other-state", older}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(2));
  ASSERT_NO_FATAL_FAILURE(WriteAll());
  emulator.SwapSiren();
  ASSERT_TRUE(PumpMessagesUntil([&] { return LogHas("FAULT swap"); }, 5000));
  window->boxes.clear();
  window->answers = {IDYES};
  window->Command(ID_WRITE_CHANGES);
  ASSERT_TRUE(
      WaitForBox(TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kPlanBytes))))
      << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
  std::vector<uint8_t> image(window->GetProfile().Image(),
                             window->GetProfile().Image() + kImageSize);
  BSirenState siren;
  ASSERT_TRUE(SirenMemory(siren)) << siren.GetErrorText();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), siren.memory.begin()))
      << "siren B holds the profile";
  ::DeleteFileA(("Z:" + older).c_str());
}

// Every thousandth read reply comes again, late, as the answer to the next
// request: the Read still gives the siren's bytes, and says what it read again.
TEST_F(MainWindowSirenTruthTest, ALateCopyOfEveryThousandthReadReplyShiftsNoByte) {
  BSirenState state;
  state.fragments[0].start = 0;
  state.fragments[0].length = 5000;
  for (uint32_t a = 0; a < 5000; ++a) state.memory[a] = static_cast<uint8_t>(a * 7 + a / 251);
  ASSERT_TRUE(state.Save("Z:" + statePath));
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "1", "--late-copy", "/1000"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  window->answers = {IDYES};
  window->Command(ID_READ_SIREN);
  ASSERT_TRUE(WaitForBox(Text(IDS_READ_COMPLETE), 60000))
      << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
  EXPECT_TRUE(LogHas("FAULT late copy"));
  EXPECT_TRUE(StatusHas(IDS_REREADING_SHIFTED));
  EXPECT_TRUE(
      std::equal(state.memory.begin(), state.memory.begin() + 5000, window->GetProfile().Image()));
}

// The siren acknowledges fragment entry 1 but keeps its old (empty) entry:
// the write's box names the fragment, which is not in step.
TEST_F(MainWindowSirenTruthTest, AnEntryTheSirenDidNotStoreIsNamed) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "2", "--lose-table", "fragment:1"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(2));
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  std::wstring memory = FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kPlanBytes);
  std::wstring entry = FormatText(Text(IDS_FRAGMENT_ENTRY_DIFFERS).c_str(), 1, L"f1", L"");
  ASSERT_TRUE(
      WaitForBox(FormatText(Text(IDS_WRITE_TABLES_DIFFER).c_str(), memory.c_str(), entry.c_str())))
      << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), window->boxes.back().type);
  EXPECT_FALSE(window->GetProfile().GetFragment(1).synced);
  EXPECT_TRUE(window->GetProfile().GetFragment(0).synced);
}

// One reply in 200 with a bit flipped on the way: every such exchange is
// sent again, and a write and a read of 20 000 bytes complete and agree.
TEST_F(MainWindowSirenTruthTest, ABadChecksumEveryTwoHundredthReplyIsSentAgain) {
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "1", "--flip-bit", "/200"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  BProfile& profile = window->GetProfile();
  std::vector<uint8_t> bytes(20000);
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(k * 31 + k / 97);
  ASSERT_EQ(3, profile.PlaceFragment("big", BMemRange{0xA000, 20000}, bytes.data(), 20000));
  std::vector<uint8_t> image(profile.Image(), profile.Image() + kImageSize);
  window->answers = {IDYES};
  window->Command(ID_WRITE_SIREN);
  ASSERT_TRUE(WaitForBox(
      TablesMatch(FormatText(Text(IDS_WRITE_COMPLETE_CHECKED).c_str(), kPlanBytes + 20000)),
      120000))
      << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
  EXPECT_TRUE(StatusHas(IDS_REQUESTS_RETRIED));
  window->answers = {IDYES};
  window->Command(ID_READ_SIREN);
  ASSERT_TRUE(WaitForBox(Text(IDS_READ_COMPLETE), 120000))
      << (window->boxes.empty() ? "" : Narrow(window->boxes.back().text));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), window->GetProfile().Image()));
  EXPECT_TRUE(StatusHas(IDS_REQUESTS_RETRIED));
  EXPECT_TRUE(LogHas("FAULT flip"));
}

// Play on the siren asks while the siren is not known to hold what plays:
// after a Read whose memory phase was declined, and after a cut.
TEST_F(MainWindowSirenTruthTest, PlayOnTheSirenAsksUnlessTheSirenHoldsIt) {
  WriteSirenState(statePath);
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "1"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  window->answers = {IDNO};  // no memory phase
  window->Command(ID_READ_SIREN);
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return window->Link().GetState() == BLinkState::Idle; }, 10000));
  SelectFragment(0);
  EXPECT_TRUE(PlayAsks(ID_PLAY_FRAGMENT_ON_SIREN, IDS_FRAGMENT_NOT_SYNCED_PROMPT));
  EXPECT_TRUE(PlayAsks(ID_PLAY_PLAYLIST_ON_SIREN, IDS_PLAYLIST_NOT_SYNCED_PROMPT))
      << "its fragment is not known on the siren";

  window->answers = {IDYES};
  window->Command(ID_READ_SIREN);
  ASSERT_TRUE(WaitForBox(Text(IDS_READ_COMPLETE)));
  SelectFragment(0);
  EXPECT_FALSE(PlayAsks(ID_PLAY_FRAGMENT_ON_SIREN, IDS_FRAGMENT_NOT_SYNCED_PROMPT));
  EXPECT_FALSE(PlayAsks(ID_PLAY_PLAYLIST_ON_SIREN, IDS_PLAYLIST_NOT_SYNCED_PROMPT));
  BProfile& profile = window->GetProfile();
  ASSERT_TRUE(profile.DeleteRange(2, profile.GetFragment(2).start + 10, 20));
  SelectFragment(2);
  EXPECT_TRUE(PlayAsks(ID_PLAY_FRAGMENT_ON_SIREN, IDS_FRAGMENT_NOT_SYNCED_PROMPT));
  EXPECT_TRUE(PlayAsks(ID_PLAY_PLAYLIST_ON_SIREN, IDS_PLAYLIST_NOT_SYNCED_PROMPT));
}

// A binding and a playlist entry that name an empty slot on the siren are
// removed by the Read: the panels and the saved file say unused.
TEST_F(MainWindowSirenTruthTest, AReadDropsReferencesToEmptySlots) {
  WriteSirenState(statePath, [](BSirenState& state) {
    state.buttons[2] = 5;  // slot 5 holds no fragment
    state.playlist[1] = 5;
    state.playlist[2] = 0;
  });
  ASSERT_NO_FATAL_FAILURE(StartEmulator({"--chips", "1"}));
  ASSERT_NO_FATAL_FAILURE(StartWindow(1));
  window->answers = {IDNO};
  window->Command(ID_READ_SIREN);
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return window->Link().GetState() == BLinkState::Idle; }, 10000));
  BProfile& profile = window->GetProfile();
  EXPECT_EQ(kNone, profile.GetButton(2));
  EXPECT_EQ(2, profile.GetPlaylistEntry(0));
  EXPECT_EQ(0, profile.GetPlaylistEntry(1)) << "the later entry moved up";
  EXPECT_TRUE(PanelsMatchProfile(*window));
  EXPECT_TRUE(StatusHas(IDS_DANGLING_REFERENCES_DROPPED));
  std::string saved = folder.Path("read.zpf");
  window->savePaths = {saved};
  window->Command(ID_FILE_SAVE_AS);
  BProfile reloaded;
  ASSERT_TRUE(reloaded.Load(saved));
  EXPECT_EQ(kNone, reloaded.GetButton(2));
  EXPECT_EQ(0, reloaded.GetPlaylistEntry(1));
}
