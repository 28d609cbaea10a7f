// The main window's side of the siren: connecting, the port, the settings of
// the Siren and Edit menus, what the link asks of the window, and the export
// of a fragment as a WAVE file. The jobs themselves are BSirenLink's.
#include "main_window.h"

#include "audio/wave_writer.h"
#include "fleet_dlg.h"
#include "link/fleet_list.h"
#include "platform/error_text.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

void CheckMenuCommand(HWND window, UINT id, bool checked) {
  ::CheckMenuItem(::GetMenu(window), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void BMainDlg::OnConnect() { m_siren.Link().OnConnect(m_settings.port); }

// The fleet has links of its own; the window's link lets go of a port the
// fleet writes to, and takes it again afterwards.
void BMainDlg::OnFleetWrite() {
  if (JobHoldsProfile()) return;
  bool paused = false;
  auto pause = [this, &paused](const std::vector<std::string>& ports) {
    if (paused || !m_siren.Link().IsConnected()) return;
    for (const std::string& port : ports)
      if (SameFleetEntry(port, m_siren.Link().GetPortName())) {
        m_siren.Link().OnConnect(m_siren.Link().GetPortName());  // disconnects
        paused = true;
        return;
      }
  };
  BFleetDlg fleet(m_profile, m_document.Path(), m_settings, pause);
  fleet.DoModal(GetInstance(), GetHwnd());
  if (paused && !m_siren.Link().IsConnected()) OnConnect();
}

// While a job runs, its worker writes into the profile: the document is held.
void BMainDlg::SirenCommandsChanged() {
  m_document.SetHeldByJob(m_siren.Link().IsJobRunning());
  UpdateCommands();
}

void BMainDlg::ClearProfilePanels() {
  m_panels.Clear();
  UpdateCommands();
}

void BMainDlg::FillProfilePanels() {
  m_panels.Fill();
  UpdateCommands();
}

// The Connect command reads "Отключиться" while the port is open.
void BMainDlg::ShowConnected(bool connected) {
  std::wstring text = LoadText(connected ? IDS_DISCONNECT : IDS_CONNECT);
  ::ModifyMenuW(::GetMenu(GetHwnd()), ID_CONNECT, MF_BYCOMMAND | MF_STRING, ID_CONNECT,
                text.c_str());
}

// A remembered port the system does not list (index -1) is shown unmarked.
void BMainDlg::OnPortCommand(int index) {
  std::string port;
  if (m_portMenu.PortAt(index, port))
    m_settings.port = port;
  else if (index >= 0)
    return;
  m_portMenu.Show(m_settings.port, index);
}

void BMainDlg::OnOtherPort() {
  std::string port = m_settings.port;
  if (!m_prompts->AskOtherPort(port)) return;
  m_settings.port = port;
  m_portMenu.Show(port, -1);
}

// The check after a write and the conversion are settings, kept at once.
void BMainDlg::OnVerifyAfterWrite() {
  m_settings.verifyAfterWrite = !m_settings.verifyAfterWrite;
  ApplyVerifySetting();
  SaveSettings();
}

void BMainDlg::ApplyVerifySetting() {
  m_siren.Link().SetVerifyAfterWrite(m_settings.verifyAfterWrite);
  CheckMenuCommand(GetHwnd(), ID_VERIFY_AFTER_WRITE, m_settings.verifyAfterWrite);
}

void BMainDlg::OnHighQualityConversion() {
  m_settings.highQualityConversion = !m_settings.highQualityConversion;
  ApplyConversionSetting();
  SaveSettings();
}

void BMainDlg::ApplyConversionSetting() {
  CheckMenuCommand(GetHwnd(), ID_HIGH_QUALITY_CONVERSION, m_settings.highQualityConversion);
}

void BMainDlg::OnExportFragment() {
  int slot = m_panels.SelectedFragment();
  if (slot < 0 || JobHoldsProfile()) return;
  const BFragment& fragment = m_profile.GetFragment(slot);
  if (!fragment.IsInUse()) return;
  std::string path;
  if (!m_prompts->AskExportPath(WaveFileNameFor(fragment.name), path)) return;
  BMemRange range = fragment.ImageRange();
  unsigned long error = 0;
  if (!WriteSirenWave(path, m_profile.Image() + range.start, range.length, error))
    ShowMessage(IDS_EXPORT_FAILED, MB_ICONERROR, Widen(path).c_str(),
                Widen(GetErrorText(error)).c_str());
}
