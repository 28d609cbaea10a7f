// The levelling of fragments through the main window: the real dialog driven
// by its messages and keys (every fragment checked when it opens, each one's
// loudness and the default target shown, the preview, OK on Return), the
// fragments brought to one loudness without clipping as one undoable step.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "audio/loudness.h"
#include "loudness_dlg.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

std::string ImportFile(const std::string& name) {
  std::string path = "Z:" + EnvironmentText("SIRELTA_TEST_IMPORT") + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The dialog with its error messages recorded; `script` runs once it shows.
class ScriptedLoudnessDlg : public BLoudnessDlg {
 public:
  using BLoudnessDlg::BLoudnessDlg;
  std::function<void(ScriptedLoudnessDlg&)> script;
  std::vector<std::wstring> errors;

  std::wstring Text(int id) {
    wchar_t text[64] = {};
    ::GetDlgItemTextW(GetHwnd(), id, text, 64);
    return text;
  }
  std::wstring Cell(int row, int column) {
    wchar_t text[64] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(GetItem(IDC_LOUDNESS_LIST), LVM_GETITEMTEXTW, row,
                   reinterpret_cast<LPARAM>(&item));
    return text;
  }
  bool Checked(int row) { return ListView_GetCheckState(GetItem(IDC_LOUDNESS_LIST), row) != FALSE; }
  void Command(int id, int code = BN_CLICKED) {
    ::SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
  }
  void PressReturn() {
    MSG message = {::GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    ::IsDialogMessageW(GetHwnd(), &message);
  }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    bool handled = BLoudnessDlg::HandleMessage(message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ::PostMessageW(GetHwnd(), WM_APP, 0, 0);
    if (message == WM_APP) script(*this);
    return handled || message == WM_APP;
  }
  void ShowError(const std::wstring& text) override { errors.push_back(text); }
};

std::vector<uint8_t> ImageOf(const BProfile& profile) {
  return std::vector<uint8_t>(profile.Image(), profile.Image() + kImageSize);
}

}  // namespace

// Four announcements 24 dB apart: the dialog opens with all four checked and
// their loudness shown, a bad target is refused, Return takes the default
// target; afterwards they measure within 1 LU of each other, no sample sits
// at 127 or -128, and one Ctrl+Z brings back every original byte.
TEST(MainWindowLoudness, FragmentsAreLevelledAsOneUndoableStep) {
  if (!std::getenv("SIRELTA_TEST_IMPORT")) GTEST_SKIP() << "the generated files are not there";
  DeleteSettingsKey();
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  for (int level : {1, 9, 17, 25}) {
    window.audioPaths = {ImportFile("speech_" + std::to_string(level) + ".flac")};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  }
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  const std::vector<uint8_t> before = ImageOf(window.GetProfile());

  std::wstring shownTarget;
  window.askLoudness = [&](const std::vector<BLoudnessDlg::Fragment>& fragments,
                           std::vector<bool>& chosen, double& target) {
    ScriptedLoudnessDlg dialog(window.Preview(), fragments);
    dialog.script = [&](ScriptedLoudnessDlg& d) {
      ASSERT_EQ(4u, fragments.size());
      for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(d.Checked(row)) << row;
        EXPECT_EQ(FormatLoudness(fragments[row].loudness.lufs), d.Cell(row, 1));
      }
      std::vector<BFragmentLoudness> loudness;
      for (const auto& fragment : fragments) loudness.push_back(fragment.loudness);
      double expected = 0.0;
      ASSERT_TRUE(DefaultLoudnessTarget(loudness, std::vector<bool>(4, true), expected));
      shownTarget = d.Text(IDC_LOUDNESS_TARGET);
      EXPECT_EQ(FormatLoudness(expected), shownTarget);
      ::SetDlgItemTextW(d.GetHwnd(), IDC_LOUDNESS_TARGET, L"громко");
      d.PressReturn();
      ASSERT_EQ(1u, d.errors.size());
      EXPECT_EQ(Text(IDS_LOUDNESS_BAD_TARGET), d.errors[0]);
      ::SetDlgItemTextW(d.GetHwnd(), IDC_LOUDNESS_TARGET, shownTarget.c_str());
      d.Command(IDC_LOUDNESS_LISTEN);
      EXPECT_TRUE(window.IsPlaying());
      EXPECT_EQ(fragments[0].samples.size(), window.PlayBuffer().Length());
      d.Command(IDC_LOUDNESS_LISTEN);
      EXPECT_FALSE(window.IsPlaying());
      d.PressReturn();
    };
    if (dialog.DoModal(::GetModuleHandleW(nullptr), window.GetHwnd()) != IDOK) return false;
    chosen = dialog.Chosen();
    target = dialog.Target();
    return true;
  };
  window.Command(ID_LEVEL_LOUDNESS);
  ASSERT_FALSE(shownTarget.empty());
  EXPECT_TRUE(window.IsModified());
  EXPECT_EQ(FormatText(Text(IDS_LOUDNESS_DONE).c_str(), 4, shownTarget.c_str()),
            window.StatusLine(0));

  double low = 1e9, high = -1e9;
  for (int slot = 0; slot < 4; ++slot) {
    const BFragment& fragment = window.GetProfile().GetFragment(slot);
    const int8_t* samples =
        reinterpret_cast<const int8_t*>(window.GetProfile().Image()) + fragment.start;
    double lufs = 0.0;
    ASSERT_TRUE(MeasureLoudness(samples, fragment.length, 9765, lufs));
    low = std::min(low, lufs);
    high = std::max(high, lufs);
    EXPECT_LE(PeakOf(samples, fragment.length), kLimiterCeiling);
  }
  std::printf("levelled: %.2f to %.2f LUFS\n", low, high);
  EXPECT_LE(high - low, 1.0);
  const std::vector<uint8_t> levelled = ImageOf(window.GetProfile());
  EXPECT_NE(before, levelled);

  window.Command(ID_EDIT_UNDO);
  EXPECT_EQ(before, ImageOf(window.GetProfile())) << "one undo restores all four";
  window.Command(ID_EDIT_REDO);
  EXPECT_EQ(levelled, ImageOf(window.GetProfile()));
}
