// Deleting a fragment and defragmenting the memory, with the panels brought
// in line with the renumbered profile.
#include "main_window_base.h"

#include "list_controls.h"
#include "string_ids.h"
#include "ui_text.h"

void BMainDlgBase::OnDeleteFragment() {
  EnablePlayer(false);
  int row = SelectedRow(m_fragmentList);
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

// After fragment `index` (shown in `row`) was deleted: every later index is
// one lower in the lists, the combos and the memory view.
void BMainDlgBase::RemoveFragmentFromPanels(int row, int index) {
  ::SendMessageW(m_fragmentList, LVM_DELETEITEM, row, 0);
  m_memoryView.RemoveBand(row);
  for (int later = row; later < RowCount(m_fragmentList); ++later)
    SetRowData(m_fragmentList, later, RowData(m_fragmentList, later) - 1);
  for (int playlistRow = RowCount(m_playlist) - 1; playlistRow >= 0; --playlistRow) {
    LPARAM data = RowData(m_playlist, playlistRow);
    if (data == index)
      ::SendMessageW(m_playlist, LVM_DELETEITEM, playlistRow, 0);
    else if (data > index)
      SetRowData(m_playlist, playlistRow, data - 1);
  }
  int entries = static_cast<int>(::SendMessageW(ButtonCombo(0), CB_GETCOUNT, 0, 0));
  for (int entry = entries - 1; entry >= 0; --entry) {
    LPARAM data = EntryData(ButtonCombo(0), entry);  // the same in all four combos
    for (int button = 0; button < kButtonCount; ++button) {
      if (data == index)
        ::SendMessageW(ButtonCombo(button), CB_DELETESTRING, entry, 0);
      else if (data > index)
        SetEntryData(ButtonCombo(button), entry, data - 1);
    }
  }
  ShowBindings();
}

void BMainDlgBase::OnDefragment() {
  if (!m_profile.NeedsDefragment()) {
    ShowMessage(IDS_NO_DEFRAGMENT_NEEDED, MB_ICONINFORMATION);
    return;
  }
  EnablePlayer(false);
  m_profile.Defragment();
  ClearHistory();
  RenumberPanelsAfterDefragment();
  OnFragmentSelChanged();
  SetModified(true);
}

// Defragmenting keeps the order of the fragments: row i is now fragment i,
// and whatever referred to a row's old index refers to i.
void BMainDlgBase::RenumberPanelsAfterDefragment() {
  m_memoryView.ClearBands();
  int row = 0;
  for (int index = 0; index < kMaxFragments; ++index) {
    const BFragment& fragment = m_profile.GetFragment(index);
    if (!fragment.IsInUse()) continue;
    m_memoryView.AddBand(fragment.start, fragment.length);
    LPARAM old = RowData(m_fragmentList, row);
    SetRowData(m_fragmentList, row, index);
    if (old != index) {
      for (int playlistRow = 0; playlistRow < RowCount(m_playlist); ++playlistRow)
        if (RowData(m_playlist, playlistRow) == old) SetRowData(m_playlist, playlistRow, index);
      for (int button = 0; button < kButtonCount; ++button) {
        int entry = FindEntryWithData(ButtonCombo(button), old);
        if (entry >= 0) SetEntryData(ButtonCombo(button), entry, index);
      }
    }
    ++row;
  }
}
