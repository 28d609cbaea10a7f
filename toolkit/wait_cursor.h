// Shows the hourglass while a long operation runs on the user-interface
// thread, and puts the previous cursor back when it goes out of scope.
#pragma once

#include <windows.h>

class BWaitCursor {
 public:
  BWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~BWaitCursor() { ::SetCursor(m_previous); }
  BWaitCursor(const BWaitCursor&) = delete;
  BWaitCursor& operator=(const BWaitCursor&) = delete;

 private:
  HCURSOR m_previous;
};
