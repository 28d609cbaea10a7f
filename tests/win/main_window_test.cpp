// The main window created in the test process and driven by its messages;
// message boxes and file dialogs are answered by the test.
#include <algorithm>
#include <gtest/gtest.h>

#include "resource.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "toolkit/ui_text.h"
#include "win_test_support.h"

namespace {

// Writes a profile with one named fragment, as another run of the program would have.
void WriteProfile(const std::string& path, const char* name) {
  BProfile profile;
  const unsigned char samples[] = {1, 2, 3, 4, 5};
  profile.PlaceFragment(name, profile.GetFreeBlocks().front(), samples, sizeof(samples));
  ASSERT_TRUE(profile.Save(path));
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override { DeleteSettingsKey(); }

  // A window with unsaved changes in its profile.
  void StartModified(TestMainDlg& window) {
    ASSERT_TRUE(window.Start());
    const unsigned char samples[] = {9, 9, 9};
    BProfile& profile = window.GetProfile();
    profile.PlaceFragment("edited", profile.GetFreeBlocks().front(), samples, sizeof(samples));
    window.SetModified(true);
  }

  ScratchFolder folder;
};

TEST_F(MainWindowTest, FirstStartShowsAnEmptyProfileWithDefaults) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  EXPECT_EQ(L"Sirelta", window.Title());
  EXPECT_EQ("COM1", window.GetPortName());
  EXPECT_EQ("", window.GetProfilePath());
  EXPECT_EQ(0, window.GetProfile().CountFragments());
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_UNDO));
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_REDO));
  EXPECT_FALSE(window.MenuGreyed(ID_FILE_SAVE));
  EXPECT_FALSE(window.ControlEnabled(IDC_PLAY_PAUSE));
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ(0, window.RefusedRoutes()) << "no two handlers for one command or notification";
}

TEST_F(MainWindowTest, StartLoadsTheLastProfileAndKeepsItsPath) {
  std::string path = folder.Path("last.zpf");
  WriteProfile(path, "alarm");
  WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
  WriteSettingsValue("Port", REG_SZ, "COM4", 5);
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  EXPECT_EQ(L"Sirelta [" + Widen(path) + L"]", window.Title());
  EXPECT_EQ("alarm", window.GetProfile().GetFragment(0).name);
  EXPECT_EQ("COM4", window.GetPortName());
}

TEST_F(MainWindowTest, StartDropsAnUnreadableLastProfileSilently) {
  std::string path = folder.Path("gone.zpf");
  WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  EXPECT_EQ(L"Sirelta", window.Title());
  EXPECT_EQ("", window.GetProfilePath());
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(MainWindowTest, TitleMarksUnsavedChanges) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.SetModified(true);
  EXPECT_EQ(L"Sirelta *", window.Title());
  window.SetModified(false);
  EXPECT_EQ(L"Sirelta", window.Title());
}

TEST_F(MainWindowTest, NewProfileAsksFirstAndYesSavesInstead) {
  TestMainDlg window;
  StartModified(window);
  window.answers = {IDCANCEL};
  window.Command(ID_FILE_NEW);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(Text(IDS_SAVE_CHANGES_PROMPT), window.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONWARNING), window.boxes[0].type);
  EXPECT_EQ(1, window.GetProfile().CountFragments());

  std::string path = folder.Path("saved.zpf");
  window.answers = {IDYES};
  window.savePaths = {path};
  window.Command(ID_FILE_NEW);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(1, window.GetProfile().CountFragments()) << "Yes saves and makes no new profile";
  EXPECT_EQ(L"Sirelta [" + Widen(path) + L"]", window.Title());

  window.SetModified(true);
  window.answers = {IDNO};
  window.Command(ID_FILE_NEW);
  EXPECT_EQ(0, window.GetProfile().CountFragments());
  EXPECT_EQ("", window.GetProfilePath());
  EXPECT_EQ(L"Sirelta", window.Title());
}

TEST_F(MainWindowTest, OpenRefusesAForeignFileAndKeepsEverything) {
  TestMainDlg window;
  StartModified(window);
  std::string path = folder.Path("program.exe");
  WriteWholeFile(path, {0x4D, 0x5A, 0x90, 0x00, 0x03});
  window.answers = {IDNO};
  window.openPaths = {path};
  window.Command(ID_FILE_OPEN);
  ASSERT_EQ(2u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_PROFILE_LOAD_FAILED).c_str(), Widen(path).c_str(),
                       Text(IDS_NOT_A_PROFILE).c_str()),
            window.boxes[1].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), window.boxes[1].type);
  EXPECT_EQ("edited", window.GetProfile().GetFragment(0).name);
  EXPECT_TRUE(window.IsModified());
  EXPECT_EQ("", window.GetProfilePath());
}

TEST_F(MainWindowTest, OpenShowsTheSystemTextForAMissingFile) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  std::string path = folder.Path("missing.zpf");
  window.openPaths = {path};
  window.Command(ID_FILE_OPEN);
  ASSERT_EQ(1u, window.boxes.size());
  std::wstring prefix = FormatText(Text(IDS_PROFILE_LOAD_FAILED).c_str(), Widen(path).c_str(), L"");
  EXPECT_EQ(0u, window.boxes[0].text.find(prefix));
  EXPECT_GT(window.boxes[0].text.size(), prefix.size()) << "the reason follows";
}

TEST_F(MainWindowTest, OpenLoadsAndRemembersTheProfile) {
  std::string path = folder.Path("open.zpf");
  WriteProfile(path, "bell");
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.openPaths = {path};
  window.Command(ID_FILE_OPEN);
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ("bell", window.GetProfile().GetFragment(0).name);
  EXPECT_EQ(path, window.GetProfilePath());
  EXPECT_FALSE(window.IsModified());
  EXPECT_EQ(path, ReadSettingsString("Profile"));
  EXPECT_EQ("COM1", ReadSettingsString("Port"));
}

TEST_F(MainWindowTest, SaveWithoutAFileAsksForAName) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.Command(ID_FILE_SAVE);  // unchanged, no file: still asks, cancelled here
  EXPECT_EQ(1, window.saveDialogs);
  EXPECT_TRUE(window.boxes.empty());

  std::string path = folder.Path("named.zpf");
  window.savePaths = {path};
  window.Command(ID_FILE_SAVE);
  EXPECT_EQ(2, window.saveDialogs);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(path, window.GetProfilePath());
  EXPECT_EQ(path, ReadSettingsString("Profile"));
}

TEST_F(MainWindowTest, FailedSaveReportsAndKeepsTheChangesAndTheOldFile) {
  std::string path = folder.Path("locked.zpf");
  WriteProfile(path, "old");
  std::vector<unsigned char> before = ReadWholeFile(path);
  ::SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY);
  TestMainDlg window;
  StartModified(window);
  window.savePaths = {path};
  window.Command(ID_FILE_SAVE_AS);
  ASSERT_EQ(1u, window.boxes.size());
  std::wstring prefix = FormatText(Text(IDS_PROFILE_SAVE_FAILED).c_str(), Widen(path).c_str(), L"");
  EXPECT_EQ(0u, window.boxes[0].text.find(prefix));
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), window.boxes[0].type);
  EXPECT_TRUE(window.IsModified());
  EXPECT_EQ("", window.GetProfilePath());
  EXPECT_EQ(before, ReadWholeFile(path));
}

TEST_F(MainWindowTest, SavedProfileReadsBackByteIdentical) {
  TestMainDlg window;
  StartModified(window);
  window.GetProfile().RenameFragment(0, Narrow(L"Тревога"));
  window.GetProfile().SetButton(2, 0);
  window.GetProfile().AppendPlaylistEntry(0);
  std::string first = folder.Path("first.zpf");
  std::string second = folder.Path("second.zpf");
  window.savePaths = {first};
  window.Command(ID_FILE_SAVE_AS);
  window.openPaths = {first};
  window.Command(ID_FILE_OPEN);
  window.savePaths = {second};
  window.Command(ID_FILE_SAVE_AS);
  EXPECT_TRUE(window.boxes.empty());
  std::vector<unsigned char> written = ReadWholeFile(first);
  EXPECT_EQ(262308u + 7u, written.size()) << "seven name bytes in code page 1251";
  EXPECT_EQ(written, ReadWholeFile(second));
}

TEST_F(MainWindowTest, ExitWithUnsavedChangesCanBeCancelled) {
  TestMainDlg window;
  StartModified(window);
  window.answers = {IDCANCEL};
  window.Command(ID_APP_EXIT);
  EXPECT_NE(nullptr, window.GetHwnd());
  EXPECT_EQ(1u, window.boxes.size());
}

TEST_F(MainWindowTest, ExitKeepsTheWindowWhenTheSaveDidNotHappen) {
  TestMainDlg window;
  StartModified(window);
  window.answers = {IDYES};  // then the save dialog is cancelled
  window.Command(ID_APP_EXIT);
  EXPECT_NE(nullptr, window.GetHwnd());
  EXPECT_EQ(1, window.saveDialogs);
  EXPECT_TRUE(window.IsModified());
}

TEST_F(MainWindowTest, ExitSavesThenCloses) {
  TestMainDlg window;
  StartModified(window);
  std::string path = folder.Path("exit.zpf");
  window.answers = {IDYES};
  window.savePaths = {path};
  window.Command(ID_APP_EXIT);
  EXPECT_EQ(nullptr, window.GetHwnd());
  EXPECT_TRUE(FileExists(path));
}

TEST_F(MainWindowTest, EscapeActsAsExit) {
  TestMainDlg window;
  StartModified(window);
  window.answers = {IDCANCEL, IDNO};
  window.Command(IDCANCEL, 0);
  EXPECT_NE(nullptr, window.GetHwnd());
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(Text(IDS_SAVE_CHANGES_PROMPT), window.boxes[0].text);
  window.Command(IDCANCEL, 0);
  EXPECT_EQ(nullptr, window.GetHwnd());
}

// The dialog manager must see activation as unhandled to keep and restore
// the control that had the focus (after a message box, say).
TEST_F(MainWindowTest, ActivationIsLeftToTheDialogManager) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  auto procedure = reinterpret_cast<DLGPROC>(::GetWindowLongPtrW(window.GetHwnd(), DWLP_DLGPROC));
  ASSERT_NE(nullptr, procedure);
  EXPECT_EQ(FALSE, procedure(window.GetHwnd(), WM_ACTIVATE, WA_INACTIVE, 0));
  EXPECT_EQ(FALSE, procedure(window.GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0));
  EXPECT_EQ(TRUE, procedure(window.GetHwnd(), WM_COMMAND, MAKEWPARAM(ID_CANCEL_RANGE, 0), 0))
      << "other messages stay handled";
}

TEST_F(MainWindowTest, ExitWithoutChangesClosesAtOnce) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.Command(ID_APP_EXIT);
  EXPECT_EQ(nullptr, window.GetHwnd());
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(MainWindowTest, StatusLogShowsTheNewestLineFirst) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  int start = window.StatusCount();
  window.ShowStatus(IDS_PORT_OPEN_FAILED_STATUS, L"COM9", L"нет порта");
  window.Log().Show(L"speed = 42");
  window.Log().Replace(L"осталось 5 с");
  window.Log().Replace(L"осталось 4 с");
  EXPECT_EQ(start + 2, window.StatusCount());
  EXPECT_EQ(L"осталось 4 с", window.StatusLine(0));
  EXPECT_EQ(FormatText(Text(IDS_PORT_OPEN_FAILED_STATUS).c_str(), L"COM9", L"нет порта"),
            window.StatusLine(1));
  EXPECT_EQ(0, ::SendMessageW(window.GetItem(IDC_STATUS_LOG), CB_GETCURSEL, 0, 0));
}

// Every command of the menus and every button, list and combo follows the
// decision: none is left out of it (the commands that are always there aside).
TEST_F(MainWindowTest, EveryCommandAndControlFollowsTheDecision) {
  const wchar_t recent[] = L"C:\\one.zpf\0C:\\two.zpf\0";  // the File menu lists them too
  WriteSettingsValue("Recent", REG_MULTI_SZ, recent, sizeof(recent));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  const std::vector<UINT> alwaysThere = {ID_APP_EXIT,  ID_HIGH_QUALITY_CONVERSION,
                                         ID_CONNECT,   ID_VERIFY_AFTER_WRITE,
                                         ID_VIEW_WAVE, ID_APP_ABOUT};
  auto menuCommands = [&] {
    std::vector<UINT> ids;
    HMENU bar = ::GetMenu(window.GetHwnd());
    for (int menu = 0; menu < ::GetMenuItemCount(bar); ++menu) {
      HMENU popup = ::GetSubMenu(bar, menu);
      for (int item = 0; item < ::GetMenuItemCount(popup); ++item) {
        UINT id = ::GetMenuItemID(popup, item);
        if (id == 0 || id == UINT(-1)) continue;
        if (std::find(alwaysThere.begin(), alwaysThere.end(), id) == alwaysThere.end())
          ids.push_back(id);
      }
    }
    return ids;
  };
  std::vector<int> controls;
  for (HWND child = ::GetWindow(window.GetHwnd(), GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[32] = {};
    ::GetClassNameW(child, kind, 32);
    std::wstring name = kind;
    if (name == L"Button" || name == L"SysListView32" || name == WC_COMBOBOXW ||
        name == TRACKBAR_CLASSW)
      if (::GetDlgCtrlID(child) > 0 && ::GetDlgCtrlID(child) != IDC_STATUS_LOG &&
          (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX)
        controls.push_back(::GetDlgCtrlID(child));
  }
  ASSERT_GE(controls.size(), 20u);
  const std::vector<UINT> listed = menuCommands();
  ASSERT_NE(listed.end(), std::find(listed.begin(), listed.end(), ID_RECENT_FIRST + 1));

  BCommandSet on;
  for (bool* group :
       {&on.fileCommands, &on.undo, &on.redo, &on.sirenCommands, &on.abort, &on.editing,
        &on.addFragment, &on.addToPlaylist, &on.portMenu, &on.exportFragment, &on.makeSignal,
        &on.playerControls, &on.loopButton, &on.rangeCommands, &on.fleetWrite})
    *group = true;
  for (bool enabled : {false, true}) {
    window.Apply(enabled ? on : BCommandSet());
    for (UINT id : menuCommands())
      EXPECT_EQ(!enabled, window.MenuGreyed(id)) << "menu command " << id;
    for (int id : controls) EXPECT_EQ(enabled, window.ControlEnabled(id)) << "control " << id;
  }
  window.UpdateCommands();  // decided from the state again
  EXPECT_TRUE(window.ControlEnabled(IDC_FRAGMENT_LIST));
  EXPECT_TRUE(window.MenuGreyed(ID_EDIT_UNDO)) << "nothing to undo";
  EXPECT_FALSE(window.ControlEnabled(IDC_LOOP_PLAY)) << "nothing in the player";
}

// Presses Ctrl+key as the message loop would see it.
bool PressControlKey(TestMainDlg& window, char key) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  MSG message = {window.GetHwnd(), WM_KEYDOWN, static_cast<WPARAM>(key), 0, 0, {0, 0}};
  BOOL consumed = window.PreTranslateMessage(&message);
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  return consumed != FALSE;
}

TEST_F(MainWindowTest, AcceleratorsReachOnlyCommandsThatAreNotGreyed) {
  TestMainDlg window;
  StartModified(window);
  window.SetModified(false);
  BCommandSet commands = window.Commands();
  commands.fileCommands = false;
  window.Apply(commands);
  PressControlKey(window, 'N');
  EXPECT_EQ(1, window.GetProfile().CountFragments()) << "New is greyed";
  window.UpdateCommands();
  EXPECT_TRUE(PressControlKey(window, 'N'));
  EXPECT_EQ(0, window.GetProfile().CountFragments()) << "Ctrl+N made a new profile";
}

std::wstring PortCaption(TestMainDlg& window) {
  wchar_t text[128] = {};
  ::GetMenuStringW(::GetSubMenu(::GetMenu(window.GetHwnd()), 2), 1, text, 128, MF_BYPOSITION);
  return text;
}

TEST_F(MainWindowTest, ThePortIsChosenFromTheListOrTyped) {
  WriteSettingsValue("Port", REG_SZ, "COM55", 6);
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  // A remembered port the system does not list: shown, nothing marked.
  EXPECT_EQ(FormatText(Text(IDS_PORT_MENU_CAPTION).c_str(), L"COM55"), PortCaption(window));
  EXPECT_EQ(Text(ID_OTHER_PORT), [&] {
    wchar_t text[64] = {};
    ::GetMenuStringW(::GetMenu(window.GetHwnd()), ID_OTHER_PORT, text, 64, MF_BYCOMMAND);
    return std::wstring(text);
  }());

  window.Command(ID_PORT_FIRST);
  std::string first = window.GetPortName();
  EXPECT_NE("COM55", first) << "the prefix lists at least one port";
  EXPECT_EQ(FormatText(Text(IDS_PORT_MENU_CAPTION).c_str(), Widen(first).c_str()),
            PortCaption(window));
  EXPECT_TRUE(::GetMenuState(::GetMenu(window.GetHwnd()), ID_PORT_FIRST, MF_BYCOMMAND) &
              MF_CHECKED);

  window.otherPorts = {"COM7"};
  window.Command(ID_OTHER_PORT);
  EXPECT_EQ("COM7", window.GetPortName());
  EXPECT_EQ(FormatText(Text(IDS_PORT_MENU_CAPTION).c_str(), L"COM7"), PortCaption(window));
  EXPECT_FALSE(::GetMenuState(::GetMenu(window.GetHwnd()), ID_PORT_FIRST, MF_BYCOMMAND) &
               MF_CHECKED);

  window.otherPorts = {""};  // cancelled
  window.Command(ID_OTHER_PORT);
  EXPECT_EQ("COM7", window.GetPortName());
}

TEST_F(MainWindowTest, DisabledButtonsStillFindTheirTooltip) {
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.Apply(BCommandSet());
  RECT rect;
  ::GetWindowRect(window.GetItem(IDC_ADD_FRAGMENT), &rect);
  POINT inside = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  EXPECT_EQ(IDC_ADD_FRAGMENT, window.ToolAt(inside));
  ::GetWindowRect(window.GetItem(IDC_MEMORY_VIEW), &rect);
  EXPECT_EQ(IDC_MEMORY_VIEW, window.ToolAt({rect.left + 1, rect.top + 1}));
  ::GetWindowRect(window.GetItem(IDC_FRAGMENT_LIST), &rect);
  EXPECT_EQ(0, window.ToolAt({rect.left + 5, rect.top + 5}));
  EXPECT_EQ(L"Добавить новый фрагмент", Text(IDC_ADD_FRAGMENT));
}

// The File menu's texts of the recent profiles, newest first.
std::vector<std::wstring> RecentEntries(TestMainDlg& window) {
  std::vector<std::wstring> entries;
  HMENU file = ::GetSubMenu(::GetMenu(window.GetHwnd()), 0);
  for (UINT id = ID_RECENT_FIRST; id <= ID_RECENT_LAST; ++id) {
    wchar_t text[600] = {};
    if (::GetMenuStringW(file, id, text, 600, MF_BYCOMMAND) > 0) entries.push_back(text);
  }
  return entries;
}

std::vector<std::wstring> MenuTexts(const std::vector<std::string>& paths) {
  std::vector<std::wstring> texts;
  for (size_t i = 0; i < paths.size(); ++i) texts.push_back(RecentMenuText(i, Widen(paths[i])));
  return texts;
}

// Opened and saved profiles come to the top of the File menu, stay there for
// the next start, open from there; a missing one leaves with a word; a
// profile handed over by a second start opens after the question about
// unsaved changes, and data that is not such a hand-over is refused.
TEST_F(MainWindowTest, RecentProfilesAndHandedProfilesOpen) {
  const std::string first = folder.Path("первый.zpf"), second = folder.Path("second & more.zpf"),
                    third = folder.Path("третий.zpf");
  WriteProfile(first, "one");
  WriteProfile(second, "two");
  {
    TestMainDlg window;
    ASSERT_TRUE(window.Start());
    EXPECT_TRUE(RecentEntries(window).empty());
    window.openPaths = {first, second};
    window.Command(ID_FILE_OPEN);
    window.Command(ID_FILE_OPEN);
    window.savePaths = {third};
    window.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(MenuTexts({third, second, first}), RecentEntries(window));
    EXPECT_TRUE(window.boxes.empty());
  }
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  EXPECT_EQ(MenuTexts({third, second, first}), RecentEntries(window)) << "kept for the next start";
  window.Command(ID_RECENT_FIRST + 2);
  EXPECT_EQ(first, window.GetProfilePath());
  EXPECT_EQ("one", window.GetProfile().GetFragment(0).name);
  EXPECT_EQ(MenuTexts({first, third, second}), RecentEntries(window));

  ASSERT_TRUE(::DeleteFileW(Widen(second).c_str()));
  window.Command(ID_RECENT_FIRST + 2);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_RECENT_PROFILE_MISSING).c_str(), Widen(second).c_str()),
            window.boxes[0].text);
  EXPECT_EQ(MenuTexts({first, third}), RecentEntries(window));
  EXPECT_EQ(first, window.GetProfilePath()) << "the open profile stays";

  auto hand = [&](ULONG_PTR kind, const std::wstring& data, DWORD bytes) {
    COPYDATASTRUCT copy = {kind, bytes, const_cast<wchar_t*>(data.c_str())};
    return ::SendMessageW(window.GetHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  };
  const std::wstring wideThird = Widen(third);
  const DWORD thirdBytes = static_cast<DWORD>((wideThird.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(FALSE, hand(0x535A5046, wideThird, thirdBytes - sizeof(wchar_t))) << "no final zero";
  EXPECT_EQ(FALSE, hand(1, wideThird, thirdBytes)) << "another kind of data";
  window.SetModified(true);
  window.answers = {IDCANCEL, IDNO};
  EXPECT_EQ(TRUE, hand(0x535A5046, wideThird, thirdBytes));
  PumpMessagesUntil([&] { return window.boxes.size() == 2; }, 5000);
  EXPECT_EQ(first, window.GetProfilePath()) << "cancelled at the question";
  EXPECT_EQ(TRUE, hand(0x535A5046, wideThird, thirdBytes));
  PumpMessagesUntil([&] { return window.GetProfilePath() == third; }, 5000);
  EXPECT_EQ(third, window.GetProfilePath());
  EXPECT_EQ(3u, window.boxes.size());
  EXPECT_EQ(MenuTexts({third, first}), RecentEntries(window));
}

}  // namespace
