// The gain dialog driven by its messages, with a fake owner of the player.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ui/amplifier_dlg.h"
#include "ui/resource.h"
#include "ui/string_ids.h"
#include "toolkit/ui_text.h"

namespace {

class FakeOwner : public BPlaybackControl {
 public:
  bool playing = false;
  std::vector<bool> setPlayingCalls;
  int locks = 0;
  bool IsPlaying() const override { return playing; }
  void SetPlaying(bool on) override {
    setPlayingCalls.push_back(on);
    playing = on;
  }
  void LockPlayBuffer() override { ++locks; }
  void UnlockPlayBuffer() override {}
};

// Runs the modal dialog; `script` runs once it is shown, then the dialog ends
// through whatever the script posted.
class ScriptedAmplifierDlg : public BAmplifierDlg {
 public:
  using BAmplifierDlg::BAmplifierDlg;
  std::function<void(ScriptedAmplifierDlg&)> script;
  std::wstring previewCaption;

  void Slide(int position, int code) {
    ::SendMessageW(GetItem(IDC_GAIN_TRACKBAR), TBM_SETPOS, TRUE, position);
    ::SendMessageW(GetHwnd(), WM_HSCROLL, MAKEWPARAM(code, position),
                   reinterpret_cast<LPARAM>(GetItem(IDC_GAIN_TRACKBAR)));
  }
  void Click(int id) { ::SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  std::wstring Caption(int id) {
    wchar_t text[64] = {};
    ::GetDlgItemTextW(GetHwnd(), id, text, 64);
    return text;
  }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    bool handled = BAmplifierDlg::HandleMessage(message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ::PostMessageW(GetHwnd(), WM_APP, 0, 0);
    if (message == WM_APP && script) {
      auto run = script;
      script = nullptr;
      run(*this);
      return true;
    }
    return handled;
  }
};

std::wstring Text(UINT id) { return LoadText(id); }

// The player's bytes of the signed samples -3, 3, 100 and 10 (plus 128).
std::vector<uint8_t> PlayBytes() { return {125, 131, 228, 138}; }

TEST(AmplifierDlg, ThePreviewAmplifiesTheRangeOnlyAndOkGivesTheGain) {
  FakeOwner owner;
  std::vector<uint8_t> play = PlayBytes();
  ScriptedAmplifierDlg dialog(owner, play.data(), 1, 2);  // the samples 3 and 100
  dialog.script = [&](ScriptedAmplifierDlg& d) {
    EXPECT_EQ(Text(IDS_PREVIEW_START), d.Caption(IDC_PREVIEW));
    d.Slide(50, TB_THUMBTRACK);
    EXPECT_EQ((std::vector<uint8_t>{125, 132, 255, 138}), play) << "4 and 127, the rest untouched";
    d.Slide(-50, TB_THUMBTRACK);
    EXPECT_EQ((std::vector<uint8_t>{125, 129, 178, 138}), play)
        << "from the saved samples: 1 and 50";
    d.Slide(100, TB_LINEDOWN);  // arrow keys: the gain changes, the preview does not
    EXPECT_EQ((std::vector<uint8_t>{125, 129, 178, 138}), play);
    d.Click(IDOK);
  };
  EXPECT_EQ(IDOK, dialog.DoModal(::GetModuleHandleW(nullptr), nullptr));
  EXPECT_EQ(100, dialog.GetGain());
  EXPECT_EQ(std::vector<bool>{false}, owner.setPlayingCalls) << "closing stops, never starts";
}

TEST(AmplifierDlg, ThePreviewButtonStartsAndStopsLoopedPlayback) {
  FakeOwner owner;
  std::vector<uint8_t> play = PlayBytes();
  ScriptedAmplifierDlg dialog(owner, play.data(), 0, 4);
  dialog.script = [&](ScriptedAmplifierDlg& d) {
    d.Click(IDC_PREVIEW);
    EXPECT_TRUE(owner.playing);
    EXPECT_EQ(Text(IDS_PREVIEW_STOP), d.Caption(IDC_PREVIEW));
    d.Click(IDC_PREVIEW);
    EXPECT_FALSE(owner.playing);
    EXPECT_EQ(Text(IDS_PREVIEW_START), d.Caption(IDC_PREVIEW));
    d.Click(IDC_PREVIEW);
    ::PostMessageW(d.GetHwnd(), WM_CLOSE, 0, 0);  // closing with the preview running
  };
  EXPECT_EQ(IDCANCEL, dialog.DoModal(::GetModuleHandleW(nullptr), nullptr));
  EXPECT_FALSE(owner.playing) << "closing stopped the preview";
}

TEST(AmplifierDlg, CancelGivesThePlayerItsSoundBack) {
  FakeOwner owner;
  std::vector<uint8_t> play = PlayBytes();
  ScriptedAmplifierDlg dialog(owner, play.data(), 0, 4);
  dialog.script = [&](ScriptedAmplifierDlg& d) {
    d.Slide(-100, TB_PAGEDOWN);
    EXPECT_EQ((std::vector<uint8_t>{128, 128, 128, 128}), play) << "silenced";
    d.Click(IDCANCEL);
  };
  EXPECT_EQ(IDCANCEL, dialog.DoModal(::GetModuleHandleW(nullptr), nullptr));
  EXPECT_EQ(PlayBytes(), play);
  EXPECT_GT(owner.locks, 0) << "the buffer is changed under the player's lock";
}

}  // namespace

// Normalize: the range 3 and 100 takes at most +27 % (100 × 1.27 = 127), the
// slider shows it, the preview plays it and OK gives it.
TEST(AmplifierDlg, NormalizeSetsTheLargestGainThatClipsNothingInTheRange) {
  FakeOwner owner;
  std::vector<uint8_t> play = PlayBytes();
  ScriptedAmplifierDlg dialog(owner, play.data(), 1, 2);
  dialog.script = [&](ScriptedAmplifierDlg& d) {
    d.Click(IDC_NORMALIZE);
    EXPECT_EQ(27, ::SendMessageW(d.GetItem(IDC_GAIN_TRACKBAR), TBM_GETPOS, 0, 0));
    EXPECT_EQ((std::vector<uint8_t>{125, 131, 255, 138}), play) << "3 stays 3, 100 becomes 127";
    d.Click(IDOK);
  };
  EXPECT_EQ(IDOK, dialog.DoModal(::GetModuleHandleW(nullptr), nullptr));
  EXPECT_EQ(27, dialog.GetGain());
}
