// A thin wrapper of a Win32 dialog window: creates the dialog from a template
// (modeless or modal) and hands every message to a virtual member. The
// template and the menu it names are taken in the language of the texts
// (platform/language_resources.h).
#pragma once

#include <windows.h>

class BDialogWindow {
 public:
  BDialogWindow() = default;
  virtual ~BDialogWindow();
  BDialogWindow(const BDialogWindow&) = delete;
  BDialogWindow& operator=(const BDialogWindow&) = delete;

  // Modeless: returns false when the window could not be created.
  bool Create(HINSTANCE instance, UINT templateId, HWND owner);
  // Modal: returns the end code given to EndDialog, or -1 on failure.
  INT_PTR DoModal(HINSTANCE instance, UINT templateId, HWND owner);
  void Destroy();

  HWND GetHwnd() const { return m_hwnd; }
  HINSTANCE GetInstance() const { return m_instance; }
  HWND GetItem(int id) const { return ::GetDlgItem(m_hwnd, id); }

 protected:
  // Handles one message. Returns true when it was handled; `result` is then
  // the value the dialog procedure returns (DWLP_MSGRESULT for notifications).
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

  // Called after the window is gone (WM_NCDESTROY), with the handle cleared.
  virtual void OnFinalMessage() {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void UseLanguageMenu();

  HWND m_hwnd = nullptr;
  HINSTANCE m_instance = nullptr;
  UINT m_menuId = 0;  // the menu the template names, 0 for none
};
