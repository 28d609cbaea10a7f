// BToolTips: the tips of the main window's buttons and memory view. A
// disabled control gets no mouse messages, so the window itself is a tool
// too, and the control under the cursor is found by its place.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

class BToolTips {
 public:
  BToolTips() = default;
  ~BToolTips() { Destroy(); }
  BToolTips(const BToolTips&) = delete;
  BToolTips& operator=(const BToolTips&) = delete;

  void Create(HINSTANCE instance, HWND window);
  void Destroy();
  // The control whose tip to show for `tool` with the cursor at `screenPoint`, or 0.
  int ControlAt(HWND tool, POINT screenPoint) const;
  // TTN_GETDISPINFOW: the tip's string; the play button's says what it does now.
  void FillText(NMTTDISPINFOW* info, bool playing) const;

 private:
  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
  HWND m_toolTip = nullptr;
};
