// Range editing and the edit history: marking, inverting and cancelling the
// range (the player panel's), deleting it, amplifying, undo and redo.
#include "main_window_base.h"

#include <commctrl.h>

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
  ReleasePlayerCopies();
  m_document.DeleteRange(fragment, m_profile.GetFragment(fragment).start + start, end - start);
  SelectRow(m_fragmentList, row);
  ReloadEditedFragment();
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
  if (!m_prompts->AskGain(m_playerPanel.PreviewSamples(), offset, length, gain)) return;
  int fragment = static_cast<int>(RowData(m_fragmentList, row));
  ReleasePlayerCopies();
  m_document.ChangeBytes(fragment, offset, length, [gain](uint8_t* bytes, uint32_t count) {
    ApplyGainToSigned(bytes, count, gain);
  });
  SelectRow(m_fragmentList, row);
  ReloadEditedFragment();
}

// ---- The history ----------------------------------------------------------------------

void BMainDlgBase::ClearHistory() { m_document.ClearHistory(); }

// Any step may change the bytes the player holds: it lets go of them first,
// and shows the selected fragment as it is after the step.
void BMainDlgBase::OnEditUndo() {
  if (!m_document.CanUndo() || JobHoldsProfile()) return;
  ReleasePlayerCopies();
  m_document.Undo();
  if (SelectedRow(m_fragmentList) >= 0) ReloadEditedFragment();
  RepaintMemoryView();
}

void BMainDlgBase::OnEditRedo() {
  if (!m_document.CanRedo() || JobHoldsProfile()) return;
  ReleasePlayerCopies();
  m_document.Redo();
  if (SelectedRow(m_fragmentList) >= 0) ReloadEditedFragment();
  RepaintMemoryView();
}

void BMainDlgBase::ReleasePlayerCopies() {
  OnStop();
  ReleasePlayBuffer();
}

std::wstring BMainDlgBase::StepText(const BStepName& step) const {
  static const UINT kTexts[] = {IDS_STEP_CUT,      IDS_STEP_GAIN,    IDS_STEP_DELETE,
                                IDS_STEP_IMPORT,   IDS_STEP_SIGNAL,  IDS_STEP_RENAME,
                                IDS_STEP_PLAYLIST, IDS_STEP_BUTTONS, IDS_STEP_DEFRAGMENT,
                                IDS_STEP_LEVELLING};
  UINT id = kTexts[static_cast<int>(step.kind)];
  return FormatText(LoadText(id).c_str(), Widen(step.fragmentName).c_str());
}

// ---- The document's view ----------------------------------------------------------------

void BMainDlgBase::OnFragmentChanged(int) {
  SyncPanels();
  UpdateCommands();
}

void BMainDlgBase::OnProfileReplaced() {
  SyncPanels();
  UpdateCommands();
}

void BMainDlgBase::OnHistoryChanged() {
  UpdateTitle();
  ShowHistorySteps();
  UpdateCommands();
}
