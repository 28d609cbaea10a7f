// Status log, progress bar and the control part of the enabling operations.
#include "main_window_base.h"

#include <commctrl.h>

#include "model/command_rules.h"
#include "resource.h"
#include "toolkit/ui_text.h"

void BMainDlgBase::InsertStatusLine(const std::wstring& text, bool replaceNewest) {
  if (replaceNewest) ::SendMessageW(m_statusLog, CB_DELETESTRING, 0, 0);
  ::SendMessageW(m_statusLog, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  ::SendMessageW(m_statusLog, CB_SETCURSEL, 0, 0);
}

void BMainDlgBase::ShowStatusV(UINT stringId, va_list arguments) {
  InsertStatusLine(FormatTextV(LoadText(stringId).c_str(), arguments), false);
}

void BMainDlgBase::ShowStatusTextV(const wchar_t* format, va_list arguments) {
  InsertStatusLine(FormatTextV(format, arguments), false);
}

void BMainDlgBase::ReplaceStatusV(UINT stringId, va_list arguments) {
  InsertStatusLine(FormatTextV(LoadText(stringId).c_str(), arguments), true);
}

void BMainDlgBase::ReplaceStatusTextV(const wchar_t* format, va_list arguments) {
  InsertStatusLine(FormatTextV(format, arguments), true);
}

void BMainDlgBase::ShowStatus(UINT stringId, ...) {
  va_list arguments;
  va_start(arguments, stringId);
  ShowStatusV(stringId, arguments);
  va_end(arguments);
}

void BMainDlgBase::ShowStatusText(const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  ShowStatusTextV(format, arguments);
  va_end(arguments);
}

void BMainDlgBase::ReplaceStatus(UINT stringId, ...) {
  va_list arguments;
  va_start(arguments, stringId);
  ReplaceStatusV(stringId, arguments);
  va_end(arguments);
}

void BMainDlgBase::ReplaceStatusText(const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  ReplaceStatusTextV(format, arguments);
  va_end(arguments);
}

void BMainDlgBase::UpdateCommands() {
  BProgramState state;
  state.connected = m_link.IsConnected();
  state.jobRunning = m_link.IsJobRunning();
  state.abortable = m_link.IsAbortable();
  state.canUndo = m_document.CanUndo();
  state.canRedo = m_document.CanRedo();
  if (!state.jobRunning) {  // the job's worker writes the profile meanwhile
    state.fragments = m_profile.CountFragments();
    state.playlistLength = m_profile.PlaylistLength();
  }
  const BCommandSet commands = DecideCommands(state);
  EnableFileCommands(commands.fileCommands);
  EnableUndo(commands.undo);
  EnableRedo(commands.redo);
  EnableSirenCommands(commands.sirenCommands);
  EnableAbort(commands.abort);
  EnableEditing(commands.editing);
  EnableAddButtons(commands.addFragment, commands.addToPlaylist);
  EnablePortMenu(commands.portMenu);
}

void BMainDlgBase::EnableFileCommands(bool) {}

void BMainDlgBase::EnableSirenCommands(bool enable) {
  for (int id : {IDC_PLAY_FRAGMENT_ON_SIREN, IDC_STOP_ON_SIREN, IDC_PLAY_PLAYLIST_ON_SIREN,
                 IDC_STOP_PLAYLIST_ON_SIREN})
    EnableControl(id, enable);
}

void BMainDlgBase::EnableEditing(bool enable) {
  EnableControl(IDC_FRAGMENT_LIST, enable);
  EnableControl(IDC_PLAY_FRAGMENT, enable);
  EnableControl(IDC_DELETE_FRAGMENT, enable);
  EnableControl(IDC_PLAYLIST, enable);
  EnableControl(IDC_PLAY_PLAYLIST, enable);
  EnableControl(IDC_REMOVE_FROM_PLAYLIST, enable);
  for (int id = IDC_BUTTON1_COMBO; id <= IDC_BUTTON4_COMBO; ++id) EnableControl(id, enable);
}

// The trackbar's selection is the marked range; it is only offered while
// range commands are available.
void BMainDlgBase::EnableRangeCommands(bool enable) {
  LONG_PTR style = ::GetWindowLongPtrW(m_trackbar, GWL_STYLE);
  style =
      enable ? (style | TBS_ENABLESELRANGE) : (style & ~static_cast<LONG_PTR>(TBS_ENABLESELRANGE));
  ::SetWindowLongPtrW(m_trackbar, GWL_STYLE, style);
}

void BMainDlgBase::EnableAddButtons(bool addFragment, bool addToPlaylist) {
  EnableControl(IDC_ADD_FRAGMENT, addFragment);
  EnableControl(IDC_ADD_TO_PLAYLIST, addToPlaylist);
}
