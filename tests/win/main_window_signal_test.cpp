// Signals made through the main window: the real dialog driven by its
// messages and keys, its checks of the values, the "Signal" setting, and the
// new fragment placed as an import places a sound.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "signal_dlg.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

// The dialog with its error messages recorded; `script` runs once it shows.
class ScriptedSignalDlg : public BSignalDlg {
 public:
  using BSignalDlg::BSignalDlg;
  std::function<void(ScriptedSignalDlg&)> script;
  std::vector<std::wstring> errors;

  void Type(int id, const wchar_t* text) { ::SetDlgItemTextW(GetHwnd(), id, text); }
  std::wstring Text(int id) {
    wchar_t text[64] = {};
    ::GetDlgItemTextW(GetHwnd(), id, text, 64);
    return text;
  }
  void Command(int id, int code = BN_CLICKED) {
    ::SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
  }
  // Return in the focused control, through the dialog manager as typed.
  void PressReturn() {
    MSG message = {::GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    ::IsDialogMessageW(GetHwnd(), &message);
  }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    bool handled = BSignalDlg::HandleMessage(message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ::PostMessageW(GetHwnd(), WM_APP, 0, 0);
    if (message == WM_APP) script(*this);
    return handled || message == WM_APP;
  }
  void ShowError(const std::wstring& text) override { errors.push_back(text); }
};

// The command opens the dialog; `script` drives it.
void MakeSignal(TestMainDlg& window, std::function<void(ScriptedSignalDlg&)> script) {
  window.askSignal = [&window, script](BSignalForm& form) {
    ScriptedSignalDlg dialog(window.Preview(), form);
    dialog.script = script;
    return dialog.DoModal(::GetModuleHandleW(nullptr), window.GetHwnd()) == IDOK;
  };
  window.Command(ID_MAKE_SIGNAL);
}

// Free: 3 s at the start, then 500 bytes at the end. The dialog opens with
// the defaults; the setting is read back in Unicode, as a registry editor
// shows it.
TEST(MainWindowSignal, ValuesAreCheckedAndTheSignalIsPlacedAsAnImportPlacesASound) {
  DeleteSettingsKey();
  ScratchFolder folder;
  BProfile profile;
  BFragment taken;
  taken.start = 29295;
  taken.length = kImageSize - 29295 - 500;
  profile.SetFragment(0, taken);
  std::string path = folder.Path("start.zpf");
  ASSERT_TRUE(profile.Save(path));
  WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());

  MakeSignal(window, [&window](ScriptedSignalDlg& d) {
    d.Type(IDC_SIGNAL_LEVEL, L"0");
    d.PressReturn();  // 8 s do not fit
    d.Type(IDC_SIGNAL_DURATION, L"3");
    d.PressReturn();
    ASSERT_EQ(2u, d.errors.size());
    EXPECT_EQ(FormatText(Text(IDS_SIGNAL_DURATION_OUT_OF_RANGE).c_str(), L"Длительность, с", L"0.1",
                         L"3"),
              d.errors[0]);
    EXPECT_EQ(FormatText(Text(IDS_SIGNAL_VALUE_OUT_OF_RANGE).c_str(), L"Уровень, %", L"1", L"100"),
              d.errors[1]);
    EXPECT_EQ(d.GetItem(IDC_SIGNAL_LEVEL), ::GetFocus()) << "the bad value keeps the focus";
    d.Type(IDC_SIGNAL_LEVEL, L"90");
    ::SendMessageW(d.GetItem(IDC_SIGNAL_KIND), CB_SETCURSEL, 0, 0);  // a tone
    d.Command(IDC_SIGNAL_KIND, CBN_SELCHANGE);
    EXPECT_FALSE(::IsWindowEnabled(d.GetItem(IDC_SIGNAL_PERIOD)));
    d.Command(IDC_SIGNAL_LISTEN);
    EXPECT_TRUE(window.IsPlaying());
    EXPECT_EQ(Text(IDS_PREVIEW_STOP), d.Text(IDC_SIGNAL_LISTEN));
    EXPECT_EQ(29295u, window.PlayBuffer().Length()) << "the player holds the signal";
    d.Command(IDC_SIGNAL_LISTEN);
    EXPECT_FALSE(window.IsPlaying());
    d.PressReturn();
  });
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  const BFragment& made = window.GetProfile().GetFragment(1);
  EXPECT_EQ(Narrow(L"Тон 600 Гц"), made.name);
  EXPECT_EQ(0u, made.start);
  EXPECT_EQ(29295u, made.length);
  EXPECT_EQ(29295u, window.PlayBuffer().Length()) << "the new row is loaded into the player";
  EXPECT_TRUE(window.IsModified());
  wchar_t setting[64] = {};
  DWORD size = sizeof(setting);
  ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Sirelta", L"Signal", RRF_RT_REG_SZ, nullptr,
                 setting, &size);
  EXPECT_STREQ(L"tone,600,1200,4,3,90", setting);

  window.answers = {IDYES};
  MakeSignal(window, [](ScriptedSignalDlg& d) {
    d.Type(IDC_SIGNAL_DURATION, L"0.1");  // the shortest, longer than the room left
    d.PressReturn();
  });
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(
      FormatText(Text(IDS_NOT_ENOUGH_ROOM).c_str(), L"Тон 600 Гц", L"00:00.051", L"00:00.100"),
      window.boxes[0].text);
  EXPECT_EQ(500u, window.GetProfile().GetFragment(2).length) << "cut to the block";
  ::SendMessageW(window.GetHwnd(), WM_INITMENUPOPUP,
                 reinterpret_cast<WPARAM>(::GetSubMenu(::GetMenu(window.GetHwnd()), 1)), 1);
  EXPECT_TRUE(window.MenuGreyed(ID_MAKE_SIGNAL)) << "no room is left";
  DeleteSettingsKey();
}

}  // namespace
