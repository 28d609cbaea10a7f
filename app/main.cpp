// Process entry: one instance per user session (a second start hands its
// profile to the first), common controls, the main window and its message
// loop.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/main_window.h"
#include "ui/resource.h"
#include "ui/running_instance.h"
#include "toolkit/ui_text.h"

namespace {

// How long a start waits for the window of another start that began just
// before it (a double-click on two profiles at once).
const DWORD kStartWaitMs = 5000;

void RunMessageLoop(CMessageFilter& filter) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (filter.PreTranslateMessage(&message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

// A second start hands its profile (if any) to the running window and ends.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::wstring profile = BRunningInstance::CommandLineProfile();
  if (HWND running = BRunningInstance::Find(kStartWaitMs)) {
    BRunningInstance::HandOver(running, profile);
    return 0;
  }

  // Every common control class the windows use: the list views, the progress
  // bar, and the trackbars and tooltips (the bar classes).
  INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                   ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  BMainDlg* window = new BMainDlg();
  window->SetStartProfile(Narrow(profile));
  if (!window->Create(instance, IDD_MAIN, nullptr)) {
    delete window;
    return 0;
  }
  ::ShowWindow(window->GetHwnd(), SW_SHOWDEFAULT);
  RunMessageLoop(*window);
  delete window;
  return 0;
}
