// Process entry: one instance per user session, common controls, the main
// window and its message loop.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "ui/main_window.h"
#include "ui/resource.h"
#include "toolkit/ui_text.h"

namespace {

// Finds the first top-level window whose title begins with the program title.
BOOL CALLBACK FindRunningInstance(HWND hwnd, LPARAM found) {
  wchar_t title[256] = {};
  if (::GetWindowTextW(hwnd, title, 256) <= 0) return TRUE;
  if (std::wcsncmp(title, kProgramTitle, std::wcslen(kProgramTitle)) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

bool ActivateRunningInstance() {
  HWND running = nullptr;
  ::EnumWindows(FindRunningInstance, reinterpret_cast<LPARAM>(&running));
  if (running == nullptr) return false;
  ::SetForegroundWindow(running);
  return true;
}

void RunMessageLoop(CMessageFilter& filter) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (filter.PreTranslateMessage(&message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (ActivateRunningInstance()) return 0;

  // Every common control class the windows use: the list views, the progress
  // bar, and the trackbars and tooltips (the bar classes).
  INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                   ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  BMainDlg* window = new BMainDlg();
  if (!window->Create(instance, IDD_MAIN, nullptr)) {
    delete window;
    return 0;
  }
  ::ShowWindow(window->GetHwnd(), SW_SHOWDEFAULT);
  RunMessageLoop(*window);
  delete window;
  return 0;
}
