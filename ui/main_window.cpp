#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <utility>

#include "platform/language_resources.h"
#include "toolkit/list_controls.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"
#include "toolkit/wait_cursor.h"

BMainDlg::BMainDlg() {
  AddMenuRoutes();
  AddSirenExtraRoutes();
  AddSignalRoutes();
  AddConversionRoutes();
  AddLoudnessRoutes();
}

BMainDlg::~BMainDlg() {
  // Once attached, the port popup belongs to the menu bar and goes with it.
  if (m_portMenu != nullptr && !m_portMenuAttached && ::IsMenu(m_portMenu))
    ::DestroyMenu(m_portMenu);
}

void BMainDlg::AddMenuRoutes() {
  using W = BMainDlgBase;
  AddRoute({WM_DROPFILES, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnDropFiles(reinterpret_cast<HDROP>(wp));
              return 0;
            }});
  AddRoute({WM_COMMAND, ID_PORT_FIRST, ID_PORT_LAST, kAnyCode,
            [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnPortCommand(LOWORD(wp) - ID_PORT_FIRST);
              return 0;
            }});
  AddRoute({WM_COMMAND, ID_OTHER_PORT, ID_OTHER_PORT, kAnyCode,
            [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnOtherPort();
              return 0;
            }});
  AddRoute({WM_COMMAND, ID_LANGUAGE_RUSSIAN, ID_LANGUAGE_ENGLISH, kAnyCode,
            [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
              auto& window = static_cast<BMainDlg&>(w);
              window.m_languageMenu.Choose(LOWORD(wp), ::GetMenu(w.GetHwnd()), *window.m_prompts);
              return 0;
            }});
  AddRoute({WM_NOTIFY, 0, 0, static_cast<int>(TTN_GETDISPINFOW),
            [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
              return static_cast<BMainDlg&>(w).OnGetToolTipText(
                  reinterpret_cast<NMTTDISPINFOW*>(lp));
            }});
}

// While a fragment's name is being typed, Ctrl+Z, Ctrl+D and the other
// editing keys belong to the edit box, not to the window's commands.
BOOL BMainDlg::PreTranslateMessage(MSG* message) {
  bool renaming = ::SendMessageW(m_fragmentList, LVM_GETEDITCONTROL, 0, 0) != 0;
  if (m_accelerators != nullptr && !renaming &&
      ::TranslateAcceleratorW(GetHwnd(), m_accelerators, message))
    return TRUE;
  return BMainDlgBase::PreTranslateMessage(message);
}

BOOL BMainDlg::OnInitDialog() {
  AttachControls();
  CreateToolTips();
  m_accelerators = LoadLanguageAccelerators(GetInstance(), IDR_ACCELERATORS);
  SetButtonIcons();
  RememberSubmenus();
  LoadSettings();
  ApplyVerifySetting();
  ApplyConversionSetting();
  BuildPortMenu();
  m_languageMenu.ShowIn(::GetMenu(GetHwnd()));
  ::SendMessageW(m_fragmentList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP,
                 LVS_EX_HEADERDRAGDROP);
  return BMainDlgBase::OnInitDialog();
}

void BMainDlg::OnDestroy() {
  if (m_accelerators != nullptr) ::DestroyAcceleratorTable(m_accelerators);
  m_accelerators = nullptr;
  if (m_toolTip != nullptr) ::DestroyWindow(m_toolTip);
  m_toolTip = nullptr;
  BMainDlgBase::OnDestroy();
}

void BMainDlg::RememberSubmenus() {
  HMENU bar = ::GetMenu(GetHwnd());
  m_fileMenu = ::GetSubMenu(bar, 0);
  m_editMenu = ::GetSubMenu(bar, 1);
  m_connectionMenu = ::GetSubMenu(bar, 2);
  m_sirenMenu = ::GetSubMenu(bar, 3);
  m_portMenu = ::CreatePopupMenu();
}

void BMainDlg::EnableMenuItems(HMENU menu, std::initializer_list<UINT> ids, bool enable) {
  for (UINT id : ids) ::EnableMenuItem(menu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void BMainDlg::EnableFileCommands(bool enable) {
  EnableMenuItems(m_fileMenu, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS}, enable);
  BMainDlgBase::EnableFileCommands(enable);
}

void BMainDlg::EnableSirenCommands(bool enable) {
  EnableMenuItems(m_sirenMenu,
                  {ID_READ_SIREN, ID_WRITE_SIREN, ID_WRITE_CHANGES, ID_VERIFY_SIREN,
                   ID_PLAY_FRAGMENT_ON_SIREN, ID_PLAY_PLAYLIST_ON_SIREN, ID_STOP_ON_SIREN},
                  enable);
  BMainDlgBase::EnableSirenCommands(enable);
}

void BMainDlg::EnableAbort(bool enable) { EnableMenuItems(m_sirenMenu, {ID_ABORT}, enable); }

void BMainDlg::EnableEditing(bool enable) {
  EnableMenuItems(m_sirenMenu, {ID_DEFRAGMENT}, enable);
  BMainDlgBase::EnableEditing(enable);
}

void BMainDlg::EnableRangeCommands(bool enable) {
  EnableMenuItems(m_editMenu,
                  {ID_MARK_RANGE_START, ID_MARK_RANGE_END, ID_INVERT_RANGE, ID_CANCEL_RANGE,
                   ID_DELETE_RANGE, ID_AMPLIFY},
                  enable);
  BMainDlgBase::EnableRangeCommands(enable);
}

void BMainDlg::EnableUndo(bool enable) { EnableMenuItems(m_editMenu, {ID_EDIT_UNDO}, enable); }

void BMainDlg::EnableRedo(bool enable) { EnableMenuItems(m_editMenu, {ID_EDIT_REDO}, enable); }

// "Отменить: удаление «beep»": the items say what they would take back.
void BMainDlg::ShowHistorySteps() {
  std::optional<BStepName> undo = m_document.NextUndoName();
  std::optional<BStepName> redo = m_document.NextRedoName();
  std::wstring undoText = undo
                              ? FormatText(LoadText(IDS_UNDO_STEP).c_str(), StepText(*undo).c_str())
                              : LoadText(IDS_UNDO_NOTHING);
  std::wstring redoText = redo
                              ? FormatText(LoadText(IDS_REDO_STEP).c_str(), StepText(*redo).c_str())
                              : LoadText(IDS_REDO_NOTHING);
  for (auto item :
       {std::make_pair(ID_EDIT_UNDO, &undoText), std::make_pair(ID_EDIT_REDO, &redoText)}) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(item.second->c_str());
    ::SetMenuItemInfoW(m_editMenu, item.first, FALSE, &info);
  }
}

void BMainDlg::EnablePortMenu(bool enable) {
  for (size_t i = 0; i < m_portNames.size(); ++i)
    EnableMenuItems(m_portMenu, {static_cast<UINT>(ID_PORT_FIRST + i)}, enable);
  EnableMenuItems(m_portMenu, {ID_OTHER_PORT}, enable);
}

void BMainDlg::OnConnect() { m_link.OnConnect(m_settings.port); }

// The Connect command reads "Отключиться" while the port is open.
void BMainDlg::SetConnectCommandText(bool connected) {
  std::wstring text = LoadText(connected ? IDS_DISCONNECT : IDS_CONNECT);
  ::ModifyMenuW(m_connectionMenu, ID_CONNECT, MF_BYCOMMAND | MF_STRING, ID_CONNECT, text.c_str());
}

// A popup of the fragments; the chosen one is appended to the playlist. Only
// fragments in slots 0 to 7 can be: a playlist value of 8 or more ends it.
void BMainDlg::OnAddToPlaylist() {
  if (JobHoldsProfile()) return;
  if (RowCount(m_playlist) >= kMaxPlaylistEntries) {
    ShowMessage(IDS_PLAYLIST_FULL, MB_ICONERROR, kMaxPlaylistEntries);
    return;
  }
  int rows = RowCount(m_fragmentList);
  if (rows == 0) return;
  EnablePlayer(false);
  HMENU menu = ::CreatePopupMenu();
  for (int row = 0; row < rows; ++row) {
    int index = static_cast<int>(RowData(m_fragmentList, row));
    UINT state = IsPlaylistReference(static_cast<uint8_t>(index)) ? MF_ENABLED : MF_GRAYED;
    ::AppendMenuW(menu, MF_STRING | state, index + 1, FragmentName(index).c_str());
  }
  int chosen = m_prompts->ChooseFromPopup(menu);
  int index = chosen - 1;
  if (chosen > 0 && m_document.AppendPlaylistEntry(index))
    ShowPlaylist(m_profile.PlaylistLength() - 1);
  ::DestroyMenu(menu);
}

// The drop is always released; during a siren job nothing is imported.
void BMainDlg::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH] = {};
    ::DragQueryFileA(drop, i, path, MAX_PATH);
    paths.push_back(path);
  }
  ImportDroppedFiles(paths);
  ::DragFinish(drop);
}

// The import runs on this thread: the hourglass shows meanwhile.
bool BMainDlg::ImportFile(const std::string& path) {
  BWaitCursor wait;
  return BMainDlgBase::ImportFile(path);
}
