#include "toolkit/list_controls.h"

#include <commctrl.h>

int RowCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int InsertRow(HWND list, int row, const std::wstring& text, LPARAM data) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  item.lParam = data;
  return static_cast<int>(
      ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetRowText(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

LPARAM RowData(HWND list, int row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
  return item.lParam;
}

void SetRowData(HWND list, int row, LPARAM data) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int SelectedRow(HWND list) {
  return static_cast<int>(
      ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectRow(HWND list, int row) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  ::SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

int AppendEntry(HWND combo, const std::wstring& text, LPARAM data) {
  int entry = static_cast<int>(
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  if (entry >= 0) ::SendMessageW(combo, CB_SETITEMDATA, entry, data);
  return entry;
}

int InsertEntry(HWND combo, int entry, const std::wstring& text, LPARAM data) {
  int inserted = static_cast<int>(
      ::SendMessageW(combo, CB_INSERTSTRING, entry, reinterpret_cast<LPARAM>(text.c_str())));
  if (inserted >= 0) ::SendMessageW(combo, CB_SETITEMDATA, inserted, data);
  return inserted;
}

LPARAM EntryData(HWND combo, int entry) { return ::SendMessageW(combo, CB_GETITEMDATA, entry, 0); }

void SetEntryData(HWND combo, int entry, LPARAM data) {
  ::SendMessageW(combo, CB_SETITEMDATA, entry, data);
}

int FindEntryWithData(HWND combo, LPARAM data) {
  int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int entry = 0; entry < count; ++entry)
    if (EntryData(combo, entry) == data) return entry;
  return -1;
}
