// Writing to several sirens against real emulators on their own COM ports:
// one Start writes them all at once, each row gets its verdict, the journal
// beside the profile gets a line per siren; station mode counts the sirens
// that come one after another on one port.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <sstream>

#include "emulator/siren_state.h"
#include "emulator_process.h"
#include "fleet_dlg.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"
#include "win_test_support.h"

namespace {

class TestFleetDlg : public BFleetDlg {
 public:
  using BFleetDlg::BFleetDlg;
  using BFleetDlg::IsRunning;
  std::vector<std::wstring> boxes;

  bool Start() { return Create(::GetModuleHandleW(nullptr), IDD_FLEET, nullptr); }
  void Press(int id) { ::SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  int RowOf(const std::wstring& port) {
    HWND list = GetItem(IDC_FLEET_LIST);
    for (int row = 0; row < ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++row)
      if (Cell(row, 0) == port) return row;
    return -1;
  }
  std::wstring Cell(int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    ::SendMessageW(GetItem(IDC_FLEET_LIST), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  std::wstring Verdict(const std::wstring& port) { return Cell(RowOf(port), 3); }
  std::wstring TextOf(int id) {
    wchar_t text[512] = {};
    ::GetWindowTextW(GetItem(id), text, 512);
    return text;
  }

 protected:
  int ShowMessageBox(const std::wstring& text, UINT) override {
    boxes.push_back(text);
    return IDYES;
  }
};

void FillProfile(BProfile& profile) {
  const uint32_t starts[] = {0, 70000, 140000}, lengths[] = {9000, 6000, 5000};
  for (int slot = 0; slot < 3; ++slot) {
    profile.SetFragment(slot,
                        BFragment{"f" + std::to_string(slot), starts[slot], lengths[slot], false});
    for (uint32_t i = 0; i < lengths[slot]; ++i)
      profile.Image()[starts[slot] + i] = static_cast<uint8_t>(i * (slot + 5) + 1);
  }
  profile.AppendPlaylistEntry(2);
  profile.SetButton(3, 1);
}

// The siren the emulator saved holds the profile's fragments, playlist and buttons.
void ExpectHolds(const std::string& stateDosPath, const BProfile& profile) {
  BSirenState siren;
  ASSERT_TRUE(siren.Load(stateDosPath)) << siren.GetErrorText();
  for (int slot = 0; slot < 3; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    EXPECT_EQ(fragment.start, siren.fragments[slot].start);
    EXPECT_TRUE(std::equal(profile.Image() + fragment.start,
                           profile.Image() + fragment.start + fragment.length,
                           siren.memory.begin() + fragment.start))
        << "fragment " << slot << " of " << stateDosPath;
  }
  EXPECT_EQ(2, siren.playlist[0]);
  EXPECT_EQ(1, siren.buttons[3]);
}

std::vector<std::string> JournalLines(const std::string& path) {
  std::vector<unsigned char> bytes = ReadWholeFile(path);
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Run by the test entry win_network_ports, in a process apart from the main
// run: they start and stop sirens by the dozen.
class FleetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line = EnvironmentText("SIRELTA_SER2NET_LINE");
    if (line.empty()) GTEST_SKIP() << "the win_network_ports test runs these with ser2net";
    DeleteSettingsKey();
    ASSERT_FALSE(EmulatorProcess::ExecutablePath().empty()) << "SIRELTA_EMULATOR is not set";
    FillProfile(profile);
    profilePath = folder.Path("Школа 5.zpf");
  }
  void TearDown() override { DeleteSettingsKey(); }

  std::string line;  // the emulator's line behind ser2net
  ScratchFolder folder;
  BProfile profile;
  std::string profilePath;
  BSettings settings;
};

// Three sirens on COM ports and one behind a serial server on the network
// (ser2net, which the test entry win_network_ports starts).
TEST_F(FleetTest, OneStartWritesEverySirenAndTheJournalNamesTheBadAddress) {
  const std::string address =
      "rfc2217://127.0.0.1:" + EnvironmentText("SIRELTA_SER2NET_TELNET_PORT");
  EmulatorProcess sirens[4];
  std::string states[4];
  for (int i = 0; i < 4; ++i) {
    states[i] = UnixScratchPath("fleet", ".state");
    std::vector<std::string> options = {"--state", states[i]};
    if (i == 1) options.insert(options.end(), {"--chips", "3", "--bad-cell", "70123-70130"});
    if (i == 3) sirens[i].SetLinkPath(line);
    ASSERT_TRUE(sirens[i].Start(7 + i, options)) << sirens[i].ErrorText();
  }
  settings.fleet = "COM7;COM8;COM9;" + address;
  std::vector<std::string> paused;
  TestFleetDlg dialog(profile, profilePath, settings,
                      [&](const std::vector<std::string>& ports) { paused = ports; });
  ASSERT_TRUE(dialog.Start());
  dialog.Press(IDC_FLEET_START);
  EXPECT_TRUE(dialog.IsRunning());
  EXPECT_EQ((std::vector<std::string>{"COM7", "COM8", "COM9", address}), paused);
  // The dialog answers throughout: no message takes it long.
  DWORD last = ::GetTickCount(), longest = 0;
  ASSERT_TRUE(PumpMessagesUntil(
      [&] {
        longest = std::max<DWORD>(longest, ::GetTickCount() - last);
        last = ::GetTickCount();
        return !dialog.IsRunning();
      },
      120000));
  EXPECT_LT(longest, 500u) << "the dialog was held up for " << longest << " ms";
  EXPECT_TRUE(dialog.boxes.empty());

  EXPECT_EQ(LoadText(IDS_FLEET_VERDICT_CHECKED), dialog.Verdict(L"COM7"));
  EXPECT_EQ(FormatText(LoadText(IDS_FLEET_VERDICT_DIFFERS).c_str(), 70123u),
            dialog.Verdict(L"COM8"));
  EXPECT_EQ(LoadText(IDS_FLEET_VERDICT_CHECKED), dialog.Verdict(L"COM9"));
  EXPECT_EQ(LoadText(IDS_FLEET_VERDICT_CHECKED), dialog.Verdict(Widen(address)));
  const std::vector<std::string> lines = JournalLines(folder.Path("Школа 5.csv"));
  ASSERT_EQ(4u, lines.size());
  char checksum[16];
  std::snprintf(checksum, sizeof(checksum), "%08x", ProfileContentChecksum(profile));
  for (const std::string& line : lines) {
    const bool bad = line.find(",COM8,") != std::string::npos;
    EXPECT_NE(std::string::npos,
              line.find(bad ? ",3,20000,20000,differs,0x111eb," : ",4,20000,20000,checked,,"))
        << line;
    EXPECT_NE(std::string::npos, line.find(std::string(",Школа 5,") + checksum)) << line;
  }
  dialog.Destroy();
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(sirens[i].Stop());
    if (i != 1) ExpectHolds("Z:" + states[i], profile);
    ::DeleteFileW(Widen("Z:" + states[i]).c_str());
  }
  EXPECT_EQ("COM7;COM8;COM9;" + address, ReadSettingsString("Fleet"));
}

TEST_F(FleetTest, StationWritesThreeSirensComingOneAfterAnother) {
  settings.fleet = "COM10";
  TestFleetDlg dialog(profile, profilePath, settings, nullptr);
  ASSERT_TRUE(dialog.Start());
  ::CheckDlgButton(dialog.GetHwnd(), IDC_FLEET_STATION, BST_CHECKED);
  dialog.Press(IDC_FLEET_START);
  const std::wstring journal = Widen(folder.Path("Школа 5.csv"));
  auto count = [&](int done) {
    return FormatText(LoadText(IDS_FLEET_COUNT).c_str(), done, done, journal.c_str());
  };
  EXPECT_EQ(count(0), dialog.TextOf(IDC_FLEET_COUNT));
  for (int siren = 1; siren <= 3; ++siren) {
    // Nobody on the port for a moment: the station waits quietly.
    PumpMessagesUntil([] { return false; }, 1500);
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start(10)) << emulator.ErrorText();
    ASSERT_TRUE(
        PumpMessagesUntil([&] { return dialog.TextOf(IDC_FLEET_COUNT) == count(siren); }, 60000))
        << "siren " << siren << ": " << Narrow(dialog.TextOf(IDC_FLEET_COUNT));
    EXPECT_EQ(LoadText(IDS_FLEET_VERDICT_CHECKED), dialog.TextOf(IDC_FLEET_VERDICT));
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return dialog.Cell(dialog.RowOf(L"COM10"), 2) == LoadText(IDS_FLEET_REMOVE); },
        10000))
        << "a written siren still on the port is not written again";
    ASSERT_TRUE(emulator.Stop());
  }
  PumpMessagesUntil([] { return false; }, 2500);
  EXPECT_EQ(count(3), dialog.TextOf(IDC_FLEET_COUNT));
  EXPECT_EQ(3u, JournalLines(folder.Path("Школа 5.csv")).size());
  dialog.Press(IDC_FLEET_ABORT_ALL);
  EXPECT_FALSE(dialog.IsRunning());
  EXPECT_TRUE(dialog.boxes.empty());
  dialog.Destroy();
}

}  // namespace
