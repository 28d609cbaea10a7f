// BPrompts: every question the main window puts to the user and every
// message box it shows, behind one interface, so that tests answer them with
// a fake (tests/win/test_main_window.h) instead of a person. BWindowPrompts is
// the real one: message boxes, the file dialogs, the gain, signal, levelling
// and port dialogs, and the popup menu of the add-to-playlist button.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/signal_form.h"
#include "loudness_dlg.h"

class BPrompts {
 public:
  virtual ~BPrompts() = default;

  // MessageBox's answer (IDOK, IDYES, ...).
  virtual int ShowMessageBox(const std::wstring& text, UINT type) = 0;
  // The file dialogs; false when the user cancelled.
  virtual bool AskOpenPath(std::string& path) = 0;
  virtual bool AskSavePath(std::string& path) = 0;
  virtual bool AskAudioPath(std::string& path) = 0;
  virtual bool AskExportPath(const std::string& proposedName, std::string& path) = 0;
  // The gain for `length` samples from `offset` of the play buffer, which the
  // dialog previews in place.
  virtual bool AskGain(uint8_t* playBuffer, uint32_t offset, uint32_t length, int32_t& gain) = 0;
  virtual bool AskSignal(BSignalForm& form) = 0;
  virtual bool AskLoudness(const std::vector<BLoudnessDlg::Fragment>& fragments,
                           std::vector<bool>& chosen, double& target) = 0;
  virtual bool AskOtherPort(std::string& portName) = 0;
  // The command chosen in a popup menu at the mouse, 0 for none.
  virtual int ChooseFromPopup(HMENU menu) = 0;
};
