// The port dialog: the user picks a COM port from the system's list (each
// named with its adapter's friendly name where Windows knows it, "USB-SERIAL
// CH340 (COM5)") or types a port name or a network address ("tcp://host:port",
// "rfc2217://host:port"). OK takes only what names a port, written as the
// program writes it (BPortAddress); the reason of a refusal is shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/dialog_window.h"

class BCOMSelectorDlg : public BDialogWindow {
 public:
  BCOMSelectorDlg() = default;

  // Shows the dialog modally; IDOK when a port name was chosen, else IDCANCEL
  // (-1 when the dialog could not be made).
  INT_PTR DoModal(HINSTANCE instance, HWND owner);

  // The name shown when the dialog opens, and after OK the name chosen,
  // trimmed. UTF-8.
  const std::string& GetPortName() const { return m_portName; }
  void SetPortName(const std::string& portName) { m_portName = portName; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Shows a message box with the program's caption; tests answer it.
  virtual int ShowMessageBox(const std::wstring& text, UINT type);

 private:
  void OnInitDialog();
  void OnOK();

  std::string m_portName = "COM1";
  // The listed ports' names and what the list shows for them.
  std::vector<std::string> m_names;
  std::vector<std::string> m_shown;
};
