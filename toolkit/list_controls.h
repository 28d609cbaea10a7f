// Small operations on the list views and combo boxes of the main window, in
// the terms the panels use: rows and entries that carry a fragment index.
#pragma once

#include <windows.h>

#include <string>

// List views.
int RowCount(HWND list);
int InsertRow(HWND list, int row, const std::wstring& text, LPARAM data);
void SetRowText(HWND list, int row, int column, const std::wstring& text);
LPARAM RowData(HWND list, int row);
void SetRowData(HWND list, int row, LPARAM data);
int SelectedRow(HWND list);  // -1 for none
// Selects and focuses the row and scrolls it into view.
void SelectRow(HWND list, int row);

// Combo boxes.
int AppendEntry(HWND combo, const std::wstring& text, LPARAM data);
int InsertEntry(HWND combo, int entry, const std::wstring& text, LPARAM data);
LPARAM EntryData(HWND combo, int entry);
void SetEntryData(HWND combo, int entry, LPARAM data);
int FindEntryWithData(HWND combo, LPARAM data);  // -1 for none
