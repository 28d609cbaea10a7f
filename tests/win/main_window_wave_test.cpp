// The waveform window in the main window: the View command and its setting,
// marking and seeking with the mouse by the trackbar's rules, and the sound it
// shows following an amplification and its undo.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

class MainWindowWaveTest : public ::testing::Test {
 protected:
  // Fragment 0: 500 bytes rising from -50 to 49; fragment 1: 300 bytes of 20.
  void SetUp() override {
    DeleteSettingsKey();
    BProfile profile;
    std::vector<uint8_t> first(500), second(300, 20);
    for (size_t k = 0; k < first.size(); ++k) first[k] = static_cast<uint8_t>(int(k / 5) - 50);
    profile.PlaceFragment("first", {1000, 500}, first.data(), 500);
    profile.PlaceFragment("second", {5000, 300}, second.data(), 300);
    profile.AppendPlaylistEntry(0);
    profile.AppendPlaylistEntry(1);
    std::string path = folder.Path("wave.zpf");
    ASSERT_TRUE(profile.Save(path));
    WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    ASSERT_TRUE(window.Start());
    trackbar = window.GetItem(IDC_TRACKBAR);
    window.Command(ID_VIEW_WAVE);
    wave = window.WaveWindow().GetHwnd();
    ASSERT_NE(nullptr, wave);
    // Wide enough for one sample per column: column x is sample x.
    ::SetWindowPos(wave, nullptr, 0, 0, 760, 260, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void TearDown() override { DeleteSettingsKey(); }

  void Load(int row) { window.LoadFragmentRow(row); }
  void Mouse(UINT message, int x, WPARAM keys = 0) {
    ::SendMessageW(wave, message, keys, MAKELPARAM(x, 100));
  }
  void Drag(int from, int to) {
    Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, (from + to) / 2, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, to);
  }
  std::pair<LRESULT, LRESULT> Range() {
    return {::SendMessageW(trackbar, TBM_GETSELSTART, 0, 0),
            ::SendMessageW(trackbar, TBM_GETSELEND, 0, 0)};
  }
  LRESULT Thumb() { return ::SendMessageW(trackbar, TBM_GETPOS, 0, 0); }

  ScratchFolder folder;
  TestMainDlg window;
  HWND trackbar = nullptr;
  HWND wave = nullptr;
};

TEST_F(MainWindowWaveTest, TheViewCommandShowsAndHidesTheWindowAndRemembersIt) {
  EXPECT_TRUE(window.IsWaveShown());
  HMENU menu = ::GetMenu(window.GetHwnd());
  EXPECT_TRUE(::GetMenuState(menu, ID_VIEW_WAVE, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ('1', ReadSettingsString("Wave")[0]);
  ::SendMessageW(wave, WM_CLOSE, 0, 0);  // the caption's close button hides it
  EXPECT_FALSE(window.IsWaveShown());
  EXPECT_FALSE(::GetMenuState(menu, ID_VIEW_WAVE, MF_BYCOMMAND) & MF_CHECKED);
  BWavePlacement saved;
  ASSERT_TRUE(saved.Parse(ReadSettingsString("Wave")));
  EXPECT_FALSE(saved.visible);
  EXPECT_EQ(760, saved.width);
  EXPECT_EQ(Text(IDS_WAVE_TITLE), [&] {
    wchar_t title[100] = {};
    ::GetWindowTextW(wave, title, 100);
    return std::wstring(title);
  }());
}

// A drag marks what Ctrl+B and Ctrl+E mark at its two ends, either way round;
// a click moves the thumb; a double click marks everything; Escape cancels.
TEST_F(MainWindowWaveTest, TheMouseMarksAndSeeksAsTheTrackbarCommandsDo) {
  Load(0);
  ASSERT_EQ(500u, window.WaveWindow().Viewport().SampleCount());
  ASSERT_EQ(1.0, window.WaveWindow().Viewport().SamplesPerColumn());
  ::SendMessageW(trackbar, TBM_SETPOS, TRUE, 120);
  window.Command(ID_MARK_RANGE_START);
  ::SendMessageW(trackbar, TBM_SETPOS, TRUE, 310);
  window.Command(ID_MARK_RANGE_END);
  const auto byCommands = Range();
  window.Command(ID_CANCEL_RANGE);
  ASSERT_NE(byCommands, Range());

  Drag(120, 310);
  EXPECT_EQ(byCommands, Range());
  window.Command(ID_CANCEL_RANGE);
  Drag(310, 120);
  EXPECT_EQ(byCommands, Range());
  EXPECT_EQ(310, Thumb()) << "a drag leaves the thumb";

  Mouse(WM_LBUTTONDOWN, 42, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 42);
  EXPECT_EQ(42, Thumb());
  EXPECT_EQ(byCommands, Range()) << "a click keeps the range";

  Mouse(WM_LBUTTONDBLCLK, 10, MK_LBUTTON);
  EXPECT_EQ(std::make_pair(LRESULT(0), LRESULT(500)), Range());
  ::SendMessageW(wave, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(Range().first, Range().second) << "no range";

  // The playlist: no marking, as for the range commands; clicks still seek.
  window.Command(ID_CANCEL_RANGE);
  ::SendMessageW(window.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_PLAY_PLAYLIST, BN_CLICKED), 0);
  window.Command(IDC_STOP, BN_CLICKED);
  ASSERT_EQ(800u, window.WaveWindow().Viewport().SampleCount());
  Drag(100, 300);
  EXPECT_EQ(Range().first, Range().second);
}

// The window shows the fragment as the player has it: amplified, then back.
TEST_F(MainWindowWaveTest, TheWindowFollowsAnAmplificationAndItsUndo) {
  Load(0);
  BPeak before = window.WaveWindow().SoundPeak(0, 500);
  EXPECT_EQ(128 - 50, before.min);
  EXPECT_EQ(128 + 49, before.max);
  // Narrower than the sound, then zoomed in with Ctrl and the wheel.
  ::SetWindowPos(wave, nullptr, 0, 0, 220, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  double fitted = window.WaveWindow().Viewport().SamplesPerColumn();
  ASSERT_GT(fitted, 2.0);
  POINT pointer = {50, 50};
  ::ClientToScreen(wave, &pointer);
  ::SendMessageW(wave, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 240),
                 MAKELPARAM(pointer.x, pointer.y));
  double zoomed = window.WaveWindow().Viewport().SamplesPerColumn();
  ASSERT_LT(zoomed, fitted);

  window.gains.push_back(100);  // doubles
  window.Command(ID_AMPLIFY);
  BPeak louder = window.WaveWindow().SoundPeak(0, 500);
  EXPECT_EQ(128 - 100, louder.min);
  EXPECT_EQ(128 + 98, louder.max);
  EXPECT_EQ(zoomed, window.WaveWindow().Viewport().SamplesPerColumn()) << "an edit keeps the zoom";

  window.Command(ID_EDIT_UNDO);
  BPeak back = window.WaveWindow().SoundPeak(0, 500);
  EXPECT_EQ(before.min, back.min);
  EXPECT_EQ(before.max, back.max);

  Load(1);  // another fragment is shown whole
  EXPECT_EQ(300u, window.WaveWindow().Viewport().SampleCount());
  EXPECT_EQ(128 + 20, window.WaveWindow().SoundPeak(0, 300).max);
}

// Another sound opens whole, whatever it shares with the last one: the slot
// of a deleted fragment, or the playlist after it changed.
TEST_F(MainWindowWaveTest, AnotherSoundOpensWhole) {
  const BWaveViewport& view = window.WaveWindow().Viewport();
  auto zoomIn = [&] {
    POINT pointer = {50, 50};
    ::ClientToScreen(wave, &pointer);
    ::SendMessageW(wave, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 240),
                   MAKELPARAM(pointer.x, pointer.y));
    return view.SamplesPerColumn() < view.MaxSamplesPerColumn();
  };
  ::SetWindowPos(wave, nullptr, 0, 0, 220, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  Load(0);
  ASSERT_TRUE(zoomIn());
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  Load(0);  // "second", now in slot 0
  ASSERT_EQ(300u, view.SampleCount());
  EXPECT_EQ(view.MaxSamplesPerColumn(), view.SamplesPerColumn());

  window.Command(IDC_PLAY_PLAYLIST, BN_CLICKED);
  window.Command(IDC_STOP, BN_CLICKED);
  ASSERT_TRUE(zoomIn());
  window.popupChoice = 1;  // "second" once more
  window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  window.Command(IDC_PLAY_PLAYLIST, BN_CLICKED);
  ASSERT_EQ(600u, view.SampleCount());
  EXPECT_EQ(view.MaxSamplesPerColumn(), view.SamplesPerColumn());
}

// A remembered place on a monitor that is gone: shown as it was, but moved
// onto the nearest monitor, at its size.
TEST(MainWindowWave, ARememberedPlaceOffEveryMonitorIsMovedOntoOne) {
  DeleteSettingsKey();
  const char remembered[] = "1,-30000,-30000,420,230";
  WriteSettingsValue("Wave", REG_SZ, remembered, sizeof remembered);
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  ASSERT_TRUE(window.IsWaveShown());
  RECT rect = {};
  ::GetWindowRect(window.WaveWindow().GetHwnd(), &rect);
  EXPECT_NE(nullptr, ::MonitorFromRect(&rect, MONITOR_DEFAULTTONULL));
  EXPECT_EQ(420, rect.right - rect.left);
  EXPECT_EQ(230, rect.bottom - rect.top);
  DeleteSettingsKey();
}

}  // namespace
