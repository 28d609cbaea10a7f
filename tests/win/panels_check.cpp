#include "panels_check.h"

#include <commctrl.h>

#include <vector>

#include "audio/durations.h"
#include "string_ids.h"

namespace {

int ListRows(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

LPARAM ListData(HWND list, int row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

std::wstring ListText(HWND list, int row, int column) {
  wchar_t text[300] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 300;
  ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

std::wstring ComboText(HWND combo, int entry) {
  wchar_t text[300] = {};
  ::SendMessageW(combo, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<int> SlotsInUse(const BProfile& profile) {
  std::vector<int> slots;
  for (int slot = 0; slot < kMaxFragments; ++slot)
    if (profile.GetFragment(slot).IsInUse()) slots.push_back(slot);
  return slots;
}

::testing::AssertionResult CheckFragmentRows(TestMainDlg& window, const std::vector<int>& slots) {
  const BProfile& profile = window.GetProfile();
  HWND list = window.GetItem(IDC_FRAGMENT_LIST);
  if (ListRows(list) != static_cast<int>(slots.size()))
    return ::testing::AssertionFailure()
           << ListRows(list) << " fragment rows for " << slots.size() << " fragments";
  if (window.MemoryView().GetBandCount() != static_cast<int>(slots.size()))
    return ::testing::AssertionFailure()
           << window.MemoryView().GetBandCount() << " bands for " << slots.size() << " fragments";
  for (int row = 0; row < static_cast<int>(slots.size()); ++row) {
    const BFragment& fragment = profile.GetFragment(slots[row]);
    uint32_t address = 0, length = 0;
    window.MemoryView().GetBand(row, address, length);
    if (ListData(list, row) != slots[row] || ListText(list, row, 0) != Widen(fragment.name) ||
        ListText(list, row, 1) != Widen(FragmentDurationText(fragment.length)) ||
        address != fragment.start || length != fragment.length)
      return ::testing::AssertionFailure()
             << "fragment row " << row << " shows index " << ListData(list, row) << " '"
             << Narrow(ListText(list, row, 0)) << "' " << Narrow(ListText(list, row, 1)) << " band "
             << address << "+" << length << "; slot " << slots[row] << " holds '" << fragment.name
             << "' " << fragment.start << "+" << fragment.length;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CheckPlaylistRows(TestMainDlg& window) {
  const BProfile& profile = window.GetProfile();
  HWND list = window.GetItem(IDC_PLAYLIST);
  int entries = 0;
  while (entries < kMaxPlaylistEntries && IsPlaylistReference(profile.GetPlaylistEntry(entries)))
    ++entries;
  if (ListRows(list) != entries)
    return ::testing::AssertionFailure()
           << ListRows(list) << " playlist rows for " << entries << " playlist entries";
  for (int row = 0; row < entries; ++row) {
    int entry = profile.GetPlaylistEntry(row);
    if (ListData(list, row) != entry ||
        ListText(list, row, 0) != Widen(profile.GetFragment(entry).name))
      return ::testing::AssertionFailure()
             << "playlist row " << row << " shows index " << ListData(list, row) << " '"
             << Narrow(ListText(list, row, 0)) << "'; the entry is " << entry;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CheckCombos(TestMainDlg& window, const std::vector<int>& slots) {
  const BProfile& profile = window.GetProfile();
  for (int button = 0; button < kButtonCount; ++button) {
    HWND combo = window.GetItem(IDC_BUTTON1_COMBO + button);
    int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    if (count != static_cast<int>(slots.size()) + 1)
      return ::testing::AssertionFailure()
             << "combo " << button << " has " << count << " entries for " << slots.size();
    if (::SendMessageW(combo, CB_GETITEMDATA, 0, 0) != -1 ||
        ComboText(combo, 0) != LoadText(::GetModuleHandleW(nullptr), IDS_BUTTON_UNUSED))
      return ::testing::AssertionFailure() << "combo " << button << " does not begin unused";
    int expectedSelection = 0;
    for (int k = 0; k < static_cast<int>(slots.size()); ++k) {
      LPARAM data = ::SendMessageW(combo, CB_GETITEMDATA, k + 1, 0);
      if (data != slots[k] || ComboText(combo, k + 1) != Widen(profile.GetFragment(slots[k]).name))
        return ::testing::AssertionFailure() << "combo " << button << " entry " << k + 1
                                             << " is index " << data << " for slot " << slots[k];
      if (profile.GetButton(button) == slots[k]) expectedSelection = k + 1;
    }
    int selection = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (selection != expectedSelection)
      return ::testing::AssertionFailure()
             << "combo " << button << " shows entry " << selection << " for binding "
             << int(profile.GetButton(button)) << " (entry " << expectedSelection << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult PanelsMatchProfile(TestMainDlg& window) {
  std::vector<int> slots = SlotsInUse(window.GetProfile());
  ::testing::AssertionResult result = CheckFragmentRows(window, slots);
  if (result) result = CheckPlaylistRows(window);
  if (result) result = CheckCombos(window, slots);
  return result;
}
