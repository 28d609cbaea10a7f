#include "toolkit/dialog_window.h"

#include "platform/language_resources.h"

BDialogWindow::~BDialogWindow() { Destroy(); }

// The template is the one of the language of the texts; so is its menu (see
// DialogProc).
bool BDialogWindow::Create(HINSTANCE instance, UINT templateId, HWND owner) {
  m_instance = instance;
  LPCDLGTEMPLATEW dialogTemplate = LoadDialogTemplate(instance, templateId);
  if (dialogTemplate == nullptr) return false;
  m_menuId = DialogTemplateMenu(dialogTemplate);
  HWND hwnd = ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

INT_PTR BDialogWindow::DoModal(HINSTANCE instance, UINT templateId, HWND owner) {
  m_instance = instance;
  LPCDLGTEMPLATEW dialogTemplate = LoadDialogTemplate(instance, templateId);
  if (dialogTemplate == nullptr) return -1;
  m_menuId = DialogTemplateMenu(dialogTemplate);
  return ::DialogBoxIndirectParamW(instance, dialogTemplate, owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
}

void BDialogWindow::Destroy() {
  if (m_hwnd != nullptr && ::IsWindow(m_hwnd)) ::DestroyWindow(m_hwnd);
}

// The dialog manager loads the menu a template names in the thread's
// language; at WM_INITDIALOG, before the window's own handling begins, it is
// replaced by the same menu in the language of the texts.
void BDialogWindow::UseLanguageMenu() {
  if (m_menuId == 0) return;
  HMENU menu = LoadLanguageMenu(m_instance, m_menuId);
  if (menu == nullptr) return;
  HMENU loaded = ::GetMenu(m_hwnd);
  ::SetMenu(m_hwnd, menu);
  if (loaded != nullptr) ::DestroyMenu(loaded);
}

INT_PTR CALLBACK BDialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  BDialogWindow* self;
  if (message == WM_INITDIALOG) {
    // The handle is known from the first message on; keep it with the object.
    self = reinterpret_cast<BDialogWindow*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->m_hwnd = hwnd;
    self->UseLanguageMenu();
  } else {
    self = reinterpret_cast<BDialogWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;

  LRESULT result = 0;
  bool handled = self->HandleMessage(message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->m_hwnd = nullptr;
    self->OnFinalMessage();
  }
  if (!handled) return FALSE;
  switch (message) {
    // Messages whose result is the return value of the dialog procedure itself.
    case WM_INITDIALOG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}
