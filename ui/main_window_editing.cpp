// Range editing and the edit history: marking, inverting and cancelling the
// range (the player panel's), deleting it, amplifying, undo and redo.
#include "main_window_base.h"

#include <commctrl.h>

#include "ui/amplifier_dlg.h"
#include "audio/durations.h"
#include "audio/gain.h"
#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

int BMainDlgBase::RowOfFragment(int fragment) const {
  for (int row = 0; row < RowCount(m_fragmentList); ++row)
    if (RowData(m_fragmentList, row) == fragment) return row;
  return -1;
}

// ---- The range ----------------------------------------------------------------

void BMainDlgBase::OnMarkRangeStart() { m_playerPanel.MarkRangeStart(); }

void BMainDlgBase::OnMarkRangeEnd() { m_playerPanel.MarkRangeEnd(); }

void BMainDlgBase::OnInvertRange() { m_playerPanel.InvertRange(); }

void BMainDlgBase::OnCancelRange() { m_playerPanel.CancelRange(); }

void BMainDlgBase::OnDeleteRange() {
  uint32_t start = 0, end = 0;
  if (!m_playerPanel.GetRange(start, end)) return;
  int row = SelectedRow(m_fragmentList);
  if (row < 0 || JobHoldsProfile()) return;
  int fragment = static_cast<int>(RowData(m_fragmentList, row));
  if (!PushUndo(fragment, true)) return;
  OnStop();
  ReleasePlayBuffer();
  m_profile.DeleteRange(fragment, m_profile.GetFragment(fragment).start + start, end - start);
  ShowRestoredFragment(fragment, row);
  SetModified(true);
}

// The fragment's band and duration as they are now, and the fragment back in the player.
void BMainDlgBase::ShowRestoredFragment(int fragment, int row) {
  const BFragment& changed = m_profile.GetFragment(fragment);
  m_memoryView.SetBand(row, changed.start, changed.length);
  SetRowText(m_fragmentList, row, 1, Widen(FragmentDurationText(changed.length)));
  SelectRow(m_fragmentList, row);
  ReloadEditedFragment();
  RepaintMemoryView();
}

// ---- Amplification ------------------------------------------------------------------

void BMainDlgBase::OnAmplify() {
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
  int row = SelectedRow(m_fragmentList);
  if (row < 0 || JobHoldsProfile()) return;
  int32_t gain = 0;
  if (!AskGain(offset, length, gain)) return;
  int fragment = static_cast<int>(RowData(m_fragmentList, row));
  if (!PushUndo(fragment, true)) {
    ReloadEditedFragment();  // the player drops the preview: the fragment stays as it was
    return;
  }
  OnStop();
  ReleasePlayBuffer();
  // Through the profile, which takes the fragment out of step with the siren.
  m_profile.ChangeFragmentBytes(fragment, offset, length, [gain](uint8_t* bytes, uint32_t count) {
    ApplyGainToSigned(bytes, count, gain);
  });
  SelectRow(m_fragmentList, row);
  ReloadEditedFragment();
  SetModified(true);
}

bool BMainDlgBase::AskGain(uint32_t offset, uint32_t length, int32_t& gain) {
  BAmplifierDlg dialog(*this, m_playerPanel.PreviewSamples(), offset, length);
  if (dialog.DoModal(GetInstance(), GetHwnd()) != IDOK) return false;
  gain = dialog.GetGain();
  return true;
}

// ---- The history ----------------------------------------------------------------------

void BMainDlgBase::ClearHistory() {
  m_history.Clear();
  EnableUndo(false);
  EnableRedo(false);
}

void BMainDlgBase::RenumberHistory(int deletedFragment) {
  m_history.RenumberHistory(deletedFragment);
  EnableUndo(true);
  EnableRedo(true);
}

bool BMainDlgBase::PushUndo(int fragment, bool clearRedo) {
  if (!m_history.PushUndo(m_profile, fragment, clearRedo)) {
    ShowMessage(IDS_MMIOERR_OUT_OF_MEMORY, MB_ICONERROR);
    return false;
  }
  EnableUndo(true);
  EnableRedo(true);
  return true;
}

void BMainDlgBase::PushRedo(int fragment) {
  m_history.PushRedo(m_profile, fragment);
  EnableRedo(true);
}

void BMainDlgBase::OnEditUndo() {
  if (!m_history.CanUndo() || JobHoldsProfile()) return;
  Undo();
  RepaintMemoryView();
}

void BMainDlgBase::OnEditRedo() {
  if (!m_history.CanRedo() || JobHoldsProfile()) return;
  Redo();
  RepaintMemoryView();
}

// The fragment's row, if shown, loses its player copy before its bytes change.
// A group (levelled fragments) may change the fragment in the player, whichever
// it is: the player is emptied first and shows the step's fragment after.
void BMainDlgBase::Undo() {
  const bool group = m_history.NextUndoIsGroup();
  if (group) ReleasePlayerCopies();
  int row = ReleasePlayerCopy(m_history.NextUndoFragment());
  const BHistoryStep step = m_history.Undo(m_profile);
  ShowHistoryStep(step, group ? RowOfFragment(step.fragment) : row);
}

void BMainDlgBase::Redo() {
  const bool group = m_history.NextRedoIsGroup();
  if (group) ReleasePlayerCopies();
  int row = ReleasePlayerCopy(m_history.NextRedoFragment());
  const BHistoryStep step = m_history.Redo(m_profile);
  ShowHistoryStep(step, group ? RowOfFragment(step.fragment) : row);
}

void BMainDlgBase::ReleasePlayerCopies() {
  OnStop();
  ReleasePlayBuffer();
}

int BMainDlgBase::ReleasePlayerCopy(int fragment) {
  int row = RowOfFragment(fragment);
  if (row >= 0) {
    OnStop();
    ReleasePlayBuffer();
  }
  return row;
}

// A restored fragment differs from the file now, whether or not it did
// before. A dropped step (its room now holds another fragment) is said in the
// status log; either way the fragment goes back into the player as it is.
void BMainDlgBase::ShowHistoryStep(const BHistoryStep& step, int row) {
  if (step.outcome == BHistoryOutcome::Restored) SetModified(true);
  if (step.outcome == BHistoryOutcome::WouldOverlap)
    ShowStatus(IDS_HISTORY_STEP_DROPPED, FragmentName(step.fragment).c_str());
  if (row >= 0 &&
      (step.outcome == BHistoryOutcome::Restored || step.outcome == BHistoryOutcome::WouldOverlap))
    ShowRestoredFragment(step.fragment, row);
  EnableUndo(true);
  EnableRedo(true);
}
