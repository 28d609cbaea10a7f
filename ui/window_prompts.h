// BWindowPrompts: the prompts of the main window as the user meets them.
// The owner is the main window, which also plays the dialogs' previews.
#pragma once

#include "audio/preview_player.h"
#include "prompts.h"
#include "toolkit/dialog_window.h"

class BWindowPrompts : public BPrompts {
 public:
  BWindowPrompts(BDialogWindow& owner, BPreviewPlayer& player) : m_owner(owner), m_player(player) {}

  int ShowMessageBox(const std::wstring& text, UINT type) override;
  bool AskOpenPath(std::string& path) override;
  bool AskSavePath(std::string& path) override;
  bool AskAudioPath(std::string& path) override;
  bool AskExportPath(const std::string& proposedName, std::string& path) override;
  bool AskGain(uint8_t* playBuffer, uint32_t offset, uint32_t length, int32_t& gain) override;
  bool AskSignal(BSignalForm& form) override;
  bool AskLoudness(const std::vector<BLoudnessDlg::Fragment>& fragments, std::vector<bool>& chosen,
                   double& target) override;
  bool AskOtherPort(std::string& portName) override;
  int ChooseFromPopup(HMENU menu) override;

 private:
  // The file dialogs of the program: a filter from the string table ("|"
  // separated), the program title, an optional default extension.
  bool ShowFileDialog(std::string& path, UINT filterId, const char* defaultExtension, bool save,
                      const std::string& proposedName = std::string());

  BDialogWindow& m_owner;
  BPreviewPlayer& m_player;
};
