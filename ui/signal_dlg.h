// The signal dialog: the kind of signal, its two frequencies, period,
// duration and level, a button that lets the user hear it through the
// computer's sound device, OK and Cancel. The values and their rules are
// BSignalForm's; this is its window. A value out of its limits is named in a
// message and keeps the focus; values a kind does not use are greyed.
#pragma once

#include <windows.h>

#include "audio/preview_player.h"
#include "audio/signal_form.h"
#include "toolkit/dialog_window.h"

class BSignalDlg : public BDialogWindow {
 public:
  // The dialog shows the form's values and, on OK, leaves the accepted ones in it.
  BSignalDlg(BPreviewPlayer& player, BSignalForm& form) : m_player(player), m_form(form) {}

  INT_PTR DoModal(HINSTANCE instance, HWND owner);

  // The words of the form (the kinds' names, the units) from the string table.
  static BSignalWords Words();

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The message about a bad value (virtual so that tests can answer it).
  virtual void ShowError(const std::wstring& text);

 private:
  void OnInitDialog();
  void ShowUsedFields();
  // The typed values into the form; on a bad one its message and the focus.
  bool TakeValues();
  void OnListen();
  void ShowListenCaption();
  BSignalKind SelectedKind() const;
  static int FieldId(BSignalField field);
  static int LabelId(BSignalField field);

  BPreviewPlayer& m_player;
  BSignalForm& m_form;
};
