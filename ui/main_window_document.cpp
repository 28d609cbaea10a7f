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
void BMainDlgBase::OnDeleteFragment() {
  int row = SelectedRow(m_fragmentList);
  if (JobHoldsProfile()) return;
  EnablePlayer(false);
  if (row < 0) return;
  int index = static_cast<int>(RowData(m_fragmentList, row));
  if (ShowMessage(IDS_DELETE_FRAGMENT_PROMPT, MB_YESNO | MB_ICONWARNING,
                  FragmentName(index).c_str()) != IDYES)
    return;
  RenumberHistory(index);
  m_profile.DeleteFragment(index);
  RemoveFragmentFromPanels(row, index);
  int count = RowCount(m_fragmentList);
  if (count > 0) SelectRow(m_fragmentList, row < count ? row : count - 1);
  UpdateAddFragmentButton(true);
  UpdateAddToPlaylistButton(true);
  SetModified(true);
}

// After fragment `index` (shown in `row`) was deleted: every index above it
// is one lower, by value, in the fragment list and the combos; its row, band
// and combo entries go; the playlist is shown as the profile renumbered it.
void BMainDlgBase::RemoveFragmentFromPanels(int row, int index) {
  ::SendMessageW(m_fragmentList, LVM_DELETEITEM, row, 0);
  m_memoryView.RemoveBand(row);
  for (int later = 0; later < RowCount(m_fragmentList); ++later) {
    LPARAM data = RowData(m_fragmentList, later);
    if (data > index) SetRowData(m_fragmentList, later, data - 1);
  }
  ShowPlaylist(SelectedRow(m_playlist));
  for (int button = 0; button < kButtonCount; ++button) {
    HWND combo = ButtonCombo(button);
    int entries = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int entry = entries - 1; entry >= 0; --entry) {
      LPARAM data = EntryData(combo, entry);
      if (data == index)
        ::SendMessageW(combo, CB_DELETESTRING, entry, 0);
      else if (data > index)
        SetEntryData(combo, entry, data - 1);
    }
  }
  ShowBindings();
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
  BDroppedReferences dropped = m_profile.Defragment();
  ClearHistory();
  RefillPanelsAfterDefragment(selectedAfter);
  OnFragmentSelChanged();
  ReportDroppedReferences(dropped);
  SetModified(true);
}

void BMainDlgBase::ReportDroppedReferences(const BDroppedReferences& dropped) {
  if (dropped.IsEmpty()) return;
  ShowStatus(IDS_DANGLING_REFERENCES_DROPPED, static_cast<int>(dropped.playlistPositions.size()),
             static_cast<int>(dropped.buttons.size()));
}

// The holes in the table are gone: the panels are built anew from the profile
// (row i is fragment i with its own name and duration), the fragment
// selection goes to `selected`, the playlist keeps its selected row.
void BMainDlgBase::RefillPanelsAfterDefragment(int selected) {
  int playlistRow = SelectedRow(m_playlist);
  FillPanels();
  int fragmentRow = RowOfFragment(selected);
  if (fragmentRow >= 0) SelectRow(m_fragmentList, fragmentRow);
  if (playlistRow >= 0 && playlistRow < RowCount(m_playlist)) SelectRow(m_playlist, playlistRow);
}
