// The one check that the main window's panels show exactly what its profile
// holds: the fragment rows (slot order, index, name, duration) and their
// memory bands, all 16 playlist positions (the rows, then 255), and the four
// button combos with their item data and shown binding. A playlist entry or a
// binding that names a slot not in use (a hidden reference) never matches.
// Tests call it after every step of a sequence.
#pragma once

#include <gtest/gtest.h>

#include "test_main_window.h"

::testing::AssertionResult PanelsMatchProfile(TestMainDlg& window);

// The text of a list-view cell, as the user reads it.
std::wstring RowText(HWND list, int row, int column = 0);
