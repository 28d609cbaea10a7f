#include "trackbar_watch.h"

#include <commctrl.h>

bool BTrackbarWatch::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
  // Every TBM_ message (the control's own range of WM_USER) and the input
  // that moves the thumb.
  bool trackbarMessage = message >= WM_USER && message < WM_USER + 0x100;
  bool input = message == WM_KEYDOWN || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP ||
               message == WM_MOUSEWHEEL || (message == WM_MOUSEMOVE && (wParam & MK_LBUTTON));
  if ((trackbarMessage || input) && m_onChange) m_onChange();
  return false;  // the trackbar handles it as always
}
