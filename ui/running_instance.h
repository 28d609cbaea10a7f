// BRunningInstance: one Sirelta window per user session. The main window
// marks itself with a window property; a second start finds it, hands it the
// profile named on its command line (WM_COPYDATA, UTF-16) and ends.
#pragma once

#include <windows.h>

#include <string>

class BRunningInstance {
 public:
  // Marks `window` as the program's main window (and unmarks it on destroy).
  static void Mark(HWND window);
  static void Unmark(HWND window);
  // The marked main window of a running instance, or nullptr. A start that
  // overlaps another one's waits up to `waitMs` for that window to appear.
  static HWND Find(DWORD waitMs);
  // Brings `window` forward and, when `path` is not empty, hands it the
  // path; false when the window did not take it within a few seconds.
  static bool HandOver(HWND window, const std::wstring& path);
  // The path of a WM_COPYDATA that HandOver sent; false for any other data.
  static bool ReadHandedPath(LPARAM copyData, std::string& path);
  // The full path of the profile named by the command line, or empty.
  static std::wstring CommandLineProfile();
};
