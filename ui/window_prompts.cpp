#include "window_prompts.h"

#include <commdlg.h>

#include <vector>

#include "amplifier_dlg.h"
#include "com_selector_dlg.h"
#include "signal_dlg.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {
const DWORD kPathBufferChars = 32768;  // long paths too
const char kProfileExtension[] = "zpf";
const char kWaveExtension[] = "wav";
}  // namespace

int BWindowPrompts::ShowMessageBox(const std::wstring& text, UINT type) {
  return ::MessageBoxW(m_owner.GetHwnd(), text.c_str(), kProgramTitle, type);
}

bool BWindowPrompts::AskOpenPath(std::string& path) {
  return ShowFileDialog(path, IDS_PROFILE_FILTER, kProfileExtension, false);
}

bool BWindowPrompts::AskSavePath(std::string& path) {
  return ShowFileDialog(path, IDS_PROFILE_FILTER, kProfileExtension, true);
}

// Audio files carry no default extension: the dialog looks for any sound.
bool BWindowPrompts::AskAudioPath(std::string& path) {
  return ShowFileDialog(path, IDS_AUDIO_FILE_FILTER, nullptr, false);
}

bool BWindowPrompts::AskExportPath(const std::string& proposedName, std::string& path) {
  return ShowFileDialog(path, IDS_WAVE_FILE_FILTER, kWaveExtension, true, proposedName);
}

bool BWindowPrompts::AskGain(uint8_t* playBuffer, uint32_t offset, uint32_t length, int32_t& gain) {
  BAmplifierDlg dialog(m_player, playBuffer, offset, length);
  if (dialog.DoModal(m_owner.GetInstance(), m_owner.GetHwnd()) != IDOK) return false;
  gain = dialog.GetGain();
  return true;
}

bool BWindowPrompts::AskSignal(BSignalForm& form) {
  BSignalDlg dialog(m_player, form);
  return dialog.DoModal(m_owner.GetInstance(), m_owner.GetHwnd()) == IDOK;
}

bool BWindowPrompts::AskLoudness(const std::vector<BLoudnessDlg::Fragment>& fragments,
                                 std::vector<bool>& chosen, double& target) {
  BLoudnessDlg dialog(m_player, fragments);
  if (dialog.DoModal(m_owner.GetInstance(), m_owner.GetHwnd()) != IDOK) return false;
  chosen = dialog.Chosen();
  target = dialog.Target();
  return true;
}

bool BWindowPrompts::AskOtherPort(std::string& portName) {
  BCOMSelectorDlg dialog;
  dialog.SetPortName(portName);
  if (dialog.DoModal(m_owner.GetInstance(), m_owner.GetHwnd()) != IDOK) return false;
  portName = dialog.GetPortName();
  return true;
}

int BWindowPrompts::ChooseFromPopup(HMENU menu) {
  POINT cursor;
  ::GetCursorPos(&cursor);
  return ::TrackPopupMenu(menu, TPM_RETURNCMD, cursor.x, cursor.y, 0, m_owner.GetHwnd(), nullptr);
}

bool BWindowPrompts::ShowFileDialog(std::string& path, UINT filterId, const char* defaultExtension,
                                    bool save, const std::string& proposedName) {
  std::wstring filter = LoadText(filterId);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  std::vector<wchar_t> buffer(kPathBufferChars, L'\0');
  Widen(proposedName).copy(buffer.data(), kPathBufferChars - 1);
  // No default extension for sound files (nullptr): the name is taken as typed.
  const std::wstring extension = defaultExtension != nullptr ? Widen(defaultExtension) : L"";
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = m_owner.GetHwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kPathBufferChars;
  dialog.lpstrTitle = kProgramTitle;
  dialog.lpstrDefExt = defaultExtension != nullptr ? extension.c_str() : nullptr;
  dialog.Flags = OFN_ENABLESIZING | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
  if (!chosen) return false;
  path = Narrow(buffer.data());
  return true;
}
