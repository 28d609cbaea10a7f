#include "ui/com_selector_dlg.h"

#include <vector>

#include "link/com_ports.h"
#include "link/link_string_ids.h"
#include "link/port_address.h"
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
  m_names.clear();
  m_shown.clear();
  std::string current = m_portName;
  for (const BPresentPort& port : EnumeratePresentPorts()) {
    m_names.push_back(port.name);
    m_shown.push_back(PortDisplayName(port));
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(m_shown.back()).c_str()));
    if (_stricmp(port.name.c_str(), m_portName.c_str()) == 0) current = m_shown.back();
  }
  ::SetWindowTextW(combo, Widen(current).c_str());
}

void BCOMSelectorDlg::OnOK() {
  HWND combo = GetItem(IDC_PORT_COMBO);
  std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(combo)) + 1);
  ::GetWindowTextW(combo, text.data(), static_cast<int>(text.size()));
  std::string typed = Trim(Narrow(text.data()));
  // A listed port is taken by its name, however the list words it.
  for (size_t i = 0; i < m_shown.size(); ++i)
    if (typed == m_shown[i]) typed = m_names[i];
  BPortAddress address;
  BPortAddressError error = ParsePortAddress(typed, address);
  if (error == BPortAddressError::None) {
    m_portName = address.ToString();
    ::EndDialog(GetHwnd(), IDOK);
    return;
  }
  if (error == BPortAddressError::Empty)
    ShowMessageBox(LoadText(IDS_PORT_NAME_REQUIRED), MB_OK | MB_ICONERROR);
  else
    ShowMessageBox(
        FormatText(BText(IDS_BAD_PORT_ADDRESS, {typed, BText(PortAddressErrorText(error))})),
        MB_OK | MB_ICONERROR);
  ::SendMessageW(GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
}
