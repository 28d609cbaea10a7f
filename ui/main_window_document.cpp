// Deleting a fragment and defragmenting the memory, with the panels brought
// in line with the renumbered profile; the status line for references to
// empty slots that a load or a defragmentation took out; the rule that a
// siren job holds the profile.
#include "main_window_base.h"

#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

bool BMainDlgBase::JobHoldsProfile() {
  if (!m_link.IsJobRunning()) return false;
  ShowStatus(IDS_PROFILE_HELD_BY_JOB);
  return true;
}

// The row is taken before the player stops: stopping may move selections.
// The row below takes the selection, or the last one.
void BMainDlgBase::OnDeleteFragment() {
  int row = SelectedRow(m_fragmentList);
  if (JobHoldsProfile()) return;
  EnablePlayer(false);
  if (row < 0) return;
  int index = static_cast<int>(RowData(m_fragmentList, row));
  if (ShowMessage(IDS_DELETE_FRAGMENT_PROMPT, MB_YESNO | MB_ICONWARNING,
                  FragmentName(index).c_str()) != IDYES)
    return;
  ReleasePlayerCopies();
  if (!m_document.DeleteFragment(index)) return;
  int count = RowCount(m_fragmentList);
  if (count > 0) SelectFragmentRow(row < count ? row : count - 1);
}

void BMainDlgBase::OnDefragment() {
  if (JobHoldsProfile()) return;
  if (!m_profile.NeedsDefragment()) {
    ShowMessage(IDS_NO_DEFRAGMENT_NEEDED, MB_ICONINFORMATION);
    return;
  }
  EnablePlayer(false);
  // Defragmenting keeps the order of the fragments: the selected one becomes
  // the fragment numbered by how many fragments come before it.
  int selected = SelectedFragment();
  int selectedAfter = -1;
  for (int slot = 0; selected >= 0 && slot <= selected; ++slot)
    if (m_profile.GetFragment(slot).IsInUse()) ++selectedAfter;
  ReleasePlayerCopies();
  BDroppedReferences dropped;
  if (!m_document.Defragment(&dropped)) return;
  int row = RowOfFragment(selectedAfter);
  if (row >= 0) SelectFragmentRow(row);
  OnFragmentSelChanged();
  ReportDroppedReferences(dropped);
}

void BMainDlgBase::ReportDroppedReferences(const BDroppedReferences& dropped) {
  if (dropped.IsEmpty()) return;
  ShowStatus(IDS_DANGLING_REFERENCES_DROPPED, static_cast<int>(dropped.playlistPositions.size()),
             static_cast<int>(dropped.buttons.size()));
}
