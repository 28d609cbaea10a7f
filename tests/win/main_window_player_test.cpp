// The player panel and range editing through the main window's controls:
// loading, playing on the null sound device, the range marks, range deletion
// with undo and redo, amplification, and a stress of rapid commands. The
// panel's rules themselves are tested natively (player_panel_test.cpp).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "panels_check.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

class MainWindowPlayerTest : public ::testing::Test {
 protected:
  // Fragment 0: 500 bytes at 1000 (k & 0x7F); fragment 1: 9765 bytes at 5000.
  void SetUp() override {
    DeleteSettingsKey();
    BProfile profile;
    std::vector<uint8_t> first(500), second(9765, 0x10);
    for (size_t k = 0; k < first.size(); ++k) first[k] = static_cast<uint8_t>(k & 0x7F);
    profile.PlaceFragment("first", {1000, 500}, first.data(), 500);
    profile.PlaceFragment("second", {5000, 9765}, second.data(), 9765);
    profile.AppendPlaylistEntry(0);
    profile.AppendPlaylistEntry(1);
    std::string path = folder.Path("player.zpf");
    ASSERT_TRUE(profile.Save(path));
    WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(window.boxes.empty()) << "the sound device opened";
    trackbar = window.GetItem(IDC_TRACKBAR);
    fragments = window.GetItem(IDC_FRAGMENT_LIST);
  }
  void TearDown() override { DeleteSettingsKey(); }

  void Load(int row) { window.LoadFragmentRow(row); }
  void Mark(int start, int end) {
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, start);
    window.Command(ID_MARK_RANGE_START);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, end);
    window.Command(ID_MARK_RANGE_END);
  }
  std::pair<LRESULT, LRESULT> Range() {
    return {::SendMessageW(trackbar, TBM_GETSELSTART, 0, 0),
            ::SendMessageW(trackbar, TBM_GETSELEND, 0, 0)};
  }
  std::wstring TimeField() {
    wchar_t text[64] = {};
    ::GetDlgItemTextW(window.GetHwnd(), IDC_PLAY_TIME, text, 64);
    return text;
  }
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    return PumpMessagesUntil(done, timeoutMs);
  }

  ScratchFolder folder;
  TestMainDlg window;
  HWND trackbar = nullptr;
  HWND fragments = nullptr;
};

TEST_F(MainWindowPlayerTest, ADoubleClickLoadsTheFragmentAndPlayPlaysItToTheEnd) {
  EXPECT_FALSE(window.ControlEnabled(IDC_PLAY_PAUSE));
  Load(1);
  EXPECT_TRUE(window.ControlEnabled(IDC_PLAY_PAUSE));
  EXPECT_FALSE(window.MenuGreyed(ID_MARK_RANGE_START));
  EXPECT_EQ(L"00.000/01.000", TimeField());
  EXPECT_EQ(9765, ::SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
  EXPECT_EQ(9765u, window.PlayBuffer().Length());
  EXPECT_EQ(0x90, window.PlayBuffer().Samples()[0]) << "played as unsigned bytes";

  window.Command(IDC_PLAY_PAUSE, BN_CLICKED);
  EXPECT_TRUE(window.IsPlaying());
  EXPECT_FALSE(window.ControlEnabled(IDC_LOOP_PLAY));
  ASSERT_TRUE(PumpUntil([&] { return !window.IsPlaying(); }, 15000)) << "the end of the sound";
  EXPECT_TRUE(window.ControlEnabled(IDC_LOOP_PLAY));
  EXPECT_EQ(0, ::SendMessageW(trackbar, TBM_GETPOS, 0, 0)) << "back at the start";
}

TEST_F(MainWindowPlayerTest, TheRangeIsMarkedInvertedAndCancelled) {
  Load(0);
  Mark(100, 200);
  EXPECT_EQ(std::make_pair(LRESULT(100), LRESULT(200)), Range());
  window.Command(ID_INVERT_RANGE);
  EXPECT_EQ(std::make_pair(LRESULT(0), LRESULT(100)), Range());
  window.Command(ID_INVERT_RANGE);
  EXPECT_EQ(std::make_pair(LRESULT(100), LRESULT(500)), Range());
  Mark(0, 500);
  window.Command(ID_INVERT_RANGE);
  EXPECT_EQ(Range().first, Range().second) << "the whole fragment: cleared";
  Mark(80, 50);  // end before start: no range
  window.Command(ID_DELETE_RANGE);
  EXPECT_EQ(500u, window.GetProfile().GetFragment(0).length);
  Mark(10, 20);
  window.Command(ID_CANCEL_RANGE);
  EXPECT_EQ(Range().first, Range().second);
}

TEST_F(MainWindowPlayerTest, ARangeIsDeletedAndTheDeletionUndoneAndRedone) {
  Load(0);
  Mark(100, 200);
  window.Command(ID_DELETE_RANGE);
  const BFragment& fragment = window.GetProfile().GetFragment(0);
  EXPECT_EQ(1000u, fragment.start);
  EXPECT_EQ(400u, fragment.length);
  EXPECT_EQ(200 & 0x7F, window.GetProfile().Image()[1100])
      << "the bytes after the range moved down";
  EXPECT_EQ(0xFF, window.GetProfile().Image()[1450]);
  EXPECT_EQ(400u, window.PlayBuffer().Length()) << "reloaded into the player";
  EXPECT_FALSE(window.MenuGreyed(ID_EDIT_UNDO));
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_REDO));
  EXPECT_TRUE(window.IsModified());

  window.SetModified(false);
  window.Command(ID_EDIT_UNDO);
  EXPECT_EQ(500u, window.GetProfile().GetFragment(0).length);
  EXPECT_EQ(150 & 0x7F, window.GetProfile().Image()[1150]);
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_UNDO));
  EXPECT_FALSE(window.MenuGreyed(ID_EDIT_REDO));
  EXPECT_TRUE(window.IsModified()) << "the profile differs from the file again";

  window.SetModified(false);
  window.Command(ID_EDIT_REDO);
  EXPECT_TRUE(window.IsModified());
  EXPECT_EQ(400u, window.GetProfile().GetFragment(0).length);
  EXPECT_EQ(1u, window.GetDocument().History().UndoCount());
  EXPECT_EQ(0u, window.GetDocument().History().RedoCount());
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_REDO));
}

TEST_F(MainWindowPlayerTest, AmplificationAppliesToTheImageAndCanBeUndone) {
  Load(0);
  Mark(10, 20);
  window.Command(ID_AMPLIFY);  // cancelled: nothing changes, nothing recorded
  EXPECT_EQ(15, window.GetProfile().Image()[1015]);
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_UNDO));

  Mark(10, 20);
  window.gains = {100};
  window.Command(ID_AMPLIFY);
  EXPECT_EQ(30, window.GetProfile().Image()[1015]) << "doubled inside the range";
  EXPECT_EQ(25, window.GetProfile().Image()[1025]) << "untouched outside";
  window.Command(ID_EDIT_UNDO);
  EXPECT_EQ(15, window.GetProfile().Image()[1015]);
}

// Each edit command, after the fragments were (as if) written to the siren,
// leaves the edited fragment out of step and the other one in step.
TEST_F(MainWindowPlayerTest, EveryEditCommandTakesOnlyTheEditedFragmentOutOfStep) {
  BProfile& profile = window.GetProfile();
  auto written = [&] {
    profile.SetFragmentSynced(0, true);
    profile.SetFragmentSynced(1, true);
  };
  Load(0);
  const struct {
    const char* what;
    std::function<void()> command;
  } edits[] = {
      {"amplified",
       [&] {
         Mark(10, 20);
         window.gains = {100};
         window.Command(ID_AMPLIFY);
       }},
      {"undone", [&] { window.Command(ID_EDIT_UNDO); }},
      {"redone", [&] { window.Command(ID_EDIT_REDO); }},
      {"cut",
       [&] {
         Mark(100, 200);
         window.Command(ID_DELETE_RANGE);
       }},
      {"cut undone", [&] { window.Command(ID_EDIT_UNDO); }},
  };
  for (const auto& edit : edits) {
    written();
    edit.command();
    EXPECT_FALSE(profile.GetFragment(0).synced) << edit.what;
    EXPECT_TRUE(profile.GetFragment(1).synced) << edit.what;
  }
  EXPECT_EQ(500u, profile.GetFragment(0).length) << "the last undo took the cut back";
}

TEST_F(MainWindowPlayerTest, ThePlaylistPlaysAsOneSoundWithoutRangeCommands) {
  window.Command(IDC_PLAY_PLAYLIST, BN_CLICKED);
  EXPECT_TRUE(window.IsPlaying());
  EXPECT_EQ(500u + 9765u, window.PlayBuffer().Length());
  HWND playlist = window.GetItem(IDC_PLAYLIST);
  EXPECT_EQ(0, ::SendMessageW(playlist, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
      << "the row being heard is selected";
  EXPECT_EQ(L"00.000/01.051", TimeField());
  EXPECT_TRUE(window.MenuGreyed(ID_DELETE_RANGE));
  EXPECT_TRUE(window.MenuGreyed(ID_AMPLIFY));
  window.Command(IDC_STOP, BN_CLICKED);
  EXPECT_FALSE(window.IsPlaying());
}

// Rapid commands in any order, while sound plays: nothing may crash, hang or
// touch a released buffer (the sanitizer-free Windows build relies on the
// player's buffer lock here).
TEST_F(MainWindowPlayerTest, RapidCommandsDuringPlaybackStaySafe) {
  std::mt19937 random(7);
  const UINT commands[] = {IDC_PLAY_PAUSE, IDC_STOP, IDC_LOOP_PLAY, IDC_PLAY_FRAGMENT,
                           IDC_PLAY_PLAYLIST};
  for (int step = 0; step < 2000; ++step) {
    if (step % 400 ==
        399) {  // a delete during playback, answered No (the fragments stay for the next steps)
      window.answers = {IDNO};
      window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
    }
    switch (random() % 6) {
      case 0:
      case 1:
        window.Command(commands[random() % 5], BN_CLICKED);
        break;
      case 2:
        Load(static_cast<int>(random() % 2));
        break;
      case 3: {
        ::SendMessageW(trackbar, TBM_SETPOS, TRUE, random() % 600);
        ::SendMessageW(window.GetHwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0),
                       reinterpret_cast<LPARAM>(trackbar));
        break;
      }
      case 4: {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        ::SendMessageW(fragments, LVM_SETITEMSTATE, random() % 2, reinterpret_cast<LPARAM>(&item));
        break;
      }
      default: {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
          if (message.message != WM_QUIT) ::DispatchMessageW(&message);
      }
    }
    ASSERT_TRUE(PanelsMatchProfile(window)) << "step " << step;
  }
  window.Command(IDC_LOOP_PLAY, BN_CLICKED);
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);  // really deleted while playing
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_TRUE(window.PlayBuffer().IsEmpty());
}

// Save, then undo: the profile differs from the file, so Exit asks.
TEST_F(MainWindowPlayerTest, AnUndoAfterASaveIsNotLostAtExit) {
  Load(0);
  Mark(100, 200);
  window.Command(ID_DELETE_RANGE);
  window.Command(ID_FILE_SAVE);
  ASSERT_FALSE(window.IsModified());
  window.Command(ID_EDIT_UNDO);
  EXPECT_TRUE(window.IsModified());
  EXPECT_NE(std::wstring::npos, window.Title().find(L" *"));
  window.answers = {IDCANCEL};
  window.Command(ID_APP_EXIT);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(Text(IDS_SAVE_CHANGES_PROMPT), window.boxes[0].text);
  EXPECT_NE(nullptr, window.GetHwnd());
}

// Without a sound device the panel stays stopped and says why. CTest runs
// this case with the sound device hidden.
TEST(MainWindowWithoutSound, PlayLeavesThePanelStopped) {
  if (GetEnvironmentVariableA("SIRELTA_PLAYER_WITHOUT_DEVICE", nullptr, 0) == 0)
    GTEST_SKIP() << "runs only with the sound device hidden";
  DeleteSettingsKey();
  ScratchFolder folder;
  BProfile profile;
  std::vector<uint8_t> bytes(500, 0x10);
  profile.PlaceFragment("first", {0, 500}, bytes.data(), 500);
  std::string path = folder.Path("silent.zpf");
  ASSERT_TRUE(profile.Save(path));
  WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  ASSERT_EQ(1u, window.boxes.size());
  std::wstring reason =
      FormatText(Text(IDS_WAVE_DEVICE_OPEN_FAILED).c_str(), L"No wave out device found.");
  EXPECT_EQ(reason, window.boxes[0].text);
  HWND fragments = window.GetItem(IDC_FRAGMENT_LIST);
  LVITEMW item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(fragments, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  window.Command(IDC_PLAY_FRAGMENT, BN_CLICKED);
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_EQ(reason, window.StatusLine(0));
  window.Command(IDC_LOOP_PLAY, BN_CLICKED);
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_TRUE(window.ControlEnabled(IDC_LOOP_PLAY));
  DeleteSettingsKey();
}

}  // namespace
