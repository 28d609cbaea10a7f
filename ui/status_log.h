// BStatusLog: the main window's log of what happened, a drop-down list whose
// newest line is the first and the one shown.
#pragma once

#include <windows.h>

#include <string>

class BStatusLog {
 public:
  void Attach(HWND combo) { m_combo = combo; }
  void Show(const std::wstring& line) { Insert(line, false); }
  // Replaces the newest line (a count-down, say).
  void Replace(const std::wstring& line) { Insert(line, true); }
  void Clear();

 private:
  void Insert(const std::wstring& line, bool replaceNewest);

  HWND m_combo = nullptr;
};
