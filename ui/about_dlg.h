// The About box: the program's version, the libraries linked into it with
// their licences and where the licence texts and sources lie, and a button
// that opens the read-me.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/dialog_window.h"

class BAboutDlg : public BDialogWindow {
 public:
  INT_PTR DoModal(HINSTANCE instance, HWND owner);

  // The text of the library list, one library a line (CRLF), for the folder
  // `programFolder` in which the licence texts and sources lie.
  static std::wstring LibrariesText(const std::wstring& programFolder);
  // The folder of the running program, with its final "\".
  static std::wstring ProgramFolder();

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void OnInitDialog();
  void OpenReadMe();
};
