// The main window's side of Write changes, Verify and the check after a
// write (Siren menu), and of the export of a fragment as a WAVE file (File
// menu). The jobs themselves are BSirenLink's; the file is written by
// WriteSirenWave.
#include "main_window.h"

#include "audio/wave_writer.h"
#include "toolkit/list_controls.h"
#include "platform/error_text.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

const char kWaveExtension[] = "wav";

// The fragment's name as a file name: characters that a file name cannot
// hold become '_', and ".wav" is added unless the name ends so already.
std::string ExportFileName(const std::string& fragmentName) {
  std::string name = fragmentName;
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 ||
        std::string("\\/:*?\"<>|").find(c) != std::string::npos)
      c = '_';
  std::string suffix = std::string(".") + kWaveExtension;
  bool hasSuffix = name.size() >= suffix.size() &&
                   _stricmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0;
  return hasSuffix ? name : name + suffix;
}

}  // namespace

void BMainDlg::AddSirenExtraRoutes() {
  using W = BMainDlgBase;
  auto command = [this](UINT id, RouteHandler handler) {
    AddRoute({WM_COMMAND, id, id, kAnyCode, handler});
  };
  command(ID_WRITE_CHANGES, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    static_cast<BMainDlg&>(w).OnWriteChanges();
    return 0;
  });
  command(ID_VERIFY_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    static_cast<BMainDlg&>(w).OnVerifySiren();
    return 0;
  });
  command(ID_VERIFY_AFTER_WRITE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    static_cast<BMainDlg&>(w).OnVerifyAfterWrite();
    return 0;
  });
  command(ID_EXPORT_FRAGMENT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    static_cast<BMainDlg&>(w).OnExportFragment();
    return 0;
  });
  // The list may have lost its selection without a notification (emptied by
  // a read): the export item is brought up to date whenever a menu opens, and
  // so is the signal item, which follows the free slots and room. (A menu
  // opens for an accelerator too, before its item's state is looked at.)
  AddRoute({WM_INITMENUPOPUP, 0, 0, kAnyCode, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).UpdateExportCommand();
              static_cast<BMainDlg&>(w).UpdateSignalCommand();
              return 0;
            }});
}

void BMainDlg::ShowLinkWarning(const BLinkText& text) {
  ShowMessageBox(FormatText(text), MB_ICONWARNING);
}

void BMainDlg::OnWriteChanges() { m_link.StartWriteChanges(); }

void BMainDlg::OnVerifySiren() { m_link.StartVerify(); }

// The check is a setting: it is kept in the registry at once.
void BMainDlg::OnVerifyAfterWrite() {
  m_settings.verifyAfterWrite = !m_settings.verifyAfterWrite;
  ApplyVerifySetting();
  SaveSettings();
}

void BMainDlg::ApplyVerifySetting() {
  m_link.SetVerifyAfterWrite(m_settings.verifyAfterWrite);
  ::CheckMenuItem(m_sirenMenu, ID_VERIFY_AFTER_WRITE,
                  MF_BYCOMMAND | (m_settings.verifyAfterWrite ? MF_CHECKED : MF_UNCHECKED));
}

void BMainDlg::OnFragmentSelChanged() {
  BMainDlgBase::OnFragmentSelChanged();
  UpdateExportCommand();
}

void BMainDlg::UpdateExportCommand() {
  EnableMenuItems(m_fileMenu, {ID_EXPORT_FRAGMENT}, SelectedFragment() >= 0);
}

void BMainDlg::OnExportFragment() {
  int index = SelectedFragment();
  if (index < 0) return;
  const BFragment& fragment = m_profile.GetFragment(index);
  if (!fragment.IsInUse()) return;
  std::string path;
  if (!m_prompts->AskExportPath(ExportFileName(fragment.name), path)) return;
  BMemRange range = fragment.ImageRange();
  unsigned long error = 0;
  if (!WriteSirenWave(path, m_profile.Image() + range.start, range.length, error))
    ShowMessage(IDS_EXPORT_FAILED, MB_ICONERROR, Widen(path).c_str(),
                Widen(GetErrorText(error)).c_str());
}
