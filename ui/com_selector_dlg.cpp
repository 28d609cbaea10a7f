#include "ui/com_selector_dlg.h"

#include <vector>

#include "link/com_ports.h"
#include "ui/resource.h"
#include "ui/string_ids.h"
#include "toolkit/ui_text.h"

INT_PTR BCOMSelectorDlg::DoModal(HINSTANCE instance, HWND owner) {
  return BDialogWindow::DoModal(instance, IDD_COM_SELECTOR, owner);
}

bool BCOMSelectorDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // the dialog sets the default focus
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnOK();
        return true;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(GetHwnd(), IDCANCEL);
        return true;
      }
      return false;
    case WM_CLOSE:
      ::EndDialog(GetHwnd(), IDCANCEL);
      return true;
    default:
      return false;
  }
}

int BCOMSelectorDlg::ShowMessageBox(const std::wstring& text, UINT type) {
  return ::MessageBoxW(GetHwnd(), text.c_str(), kProgramTitle, type);
}

void BCOMSelectorDlg::OnInitDialog() {
  HANDLE icon =
      ::LoadImageW(GetInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
  ::SendMessageW(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

  HWND combo = GetItem(IDC_PORT_COMBO);
  for (const std::string& port : EnumerateComPorts())
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(port).c_str()));
  ::SetWindowTextW(combo, Widen(m_portName).c_str());
}

void BCOMSelectorDlg::OnOK() {
  HWND combo = GetItem(IDC_PORT_COMBO);
  std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(combo)) + 1);
  ::GetWindowTextW(combo, text.data(), static_cast<int>(text.size()));
  m_portName = Trim(Narrow(text.data()));
  if (!m_portName.empty()) {
    ::EndDialog(GetHwnd(), IDOK);
    return;
  }
  ShowMessageBox(LoadText(IDS_PORT_NAME_REQUIRED), MB_OK | MB_ICONERROR);
  ::SendMessageW(GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
}
