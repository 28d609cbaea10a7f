// BWindowIcons: the icons of the main window: its own in the title bar and
// the task bar, and those of its small buttons. The window's icons live as
// long as this object; the buttons' are shared resources.
#pragma once

#include <windows.h>

class BWindowIcons {
 public:
  BWindowIcons() = default;
  ~BWindowIcons();
  BWindowIcons(const BWindowIcons&) = delete;
  BWindowIcons& operator=(const BWindowIcons&) = delete;

  void Apply(HINSTANCE instance, HWND window);
  // The play button shows play while stopped and pause while playing.
  void ShowPlayButton(bool stopped) const;

 private:
  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
  HICON m_big = nullptr;
  HICON m_small = nullptr;
};
