#include "profile_panels.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "audio/durations.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/list_controls.h"
#include "toolkit/ui_text.h"

namespace {
// Item data of the combo entry "Не используется".
const LPARAM kUnusedEntry = -1;
const int kNameColumnWidth = 150;
}  // namespace

void BProfilePanels::Attach(HWND window) {
  m_fragments = ::GetDlgItem(window, IDC_FRAGMENT_LIST);
  m_playlist = ::GetDlgItem(window, IDC_PLAYLIST);
  for (int button = 0; button < kButtonCount; ++button)
    m_combos[button] = ::GetDlgItem(window, IDC_BUTTON1_COMBO + button);
  SetupColumns();
}

void BProfilePanels::SetupColumns() {
  std::wstring name = LoadText(IDS_COLUMN_NAME);
  std::wstring duration = LoadText(IDS_COLUMN_DURATION);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = &name[0];
  column.cx = kNameColumnWidth;
  ::SendMessageW(m_fragments, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = &duration[0];
  column.cx = 0;
  ::SendMessageW(m_fragments, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
  ::SendMessageW(m_fragments, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);

  wchar_t empty[] = L"";
  column.pszText = empty;
  ::SendMessageW(m_playlist, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  ::SendMessageW(m_playlist, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);

  for (HWND list : {m_fragments, m_playlist})
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  ::SendMessageW(m_fragments, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP,
                 LVS_EX_HEADERDRAGDROP);
}

std::wstring BProfilePanels::FragmentName(int slot) const {
  return Widen(m_profile.GetFragment(slot).name);
}

void BProfilePanels::Clear() {
  ::SendMessageW(m_fragments, LVM_DELETEALLITEMS, 0, 0);
  ::SendMessageW(m_playlist, LVM_DELETEALLITEMS, 0, 0);
  for (HWND combo : m_combos) ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  m_memoryView.SetSelectedBand(-1);
  m_memoryView.ClearBands();
}

void BProfilePanels::Fill() {
  Clear();
  std::wstring unused = LoadText(IDS_BUTTON_UNUSED);
  for (HWND combo : m_combos) AppendEntry(combo, unused, kUnusedEntry);
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = m_profile.GetFragment(slot);
    if (!fragment.IsInUse()) continue;
    m_memoryView.AddBand(fragment.start, fragment.length);
    int row = InsertRow(m_fragments, RowCount(m_fragments), Widen(fragment.name), slot);
    SetRowText(m_fragments, row, 1, Widen(FragmentDurationText(fragment.length)));
    for (HWND combo : m_combos) AppendEntry(combo, Widen(fragment.name), slot);
  }
  ShowPlaylist(-1);
  ShowBindings();
}

// The playlist rows are rebuilt from the profile after every change of the
// playlist, so the panel never shows other entries than the profile holds.
void BProfilePanels::ShowPlaylist(int selected) {
  ::SendMessageW(m_playlist, LVM_DELETEALLITEMS, 0, 0);
  int length = m_profile.PlaylistLength();
  for (int position = 0; position < length; ++position) {
    uint8_t entry = m_profile.GetPlaylistEntry(position);
    InsertRow(m_playlist, position, FragmentName(entry), entry);
  }
  if (selected >= 0 && length > 0) SelectRow(m_playlist, std::min(selected, length - 1));
}

void BProfilePanels::ShowBindings() {
  for (int button = 0; button < kButtonCount; ++button) {
    HWND combo = ButtonCombo(button);
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
    int entry = FindEntryWithData(combo, m_profile.GetButton(button));
    if (entry >= 0) ::SendMessageW(combo, CB_SETCURSEL, entry, 0);
  }
}

uint8_t BProfilePanels::ChosenBinding(int button) const {
  HWND combo = ButtonCombo(button);
  int entry = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
  LPARAM data = entry < 0 ? kUnusedEntry : EntryData(combo, entry);
  return data == kUnusedEntry ? kNone : static_cast<uint8_t>(data);
}

bool BProfilePanels::ShowsSlotsInUse() const {
  int row = 0;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    if (!m_profile.GetFragment(slot).IsInUse()) continue;
    if (row >= RowCount(m_fragments) || RowData(m_fragments, row) != slot) return false;
    ++row;
  }
  return row == RowCount(m_fragments);
}

// While the rows are the same slots, only their texts and bands change, so
// the selection and the player stay.
void BProfilePanels::Sync() {
  int playlistRow = SelectedRow(m_playlist);
  if (!ShowsSlotsInUse()) {
    int selectedSlot = SelectedFragment();
    int selectedRow = SelectedRow(m_fragments);
    Fill();
    int row = RowOfFragment(selectedSlot);
    if (row < 0 && selectedRow >= 0 && RowCount(m_fragments) > 0)
      row = std::min(selectedRow, RowCount(m_fragments) - 1);
    if (row >= 0) SelectFragmentRow(row);
  } else {
    UpdateFragmentRows();
  }
  ShowPlaylist(playlistRow);
  ShowBindings();
  m_memoryView.Repaint();
}

void BProfilePanels::UpdateFragmentRows() {
  for (int row = 0; row < RowCount(m_fragments); ++row) {
    const int slot = SlotAtRow(row);
    const BFragment& fragment = m_profile.GetFragment(slot);
    SetRowText(m_fragments, row, 0, Widen(fragment.name));
    SetRowText(m_fragments, row, 1, Widen(FragmentDurationText(fragment.length)));
    m_memoryView.SetBand(row, fragment.start, fragment.length);
    for (HWND combo : m_combos) {
      int entry = FindEntryWithData(combo, slot);
      if (entry < 0) continue;
      ::SendMessageW(combo, CB_DELETESTRING, entry, 0);
      InsertEntry(combo, entry, Widen(fragment.name), slot);
    }
  }
}

int BProfilePanels::SelectedFragment() const { return SlotAtRow(SelectedRow(m_fragments)); }

int BProfilePanels::SelectedFragmentRow() const { return SelectedRow(m_fragments); }

int BProfilePanels::SlotAtRow(int row) const {
  return row < 0 ? -1 : static_cast<int>(RowData(m_fragments, row));
}

int BProfilePanels::RowOfFragment(int slot) const {
  for (int row = 0; row < RowCount(m_fragments); ++row)
    if (RowData(m_fragments, row) == slot) return row;
  return -1;
}

void BProfilePanels::SelectFragmentRow(int row) {
  SelectRow(m_fragments, row);
  m_memoryView.SetSelectedBand(row);
}

void BProfilePanels::ShowSelectedBand() { m_memoryView.SetSelectedBand(SelectedRow(m_fragments)); }

int BProfilePanels::SelectedPlaylistRow() const { return SelectedRow(m_playlist); }

void BProfilePanels::ShowHeardPlaylistRow(int row) {
  if (SelectedRow(m_playlist) != row) {
    for (int other = 0; other < RowCount(m_playlist); ++other) {
      LVITEMW item = {};
      item.stateMask = LVIS_SELECTED;
      ::SendMessageW(m_playlist, LVM_SETITEMSTATE, other, reinterpret_cast<LPARAM>(&item));
    }
    SelectRow(m_playlist, row);
  }
  m_memoryView.SetSelectedBand(RowOfFragment(static_cast<int>(RowData(m_playlist, row))));
}
