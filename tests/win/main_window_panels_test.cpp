// The panels of the main window: the fragment list, the playlist and the
// button combos, driven by their commands and notifications.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <random>

#include "toolkit/list_controls.h"
#include "panels_check.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

HWND List(TestMainDlg& window, int id) { return window.GetItem(id); }

std::vector<LPARAM> RowsData(HWND list) {
  std::vector<LPARAM> data;
  for (int row = 0; row < RowCount(list); ++row) data.push_back(RowData(list, row));
  return data;
}

std::vector<LPARAM> EntriesData(HWND combo) {
  std::vector<LPARAM> data;
  int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int entry = 0; entry < count; ++entry)
    data.push_back(::SendMessageW(combo, CB_GETITEMDATA, entry, 0));
  return data;
}

std::wstring ShownEntry(HWND combo) {
  int entry = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
  wchar_t text[300] = {};
  if (entry >= 0) ::SendMessageW(combo, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(text));
  return text;
}

int SelectedRowOf(HWND list) {
  return static_cast<int>(
      ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void Select(HWND list, int row) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

LRESULT Notify(TestMainDlg& window, int id, NMHDR& header) {
  header.hwndFrom = window.GetItem(id);
  header.idFrom = static_cast<UINT_PTR>(id);
  return ::SendMessageW(window.GetHwnd(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
}

const std::vector<LPARAM> kAllThree = {-1, 0, 2, 5};

class MainWindowPanelsTest : public ::testing::Test {
 protected:
  // A profile with fragments in slots 0, 2 and 5 (not packed), a playlist
  // 5, 0, 2 and bindings 2, none, 5 and 9 (no such fragment).
  void SetUp() override {
    DeleteSettingsKey();
    BProfile profile;
    Place(profile, 0, 0x0000, 9765, L"Гудок");
    Place(profile, 2, 0x8000, 500, L"Сирена");
    Place(profile, 5, 0x20000, 262140 - 0x20000, L"Тревога");
    for (uint8_t entry : {5, 0, 2}) profile.AppendPlaylistEntry(entry);
    profile.SetButton(0, 2);
    profile.SetButton(2, 5);
    profile.SetButton(3, 9);
    Extend(profile);
    path = folder.Path("panels.zpf");
    ASSERT_TRUE(profile.Save(path));
    WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    ASSERT_TRUE(window.Start());
    fragments = List(window, IDC_FRAGMENT_LIST);
    playlist = List(window, IDC_PLAYLIST);
  }
  void TearDown() override { DeleteSettingsKey(); }
  // What a test adds to the profile before the window loads it.
  virtual void Extend(BProfile&) {}

  static void Place(BProfile& profile, int slot, uint32_t start, uint32_t length,
                    const wchar_t* name) {
    BFragment fragment;
    fragment.name = Narrow(name);
    fragment.start = start;
    fragment.length = length;
    profile.SetFragment(slot, fragment);
  }
  HWND Combo(int button) { return window.GetItem(IDC_BUTTON1_COMBO + button); }
  void SelectOnly(HWND list, int row) {
    LVITEMW none = {};
    none.stateMask = LVIS_SELECTED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&none));
    Select(list, row);
  }
  // Imports an 8-bit sound of `samples` samples through the add button
  // (`name` in UTF-8).
  void Import(const std::string& name, size_t samples) {
    std::string file = folder.Path(name + ".wav");
    WriteWave(file, 9765, std::vector<uint8_t>(samples, 0x90));
    window.audioPaths = {file};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  }
  void LoadRow(int row) {
    SelectOnly(fragments, row);
    NMHDR click = {};
    click.code = NM_DBLCLK;
    Notify(window, IDC_FRAGMENT_LIST, click);
  }
  void MarkRange(int start, int end) {
    HWND trackbar = window.GetItem(IDC_TRACKBAR);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, start);
    window.Command(ID_MARK_RANGE_START);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, end);
    window.Command(ID_MARK_RANGE_END);
  }
  std::wstring SelectedName() { return RowText(fragments, SelectedRowOf(fragments)); }
  // A drag as the list view and the mouse report it: the row's own point, then
  // moves and the release in the main window's client coordinates.
  void BeginDrag(int listId, int row) {
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    ::SendMessageW(window.GetItem(listId), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    NMLISTVIEW info = {};
    info.hdr.code = LVN_BEGINDRAG;
    info.iItem = row;
    info.ptAction = {bounds.left + 5, (bounds.top + bounds.bottom) / 2};
    Notify(window, listId, info.hdr);
  }
  // A point of the playlist near the top of `row` (or below the last row).
  POINT PlaylistPoint(int row) {
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    int count = RowCount(playlist);
    ::SendMessageW(playlist, LVM_GETITEMRECT, row < count ? row : count - 1,
                   reinterpret_cast<LPARAM>(&bounds));
    POINT point = {bounds.left + 10, row < count ? bounds.top + 2 : bounds.bottom + 4};
    ::MapWindowPoints(playlist, window.GetHwnd(), &point, 1);
    return point;
  }
  void MoveAndDrop(POINT point) {
    ::SendMessageW(window.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    ::SendMessageW(window.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  }

  ScratchFolder folder;
  std::string path;
  TestMainDlg window;
  HWND fragments = nullptr;
  HWND playlist = nullptr;
};

TEST_F(MainWindowPanelsTest, PanelsShowTheProfile) {
  EXPECT_EQ((std::vector<LPARAM>{0, 2, 5}), RowsData(fragments));
  EXPECT_EQ(L"Гудок", RowText(fragments, 0));
  EXPECT_EQ(L"01.000", RowText(fragments, 0, 1));
  EXPECT_EQ(L"13.422", RowText(fragments, 2, 1));
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2}), RowsData(playlist));
  EXPECT_EQ(L"Тревога", RowText(playlist, 0));
  for (int button = 0; button < 4; ++button)
    EXPECT_EQ(kAllThree, EntriesData(Combo(button))) << button;
  EXPECT_EQ(L"Сирена", ShownEntry(Combo(0)));
  EXPECT_EQ(Text(IDS_BUTTON_UNUSED), ShownEntry(Combo(1)));
  EXPECT_EQ(L"Тревога", ShownEntry(Combo(2)));
  EXPECT_EQ(Text(IDS_BUTTON_UNUSED), ShownEntry(Combo(3))) << "a binding to no shown fragment";
  EXPECT_EQ(3, window.MemoryView().GetBandCount());

  Select(fragments, 2);
  EXPECT_EQ(2, window.MemoryView().GetContent().selectedBand);
}

TEST_F(MainWindowPanelsTest, DeletingAFragmentRenumbersEverything) {
  Select(fragments, 1);
  window.answers = {IDNO};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_DELETE_FRAGMENT_PROMPT).c_str(), L"Сирена"), window.boxes[0].text);
  EXPECT_EQ(3, RowCount(fragments)) << "No keeps the fragment";

  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  EXPECT_EQ((std::vector<LPARAM>{0, 4}), RowsData(fragments));
  EXPECT_EQ((std::vector<LPARAM>{4, 0}), RowsData(playlist));
  EXPECT_EQ(L"Тревога", RowText(playlist, 0));
  for (int button = 0; button < 4; ++button)
    EXPECT_EQ((std::vector<LPARAM>{-1, 0, 4}), EntriesData(Combo(button)));
  EXPECT_EQ(Text(IDS_BUTTON_UNUSED), ShownEntry(Combo(0))) << "its binding went with it";
  EXPECT_EQ(L"Тревога", ShownEntry(Combo(2)));
  EXPECT_EQ(4, window.GetProfile().GetButton(2));
  EXPECT_EQ(1, SelectedRowOf(fragments));
  EXPECT_EQ(2, window.MemoryView().GetBandCount());
  uint32_t address = 0, length = 0;
  ASSERT_TRUE(window.MemoryView().GetBand(1, address, length));
  EXPECT_EQ(0x20000u, address);
  EXPECT_TRUE(window.IsModified());

  // The last row: the new last row is selected.
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  EXPECT_EQ((std::vector<LPARAM>{0}), RowsData(fragments));
  EXPECT_EQ(0, SelectedRowOf(fragments));
}

TEST_F(MainWindowPanelsTest, DefragmentingKeepsWhatThePanelsShow) {
  window.Command(ID_DEFRAGMENT);
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ((std::vector<LPARAM>{0, 1, 2}), RowsData(fragments));
  EXPECT_EQ(L"Тревога", RowText(fragments, 2));
  EXPECT_EQ((std::vector<LPARAM>{2, 0, 1}), RowsData(playlist));
  EXPECT_EQ(L"Тревога", RowText(playlist, 0));
  EXPECT_EQ((std::vector<LPARAM>{-1, 0, 1, 2}), EntriesData(Combo(1)));
  EXPECT_EQ(L"Сирена", ShownEntry(Combo(0)));
  EXPECT_EQ(L"Тревога", ShownEntry(Combo(2)));
  EXPECT_EQ(9765u, window.GetProfile().GetFragment(1).start);
  uint32_t address = 0, length = 0;
  ASSERT_TRUE(window.MemoryView().GetBand(2, address, length));
  EXPECT_EQ(9765u + 500u, address);
  EXPECT_TRUE(window.IsModified());

  window.Command(ID_DEFRAGMENT);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(Text(IDS_NO_DEFRAGMENT_NEEDED), window.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), window.boxes[0].type);
}

TEST_F(MainWindowPanelsTest, RenamingUpdatesEveryPlaceTheNameShows) {
  wchar_t typed[] = L"  Новое имя \t";
  NMLVDISPINFOW info = {};
  info.hdr.code = LVN_ENDLABELEDITW;
  info.item.iItem = 2;
  info.item.pszText = typed;
  Notify(window, IDC_FRAGMENT_LIST, info.hdr);
  EXPECT_EQ(Narrow(L"Новое имя"), window.GetProfile().GetFragment(5).name);
  EXPECT_EQ(L"Новое имя", RowText(fragments, 2));
  EXPECT_EQ(L"Новое имя", RowText(playlist, 0));
  for (int button = 0; button < 4; ++button)
    EXPECT_EQ(kAllThree, EntriesData(Combo(button))) << button;
  EXPECT_EQ(L"Новое имя", ShownEntry(Combo(2))) << "still the binding";
  EXPECT_EQ(L"Сирена", ShownEntry(Combo(0)));
  EXPECT_TRUE(window.IsModified());

  window.SetModified(false);
  wchar_t blank[] = L"   ";
  info.item.pszText = blank;
  EXPECT_EQ(0, Notify(window, IDC_FRAGMENT_LIST, info.hdr));
  EXPECT_EQ(Narrow(L"Новое имя"), window.GetProfile().GetFragment(5).name);
  EXPECT_FALSE(window.IsModified());
}

// Ctrl+Z typed while a fragment is renamed belongs to the edit box: it
// undoes no cut of a fragment.
TEST_F(MainWindowPanelsTest, KeysTypedIntoARenameAreNotShortcuts) {
  LoadRow(1);
  MarkRange(100, 200);
  window.Command(ID_DELETE_RANGE);
  HWND edit = reinterpret_cast<HWND>(::SendMessageW(fragments, LVM_EDITLABELW, 1, 0));
  ASSERT_NE(nullptr, edit);
  BYTE keys[256] = {};
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  MSG ctrlZ = {edit, WM_KEYDOWN, 'Z', 0, 0, {}};
  window.PreTranslateMessage(&ctrlZ);  // as the message loop offers it
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  EXPECT_TRUE(window.GetDocument().CanUndo());
}

// As after a Read, every slot and the playlist are in step with the siren.
// Deleting fragment 0 moves fragment 2 into slot 1 (shown in row 0), whose
// entry on the siren is another: Play on the siren asks first.
TEST_F(MainWindowPanelsTest, PlayOnTheSirenAsksForAFragmentThatChangedSlot) {
  for (int slot = 0; slot < kMaxFragments; ++slot)
    window.GetProfile().SetFragmentSynced(slot, true);
  SelectOnly(fragments, 0);
  window.answers = {IDYES, IDNO};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  window.Command(ID_PLAY_FRAGMENT_ON_SIREN);
  ASSERT_EQ(2u, window.boxes.size());
  EXPECT_EQ(Text(IDS_FRAGMENT_NOT_SYNCED_PROMPT), window.boxes[1].text);
}

TEST_F(MainWindowPanelsTest, TheAddButtonOffersEveryFragmentAndRefusesASeventeenthEntry) {
  window.popupChoice = 2 + 1;  // fragment 2
  window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  EXPECT_EQ((std::vector<std::wstring>{L"Гудок", L"Сирена", L"Тревога"}), window.popupItems);
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2, 2}), RowsData(playlist));
  EXPECT_EQ(3, SelectedRowOf(playlist));
  EXPECT_EQ(2, window.GetProfile().GetPlaylistEntry(3));
  EXPECT_TRUE(window.IsModified());

  window.popupChoice = 0;  // dismissed
  window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  EXPECT_EQ(4, RowCount(playlist));

  window.popupChoice = 1;
  for (int i = 4; i < 16; ++i) window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  EXPECT_EQ(16, RowCount(playlist));
  EXPECT_FALSE(window.ControlEnabled(IDC_ADD_TO_PLAYLIST));
  NMLVKEYDOWN key = {};
  key.hdr.code = LVN_KEYDOWN;
  key.wVKey = VK_INSERT;
  Notify(window, IDC_PLAYLIST, key.hdr);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_PLAYLIST_FULL).c_str(), 16), window.boxes[0].text);
}

TEST_F(MainWindowPanelsTest, DeleteKeyRemovesThePlaylistEntry) {
  Select(playlist, 1);
  NMLVKEYDOWN key = {};
  key.hdr.code = LVN_KEYDOWN;
  key.wVKey = VK_DELETE;
  Notify(window, IDC_PLAYLIST, key.hdr);
  EXPECT_EQ((std::vector<LPARAM>{5, 2}), RowsData(playlist));
  EXPECT_EQ(1, SelectedRowOf(playlist));
  EXPECT_EQ(255, window.GetProfile().GetPlaylistEntry(2));
  EXPECT_TRUE(window.IsModified());
}

TEST_F(MainWindowPanelsTest, AComboChoiceBindsTheButton) {
  ::SendMessageW(Combo(1), CB_SETCURSEL, 3, 0);
  ::SendMessageW(window.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_BUTTON2_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Combo(1)));
  EXPECT_EQ(5, window.GetProfile().GetButton(1));
  ::SendMessageW(Combo(1), CB_SETCURSEL, 0, 0);
  ::SendMessageW(window.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_BUTTON2_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Combo(1)));
  EXPECT_EQ(255, window.GetProfile().GetButton(1));
  EXPECT_TRUE(window.IsModified());
}

// A stored playlist 5, 8, 2: 8 ends it, so the panel shows one row; the 2
// behind it must not come back, and 8 must not become an entry.
class EndMarkTest : public MainWindowPanelsTest {
 protected:
  void Extend(BProfile& profile) override { profile.SetPlaylistEntry(1, 8); }
};

TEST_F(EndMarkTest, AddingToThePlaylistKeepsWhatThePanelShows) {
  window.popupChoice = 0 + 1;
  window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  EXPECT_EQ((std::vector<LPARAM>{5, 0}), RowsData(playlist));
  EXPECT_TRUE(PanelsMatchProfile(window));
}

TEST_F(EndMarkTest, DeletingAFragmentKeepsTheEndMarkAnEnd) {
  SelectOnly(fragments, 1);  // fragment 2
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  EXPECT_TRUE(PanelsMatchProfile(window));
}

// References to empty slots in the file: playlist entries naming slot 3 and
// slot 7 (positions 1 and 4) and button 1 on slot 4, besides the fixture's
// button 3 on 9. The window opened the file at start-up.
class HiddenReferenceTest : public MainWindowPanelsTest {
 protected:
  void Extend(BProfile& profile) override {
    profile.InsertPlaylistEntry(1, 3);
    profile.AppendPlaylistEntry(7);
    profile.SetButton(1, 4);
  }
  std::wstring DroppedLine(int positions, int buttons) {
    return FormatText(Text(IDS_DANGLING_REFERENCES_DROPPED).c_str(), positions, buttons);
  }
};

// They are taken out at start-up and on Open, said in the status log, and a
// save writes the profile the panels show: loaded again, nothing is dropped.
TEST_F(HiddenReferenceTest, AreDroppedShownAsDroppedAndNotSaved) {
  EXPECT_EQ(DroppedLine(2, 2), window.StatusLine(0));
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2}), RowsData(playlist));
  EXPECT_EQ(Text(IDS_BUTTON_UNUSED), ShownEntry(Combo(1)));
  EXPECT_EQ(kNone, window.GetProfile().GetButton(1));
  EXPECT_EQ(kNone, window.GetProfile().GetButton(3));
  EXPECT_TRUE(PanelsMatchProfile(window));

  std::string saved = folder.Path("saved.zpf");
  window.savePaths = {saved};
  window.Command(ID_FILE_SAVE_AS);
  BProfile reloaded;
  BDroppedReferences dropped;
  ASSERT_TRUE(reloaded.Load(saved, &dropped));
  EXPECT_TRUE(dropped.IsEmpty()) << "the saved file names no empty slot";
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    EXPECT_EQ(window.GetProfile().GetPlaylistEntry(position), reloaded.GetPlaylistEntry(position));
  for (int button = 0; button < kButtonCount; ++button)
    EXPECT_EQ(window.GetProfile().GetButton(button), reloaded.GetButton(button));

  // Opening the original file again drops them again; a clean file adds no line.
  window.openPaths = {path};
  window.Command(ID_FILE_OPEN);
  EXPECT_EQ(DroppedLine(2, 2), window.StatusLine(0));
  EXPECT_TRUE(PanelsMatchProfile(window));
  const int lines = window.StatusCount();
  window.openPaths = {saved};
  window.Command(ID_FILE_OPEN);
  EXPECT_EQ(lines, window.StatusCount());
  EXPECT_TRUE(PanelsMatchProfile(window));
}

TEST(MainWindowPanelsOddProfileTest, OddEntriesAreHiddenAndLongNamesShown) {
  DeleteSettingsKey();
  ScratchFolder folder;
  BProfile profile;
  BFragment hidden;
  hidden.name = "hidden";
  hidden.start = 0x40000;  // not a valid address: no fragment
  hidden.length = 10;
  profile.SetFragment(0, hidden);
  BFragment longName;
  longName.name = std::string(255, 'x');
  longName.start = 100;
  longName.length = 50;
  profile.SetFragment(1, longName);
  profile.SetPlaylistEntry(0, 1);
  profile.SetPlaylistEntry(1, 9);  // 8 or more ends the playlist
  profile.SetPlaylistEntry(2, 1);
  profile.SetButton(0, 0);  // bound to the hidden entry
  std::string path = folder.Path("odd.zpf");
  ASSERT_TRUE(profile.Save(path));
  WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  HWND fragments = window.GetItem(IDC_FRAGMENT_LIST);
  EXPECT_EQ((std::vector<LPARAM>{1}), RowsData(fragments));
  EXPECT_EQ(std::wstring(255, L'x'), RowText(fragments, 0));
  EXPECT_EQ((std::vector<LPARAM>{1}), RowsData(window.GetItem(IDC_PLAYLIST)));
  EXPECT_EQ(Text(IDS_BUTTON_UNUSED), ShownEntry(window.GetItem(IDC_BUTTON1_COMBO)));
  EXPECT_EQ(1, window.MemoryView().GetBandCount());
  DeleteSettingsKey();
}

// A profile with holes (slots 0, 2 and 5): an import fills slot 1 and its row
// goes between them; a deletion renumbers by value; undo takes back the
// deletion (the fragment in its slot again) and then the cut; a
// defragmentation rebuilds the panels and keeps the selection on the same
// fragment. The panels equal the profile after every step.
TEST_F(MainWindowPanelsTest, ImportIntoAHoleDeleteUndoAndDefragmentKeepThePanelsOnTheProfile) {
  ASSERT_TRUE(PanelsMatchProfile(window));
  Import(Narrow(L"Новый"), 2000);
  ASSERT_EQ(2000u, window.GetProfile().GetFragment(1).length) << "the first empty slot";
  EXPECT_EQ((std::vector<LPARAM>{0, 1, 2, 5}), RowsData(fragments));
  EXPECT_EQ(L"Новый", SelectedName());
  ASSERT_TRUE(PanelsMatchProfile(window));

  LoadRow(1);
  MarkRange(100, 600);
  window.Command(ID_DELETE_RANGE);
  EXPECT_EQ(1500u, window.GetProfile().GetFragment(1).length);
  ASSERT_TRUE(PanelsMatchProfile(window));

  SelectOnly(fragments, 2);  // "Сирена", slot 2
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  EXPECT_EQ((std::vector<LPARAM>{0, 1, 4}), RowsData(fragments));
  EXPECT_EQ(L"Новый", RowText(fragments, 1)) << "the imported row still names its fragment";
  ASSERT_TRUE(PanelsMatchProfile(window));

  window.Command(ID_EDIT_UNDO);  // the deletion is taken back first, with its slot
  EXPECT_EQ((std::vector<LPARAM>{0, 1, 2, 5}), RowsData(fragments));
  EXPECT_EQ(L"Сирена", RowText(fragments, 2));
  ASSERT_TRUE(PanelsMatchProfile(window));
  window.Command(ID_EDIT_UNDO);
  EXPECT_EQ(2000u, window.GetProfile().GetFragment(1).length) << "the cut came back";
  ASSERT_TRUE(PanelsMatchProfile(window));

  SelectOnly(fragments, 3);  // "Тревога", slot 5
  window.Command(ID_DEFRAGMENT);
  EXPECT_EQ((std::vector<LPARAM>{0, 1, 2, 3}), RowsData(fragments));
  EXPECT_EQ(L"Тревога", SelectedName());
}

// The playlist is playing when the user removes row 2: that row goes, not
// the row the stopped player selects.
TEST_F(MainWindowPanelsTest, RemovingWhileThePlaylistPlaysRemovesTheChosenRow) {
  window.Command(IDC_PLAY_PLAYLIST, BN_CLICKED);
  SelectOnly(playlist, 2);
  window.Command(IDC_REMOVE_FROM_PLAYLIST, BN_CLICKED);
  EXPECT_EQ((std::vector<LPARAM>{5, 0}), RowsData(playlist));
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_TRUE(PanelsMatchProfile(window));
}

// Random edits in any order, drags with a key pressed on the way, and values
// behind the playlist's end mark (as stored files have them) before an append
// or a deletion; after every step the panels show the profile.
TEST_F(MainWindowPanelsTest, EditsInAnyOrderKeepThePanelsOnTheProfile) {
  ::ShowWindow(window.GetHwnd(), SW_SHOWNA);  // for the drags' mouse capture
  std::mt19937 random(11);
  auto pick = [&](int count) { return static_cast<int>(random() % count); };
  for (int step = 0; step < 300; ++step) {
    int fragmentRows = RowCount(fragments);
    int playlistRows = RowCount(playlist);
    int action = pick(12);
    switch (action) {
      case 0:
        Import("s" + std::to_string(step), 200 + pick(3000));
        break;
      case 1:
        if (fragmentRows == 0) break;
        SelectOnly(fragments, pick(fragmentRows));
        window.answers = {IDYES};
        window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
        break;
      case 2:
        window.Command(ID_DEFRAGMENT);
        break;
      case 3:
        window.Command(pick(2) ? ID_EDIT_UNDO : ID_EDIT_REDO);
        break;
      case 4:
        if (fragmentRows == 0) break;
        LoadRow(pick(fragmentRows));
        MarkRange(pick(50), 50 + pick(400));
        window.Command(ID_DELETE_RANGE);
        break;
      case 5:
        if (fragmentRows == 0) break;
        window.popupChoice = static_cast<int>(RowsData(fragments)[pick(fragmentRows)]) + 1;
        window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
        break;
      case 6:
        if (playlistRows == 0) break;
        if (pick(2)) window.Command(IDC_PLAY_PLAYLIST, BN_CLICKED);
        SelectOnly(playlist, pick(playlistRows));
        window.Command(IDC_REMOVE_FROM_PLAYLIST, BN_CLICKED);
        break;
      case 7: {
        int button = pick(4);
        ::SendMessageW(Combo(button), CB_SETCURSEL, pick(fragmentRows + 1), 0);
        ::SendMessageW(window.GetHwnd(), WM_COMMAND,
                       MAKEWPARAM(IDC_BUTTON1_COMBO + button, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(Combo(button)));
        break;
      }
      case 8: {
        if (fragmentRows == 0) break;
        std::wstring name = L"имя " + std::to_wstring(step);
        NMLVDISPINFOW info = {};
        info.hdr.code = LVN_ENDLABELEDITW;
        info.item.iItem = pick(fragmentRows);
        info.item.pszText = &name[0];
        Notify(window, IDC_FRAGMENT_LIST, info.hdr);
        break;
      }
      case 9: {
        bool fromPlaylist = playlistRows > 0 && pick(2);
        int row = pick(std::max(fromPlaylist ? playlistRows : fragmentRows, 1));
        SelectOnly(fromPlaylist ? playlist : fragments, row);
        BeginDrag(fromPlaylist ? IDC_PLAYLIST : IDC_FRAGMENT_LIST, row);
        window.answers = {IDYES};
        if (pick(2)) ::SendMessageW(pick(2) ? playlist : fragments, WM_KEYDOWN, VK_DELETE, 0);
        MoveAndDrop(PlaylistPoint(pick(RowCount(playlist) + 1)));
        break;
      }
      case 10: {
        int length = window.GetProfile().PlaylistLength();
        if (fragmentRows == 0 || RowsData(fragments)[0] >= 8 || length > 13) break;
        window.GetProfile().SetPlaylistEntry(length, static_cast<uint8_t>(8 + pick(8)));
        window.GetProfile().SetPlaylistEntry(length + 1, static_cast<uint8_t>(pick(8)));
        window.popupChoice = static_cast<int>(RowsData(fragments)[0]) + 1;
        SelectOnly(fragments, pick(fragmentRows));
        window.answers = {IDYES};
        window.Command(pick(2) ? IDC_ADD_TO_PLAYLIST : IDC_DELETE_FRAGMENT, BN_CLICKED);
        break;
      }
      default:
        PumpMessagesUntil([] { return false; }, 5);
    }
    window.boxes.clear();  // "too many fragments" and the like
    window.answers.clear();
    ASSERT_TRUE(PanelsMatchProfile(window)) << "step " << step << ", action " << action;
  }
}

class DragTest : public MainWindowPanelsTest {
 protected:
  void SetUp() override {
    MainWindowPanelsTest::SetUp();
    ::ShowWindow(window.GetHwnd(), SW_SHOWNA);  // the mouse capture needs a shown window
  }
};

TEST_F(DragTest, AFragmentDroppedOnThePlaylistIsInsertedThere) {
  BeginDrag(IDC_FRAGMENT_LIST, 0);
  MoveAndDrop(PlaylistPoint(1));
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 0, 2}), RowsData(playlist));
  EXPECT_EQ(1, SelectedRowOf(playlist));
  EXPECT_EQ(0, window.GetProfile().GetPlaylistEntry(1));
  EXPECT_TRUE(window.IsModified());

  BeginDrag(IDC_FRAGMENT_LIST, 2);
  MoveAndDrop(PlaylistPoint(RowCount(playlist)));  // below the last row: appended
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 0, 2, 5}), RowsData(playlist));
}

TEST_F(DragTest, APlaylistRowMovesWithinThePlaylist) {
  BeginDrag(IDC_PLAYLIST, 0);
  MoveAndDrop(PlaylistPoint(1));  // directly below itself: nothing changes
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2}), RowsData(playlist));
  EXPECT_FALSE(window.IsModified());

  BeginDrag(IDC_PLAYLIST, 0);
  MoveAndDrop(PlaylistPoint(3));  // after the last row
  EXPECT_EQ((std::vector<LPARAM>{0, 2, 5}), RowsData(playlist));
  EXPECT_EQ(2, SelectedRowOf(playlist));
  EXPECT_EQ(5, window.GetProfile().GetPlaylistEntry(2));
  EXPECT_TRUE(window.IsModified());
}

TEST_F(DragTest, ADropOutsideThePlaylistChangesNothing) {
  BeginDrag(IDC_FRAGMENT_LIST, 1);
  RECT list;
  ::GetWindowRect(fragments, &list);
  POINT inside = {list.left + 20, list.top + 40};
  ::ScreenToClient(window.GetHwnd(), &inside);
  MoveAndDrop(inside);
  EXPECT_EQ(3, RowCount(playlist));
  EXPECT_FALSE(window.IsModified());
}

// A playlist of 16 rows: a row dropped below the last one becomes the last
// one, in the profile as on the screen.
TEST_F(DragTest, ARowMovesToTheEndOfAFullPlaylist) {
  window.popupChoice = 1;  // fragment 0
  for (int i = 3; i < 16; ++i) window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  ASSERT_EQ(16, RowCount(playlist));
  ::SendMessageW(playlist, LVM_ENSUREVISIBLE, 0, FALSE);
  BeginDrag(IDC_PLAYLIST, 2);  // fragment 2
  ::SendMessageW(playlist, LVM_ENSUREVISIBLE, 15, FALSE);
  MoveAndDrop(PlaylistPoint(16));
  EXPECT_EQ(2, window.GetProfile().GetPlaylistEntry(15));
  EXPECT_EQ(2, RowsData(playlist)[15]);
  EXPECT_TRUE(PanelsMatchProfile(window));
}

// Delete pressed while the last playlist row is dragged removes the row and
// ends the drag: the drop that follows moves nothing.
TEST_F(DragTest, ARowRemovedDuringItsDragIsNotDropped) {
  SelectOnly(playlist, 2);
  BeginDrag(IDC_PLAYLIST, 2);
  ::SendMessageW(playlist, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_FALSE(window.Dragging());
  MoveAndDrop(PlaylistPoint(0));
  EXPECT_EQ((std::vector<LPARAM>{5, 0}), RowsData(playlist));
  EXPECT_TRUE(PanelsMatchProfile(window));
}

// Escape during a drag ends the drag; the window stays and nothing changes.
TEST_F(DragTest, EscapeCancelsADrag) {
  BeginDrag(IDC_FRAGMENT_LIST, 0);
  POINT point = PlaylistPoint(1);
  ::SendMessageW(window.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
  window.Command(IDCANCEL, 0);
  ASSERT_NE(nullptr, window.GetHwnd()) << "Escape acted as Exit";
  EXPECT_FALSE(window.Dragging());
  EXPECT_NE(window.GetHwnd(), ::GetCapture());
  ::SendMessageW(window.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2}), RowsData(playlist));
  EXPECT_FALSE(window.IsModified());
}

// A fragment in slot 9: a playlist value of 8 or more would end the playlist,
// so neither the popup nor a drag puts it there.
class HighSlotTest : public DragTest {
 protected:
  void Extend(BProfile& profile) override { Place(profile, 9, 0x10000, 300, L"Девятый"); }
};

TEST_F(HighSlotTest, FragmentsInSlotsEightAndAboveStayOutOfThePlaylist) {
  window.popupChoice = 9 + 1;
  window.Command(IDC_ADD_TO_PLAYLIST, BN_CLICKED);
  EXPECT_EQ((std::vector<bool>{false, false, false, true}), window.popupGreyed);
  EXPECT_EQ(3, RowCount(playlist));

  BeginDrag(IDC_FRAGMENT_LIST, 3);
  POINT point = PlaylistPoint(1);
  ::SendMessageW(window.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
  EXPECT_EQ(::LoadCursorW(nullptr, IDC_NO), ::GetCursor());
  ::SendMessageW(window.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  EXPECT_EQ((std::vector<LPARAM>{5, 0, 2}), RowsData(playlist));
  EXPECT_FALSE(window.IsModified());
  EXPECT_TRUE(PanelsMatchProfile(window));
}

}  // namespace

// Every change can be taken back and done again, and the Edit menu names it:
// the deletion of a fragment that the playlist and a button use, a rename, an
// import, a playlist move and Defragment. After each undo the profile is as
// before the step (slots, names, bytes, playlist, bindings) and the panels
// show it; after the redo as after the step. A failed Open keeps the history.
TEST_F(MainWindowPanelsTest, EveryStepIsUndoneAndRedoneAndNamedInTheEditMenu) {
  ::ShowWindow(window.GetHwnd(), SW_SHOWNA);  // for the drag's mouse capture
  auto menuText = [&](UINT id) {
    wchar_t text[300] = {};
    ::GetMenuStringW(::GetMenu(window.GetHwnd()), id, text, 300, MF_BYCOMMAND);
    return std::wstring(text);
  };
  auto undoText = [&](UINT step, const wchar_t* name) {
    std::wstring what = FormatText(Text(step).c_str(), name);
    return FormatText(Text(IDS_UNDO_STEP).c_str(), what.c_str());
  };
  auto state = [&] {
    BProfile& profile = window.GetProfile();
    std::vector<std::string> names;
    for (int slot = 0; slot < kMaxFragments; ++slot)
      names.push_back(profile.GetFragment(slot).name + "@" +
                      std::to_string(profile.GetFragment(slot).start));
    for (int i = 0; i < kMaxPlaylistEntries; ++i)
      names.push_back("p" + std::to_string(profile.GetPlaylistEntry(i)));
    for (int b = 0; b < kButtonCount; ++b)
      names.push_back("b" + std::to_string(profile.GetButton(b)));
    names.push_back(std::string(profile.Image(), profile.Image() + kImageSize));
    return names;
  };
  auto undoAndRedo = [&](const std::vector<std::string>& before, const std::wstring& named) {
    std::vector<std::string> after = state();
    EXPECT_EQ(named, menuText(ID_EDIT_UNDO));
    window.Command(ID_EDIT_UNDO);
    EXPECT_TRUE(before == state()) << Narrow(named);
    EXPECT_TRUE(PanelsMatchProfile(window));
    window.Command(ID_EDIT_REDO);
    EXPECT_TRUE(after == state()) << Narrow(named);
    EXPECT_TRUE(PanelsMatchProfile(window));
  };

  std::vector<std::string> before = state();
  SelectOnly(fragments, 1);  // "Сирена", slot 2: playlist position 2, button 0
  window.answers = {IDYES};
  window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
  EXPECT_NE(2, window.GetProfile().GetButton(0));
  undoAndRedo(before, undoText(IDS_STEP_DELETE, L"Сирена"));
  window.Command(ID_EDIT_UNDO);
  EXPECT_EQ(2, window.GetProfile().GetButton(0)) << "the button names it again";
  EXPECT_EQ(2, window.GetProfile().GetPlaylistEntry(2)) << "so does the playlist";
  std::wstring redo = FormatText(Text(IDS_STEP_DELETE).c_str(), L"Сирена");
  EXPECT_EQ(FormatText(Text(IDS_REDO_STEP).c_str(), redo.c_str()), menuText(ID_EDIT_REDO));

  before = state();
  std::wstring name = L"Новое";
  NMLVDISPINFOW info = {};
  info.hdr.code = LVN_ENDLABELEDITW;
  info.item.iItem = 0;
  info.item.pszText = &name[0];
  Notify(window, IDC_FRAGMENT_LIST, info.hdr);
  undoAndRedo(before, undoText(IDS_STEP_RENAME, L"Гудок"));

  before = state();
  Import("added", 3000);
  undoAndRedo(before, undoText(IDS_STEP_IMPORT, L"added"));

  before = state();
  SelectOnly(playlist, 0);
  BeginDrag(IDC_PLAYLIST, 0);
  MoveAndDrop(PlaylistPoint(3));
  ASSERT_NE(before, state());
  undoAndRedo(before, undoText(IDS_STEP_PLAYLIST, L"Тревога"));

  before = state();
  window.Command(ID_DEFRAGMENT);
  undoAndRedo(before, undoText(IDS_STEP_DEFRAGMENT, L""));

  std::wstring last = menuText(ID_EDIT_UNDO);
  window.openPaths = {folder.Path("missing.zpf")};
  window.Command(ID_FILE_OPEN);
  EXPECT_EQ(last, menuText(ID_EDIT_UNDO)) << "a failed Open keeps the history";
  EXPECT_TRUE(window.GetDocument().CanUndo());
}
