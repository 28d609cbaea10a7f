#include "panels_check.h"

#include <commctrl.h>

#include <sstream>

#include "audio/durations.h"
#include "toolkit/list_controls.h"
#include "string_ids.h"

std::wstring RowText(HWND list, int row, int column) {
  wchar_t text[300] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 300;
  ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

namespace {

// Both sides are written as the same lines: one per fragment (index, name,
// duration, band), per playlist row and free playlist position (all 16), and
// per combo (entries and the shown one).
std::wstring DescribePanels(TestMainDlg& window) {
  std::wostringstream text;
  HWND list = window.GetItem(IDC_FRAGMENT_LIST);
  for (int row = 0; row < RowCount(list); ++row) {
    uint32_t address = 0, length = 0;
    window.MemoryView().GetBand(row, address, length);
    text << L"fragment " << RowData(list, row) << L" " << RowText(list, row, 0) << L" "
         << RowText(list, row, 1) << L" at " << address << L"+" << length << L"\n";
  }
  if (window.MemoryView().GetBandCount() != RowCount(list))
    text << window.MemoryView().GetBandCount() << L" bands\n";
  HWND playlist = window.GetItem(IDC_PLAYLIST);
  for (int row = 0; row < RowCount(playlist); ++row)
    text << L"playlist " << RowData(playlist, row) << L" " << RowText(playlist, row, 0) << L"\n";
  for (int free = RowCount(playlist); free < kMaxPlaylistEntries; ++free) text << L"free 255\n";
  for (int button = 0; button < kButtonCount; ++button) {
    HWND combo = window.GetItem(IDC_BUTTON1_COMBO + button);
    text << L"button " << button << L":";
    int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int entry = 0; entry < count; ++entry) {
      wchar_t name[300] = {};
      ::SendMessageW(combo, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(name));
      text << L" " << ::SendMessageW(combo, CB_GETITEMDATA, entry, 0) << L"=" << name;
    }
    int shown = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    text << L" shows " << ::SendMessageW(combo, CB_GETITEMDATA, shown, 0) << L"\n";
  }
  return text.str();
}

std::wstring DescribeProfile(const BProfile& profile) {
  std::wostringstream text;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    if (!fragment.IsInUse()) continue;
    text << L"fragment " << slot << L" " << Widen(fragment.name) << L" "
         << Widen(FragmentDurationText(fragment.length)) << L" at " << fragment.start << L"+"
         << fragment.length << L"\n";
  }
  for (int position = 0; position < kMaxPlaylistEntries; ++position) {
    uint8_t entry = profile.GetPlaylistEntry(position);
    // An entry naming an empty slot is a hidden reference: no panel shows it so.
    if (position < profile.PlaylistLength())
      text << L"playlist " << int{entry} << L" "
           << (profile.GetFragment(entry).IsInUse() ? Widen(profile.GetFragment(entry).name)
                                                    : L"<empty slot>")
           << L"\n";
    else
      text << L"free " << int{entry} << L"\n";
  }
  for (int button = 0; button < kButtonCount; ++button) {
    text << L"button " << button << L": -1=" << LoadText(IDS_BUTTON_UNUSED);
    for (int slot = 0; slot < kMaxFragments; ++slot)
      if (profile.GetFragment(slot).IsInUse())
        text << L" " << slot << L"=" << Widen(profile.GetFragment(slot).name);
    // A binding to a slot not in use, kept while "unused" is shown, does not match.
    int binding = profile.GetButton(button);
    text << L" shows " << (binding == kNone ? -1 : binding) << L"\n";
  }
  return text.str();
}

// The failure message is read in a UTF-8 log.
std::string Utf8(const std::wstring& text) {
  int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length,
                        nullptr, nullptr);
  return bytes;
}

}  // namespace

::testing::AssertionResult PanelsMatchProfile(TestMainDlg& window) {
  std::wstring expected = DescribeProfile(window.GetProfile());
  std::wstring shown = DescribePanels(window);
  if (shown == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the profile holds\n"
                                       << Utf8(expected) << "the panels show\n"
                                       << Utf8(shown);
}
