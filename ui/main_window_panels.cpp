// The panels: the fragment list, the playlist and the four button combos,
// filled from the profile and kept in step with it; renaming, binding,
// adding to and removing from the playlist.
#include "main_window_base.h"

#include <algorithm>

#include "audio/durations.h"
#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {
// Item data of the combo entry "Не используется".
const LPARAM kUnusedEntry = -1;
}  // namespace

std::wstring BMainDlgBase::FragmentName(int index) const {
  return Widen(m_profile.GetFragment(index).name);
}

void BMainDlgBase::ClearPanels() {
  ::SendMessageW(m_fragmentList, LVM_DELETEALLITEMS, 0, 0);
  ::SendMessageW(m_playlist, LVM_DELETEALLITEMS, 0, 0);
  for (int button = 0; button < kButtonCount; ++button)
    ::SendMessageW(ButtonCombo(button), CB_RESETCONTENT, 0, 0);
  m_memoryView.SetSelectedBand(-1);
  m_memoryView.ClearBands();
}

void BMainDlgBase::FillPanels() {
  ClearPanels();
  std::wstring unused = LoadText(IDS_BUTTON_UNUSED);
  for (int button = 0; button < kButtonCount; ++button)
    AppendEntry(ButtonCombo(button), unused, kUnusedEntry);
  for (int index = 0; index < kMaxFragments; ++index) {
    const BFragment& fragment = m_profile.GetFragment(index);
    if (!fragment.IsInUse()) continue;
    m_memoryView.AddBand(fragment.start, fragment.length);
    int row = InsertRow(m_fragmentList, RowCount(m_fragmentList), Widen(fragment.name), index);
    SetRowText(m_fragmentList, row, 1, Widen(FragmentDurationText(fragment.length)));
    for (int button = 0; button < kButtonCount; ++button)
      AppendEntry(ButtonCombo(button), Widen(fragment.name), index);
  }
  ShowPlaylist(-1);
  ShowBindings();
}

// The playlist rows are rebuilt from the profile after every change of the
// playlist, so the panel never shows other entries than the profile holds.
void BMainDlgBase::ShowPlaylist(int selected) {
  ::SendMessageW(m_playlist, LVM_DELETEALLITEMS, 0, 0);
  int length = m_profile.PlaylistLength();
  for (int position = 0; position < length; ++position) {
    uint8_t entry = m_profile.GetPlaylistEntry(position);
    InsertRow(m_playlist, position, FragmentName(entry), entry);
  }
  if (selected >= 0 && length > 0) SelectRow(m_playlist, std::min(selected, length - 1));
}

// Each combo shows its button's binding, or "Не используется" when the
// binding names no fragment that is shown.
void BMainDlgBase::ShowBindings() {
  for (int button = 0; button < kButtonCount; ++button) {
    HWND combo = ButtonCombo(button);
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
    int entry = FindEntryWithData(combo, m_profile.GetButton(button));
    if (entry >= 0) ::SendMessageW(combo, CB_SETCURSEL, entry, 0);
  }
}

void BMainDlgBase::OnButtonComboChanged(int button) {
  HWND combo = ButtonCombo(button);
  if (JobHoldsProfile()) {
    ShowBindings();
    return;
  }
  int entry = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
  if (entry < 0) return;
  m_document.SetButton(button, static_cast<uint8_t>(EntryData(combo, entry)));
}

// Rows follow the slots in use; while they are the same slots, only their
// texts and bands change, so the selection and the player stay.
void BMainDlgBase::SyncPanels() {
  std::vector<int> slots;
  for (int slot = 0; slot < kMaxFragments; ++slot)
    if (m_profile.GetFragment(slot).IsInUse()) slots.push_back(slot);
  bool sameRows = static_cast<int>(slots.size()) == RowCount(m_fragmentList);
  for (size_t row = 0; sameRows && row < slots.size(); ++row)
    sameRows = RowData(m_fragmentList, static_cast<int>(row)) == slots[row];
  int playlistRow = SelectedRow(m_playlist);
  if (!sameRows) {
    int selectedSlot = SelectedFragment();
    int selectedRow = SelectedRow(m_fragmentList);
    FillPanels();
    int row = RowOfFragment(selectedSlot);
    if (row < 0 && selectedRow >= 0 && RowCount(m_fragmentList) > 0)
      row = std::min(selectedRow, RowCount(m_fragmentList) - 1);
    if (row >= 0) SelectFragmentRow(row);
  } else {
    for (size_t row = 0; row < slots.size(); ++row) {
      const BFragment& fragment = m_profile.GetFragment(slots[row]);
      SetRowText(m_fragmentList, static_cast<int>(row), 0, Widen(fragment.name));
      SetRowText(m_fragmentList, static_cast<int>(row), 1,
                 Widen(FragmentDurationText(fragment.length)));
      m_memoryView.SetBand(static_cast<int>(row), fragment.start, fragment.length);
      for (int button = 0; button < kButtonCount; ++button) {
        HWND combo = ButtonCombo(button);
        int entry = FindEntryWithData(combo, slots[row]);
        if (entry < 0) continue;
        ::SendMessageW(combo, CB_DELETESTRING, entry, 0);
        ::SendMessageW(combo, CB_INSERTSTRING, entry,
                       reinterpret_cast<LPARAM>(Widen(fragment.name).c_str()));
        SetEntryData(combo, entry, slots[row]);
      }
    }
  }
  ShowPlaylist(playlistRow);
  ShowBindings();
  RepaintMemoryView();
}

void BMainDlgBase::SelectFragmentRow(int row) {
  SelectRow(m_fragmentList, row);
  m_memoryView.SetSelectedBand(row);
}

// The edit field takes no more than a profile can store.
BOOL BMainDlgBase::OnFragmentBeginLabelEdit(NMLVDISPINFOW*) {
  HWND edit = reinterpret_cast<HWND>(::SendMessageW(m_fragmentList, LVM_GETEDITCONTROL, 0, 0));
  if (edit != nullptr) ::SendMessageW(edit, EM_LIMITTEXT, kMaxNameLength, 0);
  return FALSE;
}

// The row shows the name as stored (trimmed), so the edit itself is not taken over.
BOOL BMainDlgBase::OnFragmentLabelEdited(NMLVDISPINFOW* info) {
  if (info->item.iItem < 0 || info->item.pszText == nullptr) return FALSE;
  std::string name = Trim(Narrow(info->item.pszText));
  if (name.empty() || JobHoldsProfile()) return FALSE;
  int index = static_cast<int>(RowData(m_fragmentList, info->item.iItem));
  m_document.RenameFragment(index, name);
  return FALSE;
}

void BMainDlgBase::OnFragmentKeyDown(NMLVKEYDOWN* key) {
  if (key->wVKey == VK_INSERT) OnAddFragment();
  if (key->wVKey == VK_DELETE) OnDeleteFragment();
}

void BMainDlgBase::OnPlaylistKeyDown(NMLVKEYDOWN* key) {
  if (key->wVKey == VK_INSERT) OnAddToPlaylist();
  if (key->wVKey == VK_DELETE) OnRemoveFromPlaylist();
}

void BMainDlgBase::OnFragmentSelChanged() {
  EnablePlayer(false);
  m_memoryView.SetSelectedBand(SelectedRow(m_fragmentList));
}

int BMainDlgBase::RowForSlot(int slot) const {
  int rows = RowCount(m_fragmentList);
  for (int row = 0; row < rows; ++row)
    if (RowData(m_fragmentList, row) > slot) return row;
  return rows;
}

// The row the user chose is taken first: stopping the player, which may be
// playing the playlist, moves the playlist's selection to the row heard.
void BMainDlgBase::OnRemoveFromPlaylist() {
  int row = SelectedRow(m_playlist);
  if (row < 0 || JobHoldsProfile()) return;
  EnablePlayer(false);
  if (!m_document.RemovePlaylistEntry(row)) return;
  ShowPlaylist(row);
  m_memoryView.SetSelectedBand(-1);
}
