// Editing the profile: the range, the gain, deleting a fragment, Defragment,
// the playlist and the buttons, renaming, undo and redo, and the document's
// view. Each edit is one operation of the document; the window takes the
// user's choice from the panels and lets the player go first.
#include "main_window.h"

#include <optional>
#include <utility>

#include "audio/gain.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

bool BMainDlg::JobHoldsProfile() {
  if (!m_siren.Link().IsJobRunning()) return false;
  ShowStatus(IDS_PROFILE_HELD_BY_JOB);
  return true;
}

void BMainDlg::ReleasePlayerCopies() {
  OnStop();
  m_playerPanel.Release();
}

void BMainDlg::OnDeleteRange() {
  uint32_t start = 0, end = 0;
  if (!m_playerPanel.GetRange(start, end)) return;
  int row = m_panels.SelectedFragmentRow();
  if (row < 0 || JobHoldsProfile()) return;
  int slot = m_panels.SlotAtRow(row);
  ReleasePlayerCopies();
  m_document.DeleteRange(slot, m_profile.GetFragment(slot).start + start, end - start);
  m_panels.SelectFragmentRow(row);
  ReloadEditedFragment();
}

// The range, or the whole fragment, through the gain dialog.
void BMainDlg::OnAmplify() {
  const BPlayBuffer& sound = m_playerPanel.Buffer();
  if (sound.IsEmpty() || sound.Segments().empty()) return;
  uint32_t offset = 0;
  uint32_t length = sound.Segments().front().length;
  uint32_t start = 0, end = 0;
  if (m_playerPanel.GetRange(start, end)) {
    offset = start;
    length = end - start;
  }
  if (offset + length > sound.Length()) return;
  int row = m_panels.SelectedFragmentRow();
  if (row < 0 || JobHoldsProfile()) return;
  int32_t gain = 0;
  if (!m_prompts->AskGain(m_playerPanel.PreviewSamples(), offset, length, gain)) return;
  ReleasePlayerCopies();
  m_document.ChangeBytes(
      m_panels.SlotAtRow(row), offset, length,
      [gain](uint8_t* bytes, uint32_t count) { ApplyGainToSigned(bytes, count, gain); });
  m_panels.SelectFragmentRow(row);
  ReloadEditedFragment();
}

// The row below takes the selection, or the last one.
void BMainDlg::OnDeleteFragment() {
  int row = m_panels.SelectedFragmentRow();
  if (JobHoldsProfile()) return;
  EnablePlayer(false);
  if (row < 0) return;
  int slot = m_panels.SlotAtRow(row);
  if (ShowMessage(IDS_DELETE_FRAGMENT_PROMPT, MB_YESNO | MB_ICONWARNING,
                  m_panels.FragmentName(slot).c_str()) != IDYES)
    return;
  ReleasePlayerCopies();
  if (!m_document.DeleteFragment(slot)) return;
  int count = m_profile.CountFragments();
  if (count > 0) m_panels.SelectFragmentRow(row < count ? row : count - 1);
}

void BMainDlg::OnDefragment() {
  if (JobHoldsProfile()) return;
  if (!m_profile.NeedsDefragment()) {
    ShowMessage(IDS_NO_DEFRAGMENT_NEEDED, MB_ICONINFORMATION);
    return;
  }
  EnablePlayer(false);
  // Defragmenting keeps the order of the fragments: the selected one keeps
  // its row.
  int row = m_panels.SelectedFragmentRow();
  ReleasePlayerCopies();
  BDroppedReferences dropped;
  if (!m_document.Defragment(&dropped)) return;
  if (row >= 0) m_panels.SelectFragmentRow(row);
  OnFragmentSelChanged();
  ReportDroppedReferences(dropped);
}

// A line in the status log when Load or Defragment took out references to
// empty slots (nothing otherwise).
void BMainDlg::ReportDroppedReferences(const BDroppedReferences& dropped) {
  if (dropped.IsEmpty()) return;
  ShowStatus(IDS_DANGLING_REFERENCES_DROPPED, static_cast<int>(dropped.playlistPositions.size()),
             static_cast<int>(dropped.buttons.size()));
}

// ---- The playlist, the buttons, the names --------------------------------------

// A popup of the fragments; the chosen one is appended to the playlist. Only
// fragments in slots 0 to 7 can be: a playlist value of 8 or more ends it.
void BMainDlg::OnAddToPlaylist() {
  if (JobHoldsProfile()) return;
  if (m_profile.PlaylistLength() >= kMaxPlaylistEntries) {
    ShowMessage(IDS_PLAYLIST_FULL, MB_ICONERROR, kMaxPlaylistEntries);
    return;
  }
  if (m_profile.CountFragments() == 0) return;
  EnablePlayer(false);
  HMENU menu = ::CreatePopupMenu();
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    if (!m_profile.GetFragment(slot).IsInUse()) continue;
    UINT state = IsPlaylistReference(static_cast<uint8_t>(slot)) ? MF_ENABLED : MF_GRAYED;
    ::AppendMenuW(menu, MF_STRING | state, slot + 1, m_panels.FragmentName(slot).c_str());
  }
  int chosen = m_prompts->ChooseFromPopup(menu);
  if (chosen > 0 && m_document.AppendPlaylistEntry(chosen - 1))
    m_panels.ShowPlaylist(m_profile.PlaylistLength() - 1);
  ::DestroyMenu(menu);
}

// The row the user chose is taken first: stopping the player, which may be
// playing the playlist, moves the playlist's selection to the row heard.
void BMainDlg::OnRemoveFromPlaylist() {
  int row = m_panels.SelectedPlaylistRow();
  if (row < 0 || JobHoldsProfile()) return;
  EnablePlayer(false);
  if (!m_document.RemovePlaylistEntry(row)) return;
  m_panels.ShowPlaylist(row);
  m_memoryView.SetSelectedBand(-1);
}

bool BMainDlg::MayDragRows() {
  if (JobHoldsProfile()) return false;
  EnablePlayer(false);
  return true;
}

void BMainDlg::DropFragment(int position, int slot) {
  if (JobHoldsProfile()) return;
  if (m_profile.PlaylistLength() >= kMaxPlaylistEntries) {
    ShowMessage(IDS_PLAYLIST_FULL, MB_ICONERROR, kMaxPlaylistEntries);
    return;
  }
  if (m_document.InsertPlaylistEntry(position, slot)) m_panels.ShowPlaylist(position);
}

void BMainDlg::MovePlaylistRow(int from, int to) {
  if (JobHoldsProfile()) return;
  if (m_document.MovePlaylistEntry(from, to)) m_panels.ShowPlaylist(from < to ? to - 1 : to);
}

void BMainDlg::OnButtonComboChanged(int button) {
  if (JobHoldsProfile()) {
    m_panels.ShowBindings();
    return;
  }
  m_document.SetButton(button, m_panels.ChosenBinding(button));
}

// The row shows the name as stored (trimmed), so the edit itself is not taken over.
BOOL BMainDlg::OnFragmentLabelEdited(NMLVDISPINFOW* info) {
  if (info->item.iItem < 0 || info->item.pszText == nullptr) return FALSE;
  std::string name = Trim(Narrow(info->item.pszText));
  if (name.empty() || JobHoldsProfile()) return FALSE;
  m_document.RenameFragment(m_panels.SlotAtRow(info->item.iItem), name);
  return FALSE;
}

// ---- The history -----------------------------------------------------------------

// Any step may change the bytes the player holds: it lets go of them first,
// and shows the selected fragment as it is after the step.
void BMainDlg::OnEditUndo() {
  if (!m_document.CanUndo() || JobHoldsProfile()) return;
  ReleasePlayerCopies();
  m_document.Undo();
  if (m_panels.SelectedFragmentRow() >= 0) ReloadEditedFragment();
  RepaintMemoryView();
}

void BMainDlg::OnEditRedo() {
  if (!m_document.CanRedo() || JobHoldsProfile()) return;
  ReleasePlayerCopies();
  m_document.Redo();
  if (m_panels.SelectedFragmentRow() >= 0) ReloadEditedFragment();
  RepaintMemoryView();
}

std::wstring BMainDlg::StepText(const BStepName& step) const {
  static const UINT kTexts[] = {IDS_STEP_CUT,       IDS_STEP_GAIN,    IDS_STEP_DELETE,
                                IDS_STEP_IMPORT,    IDS_STEP_SIGNAL,  IDS_STEP_RENAME,
                                IDS_STEP_PLAYLIST,  IDS_STEP_BUTTONS, IDS_STEP_DEFRAGMENT,
                                IDS_STEP_LEVELLING, IDS_STEP_READ};
  UINT id = kTexts[static_cast<int>(step.kind)];
  return FormatText(LoadText(id).c_str(), Widen(step.fragmentName).c_str());
}

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
    ::SetMenuItemInfoW(::GetMenu(GetHwnd()), item.first, FALSE, &info);
  }
}

void BMainDlg::OnFragmentChanged(int) {
  m_panels.Sync();
  UpdateCommands();
}

void BMainDlg::OnProfileReplaced() {
  m_panels.Sync();
  UpdateCommands();
}

void BMainDlg::OnHistoryChanged() {
  UpdateTitle();
  ShowHistorySteps();
  UpdateCommands();
}
