#include "ui/fleet_dlg.h"

#include <commctrl.h>

#include <cstdio>

#include "link/com_ports.h"
#include "link/fleet_list.h"
#include "toolkit/list_controls.h"
#include "toolkit/ui_text.h"
#include "ui/resource.h"
#include "ui/string_ids.h"

namespace {

enum Column { kSirenColumn, kProgressColumn, kStateColumn, kVerdictColumn };

// The profile's file name without its folder and extension.
// A message of the link on one line of the list.
std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\n' || c == L'\r') c = L' ';
  return text;
}

std::string ProfileName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

BFleetDlg::BFleetDlg(const BProfile& profile, const std::string& profilePath, BSettings& settings,
                     std::function<void(const std::vector<std::string>&)> pauseSiren)
    : m_profile(profile),
      m_profilePath(profilePath),
      m_settings(settings),
      m_pauseSiren(std::move(pauseSiren)) {}

// The transports' workers must be gone before the dialog they post to.
BFleetDlg::~BFleetDlg() {
  m_window = nullptr;
  m_rows.clear();
  if (m_verdictFont != nullptr) ::DeleteObject(m_verdictFont);
}

INT_PTR BFleetDlg::DoModal(HINSTANCE instance, HWND owner) {
  return BDialogWindow::DoModal(instance, IDD_FLEET, owner);
}

bool BFleetDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;
      return true;
    case kSirenMessage:
      OnSirenMessage(static_cast<int>(wParam), static_cast<UINT>(lParam));
      return true;
    case WM_TIMER:
      if (wParam == kProgressTimer) OnProgressTimer();
      if (wParam == kStationTimer) OnStationTimer();
      return true;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FLEET_ADD:
          OnAdd();
          return true;
        case IDC_FLEET_START:
        case IDOK:  // Return starts
          OnStart();
          return true;
        case IDC_FLEET_ABORT_ONE:
          OnAbortOne();
          return true;
        case IDC_FLEET_ABORT_ALL:
          OnAbortAll();
          return true;
        case IDCANCEL:
          OnClose();
          return true;
        default:
          return false;
      }
    case WM_CLOSE:
      OnClose();
      return true;
    case WM_DESTROY:
      m_window = nullptr;
      return false;
    default:
      return false;
  }
}

int BFleetDlg::ShowMessageBox(const std::wstring& text, UINT type) {
  return ::MessageBoxW(GetHwnd(), text.c_str(), kProgramTitle, type);
}

void BFleetDlg::OnInitDialog() {
  m_window = GetHwnd();
  m_list = GetItem(IDC_FLEET_LIST);
  ::SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT client;
  ::GetClientRect(m_list, &client);
  const int width = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL);
  const int widths[] = {width * 25 / 100, width * 13 / 100, width * 37 / 100, width * 25 / 100};
  const UINT titles[] = {IDS_FLEET_COLUMN_SIREN, IDS_FLEET_COLUMN_PROGRESS, IDS_FLEET_COLUMN_STATE,
                         IDS_FLEET_COLUMN_VERDICT};
  for (int column = 0; column < 4; ++column) {
    std::wstring title = LoadText(titles[column]);
    LVCOLUMNW info = {};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.cx = widths[column];
    info.pszText = &title[0];
    ::SendMessageW(m_list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
  }
  const std::vector<std::string> remembered = ParseFleetList(m_settings.fleet);
  for (const std::string& port : EnumerateComPorts()) AddRow(port, false);
  for (const std::string& entry : remembered) AddRow(entry, true);

  LOGFONTW font = {};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(GetHwnd(), WM_GETFONT, 0, 0)), sizeof(font),
               &font);
  font.lfHeight = font.lfHeight * 2;
  font.lfWeight = FW_BOLD;
  m_verdictFont = ::CreateFontIndirectW(&font);
  ::SendMessageW(GetItem(IDC_FLEET_VERDICT), WM_SETFONT, reinterpret_cast<WPARAM>(m_verdictFont),
                 FALSE);
  UpdateButtons();
}

// A port or address already listed is only checked.
void BFleetDlg::AddRow(const std::string& port, bool checked) {
  int row = -1;
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (SameFleetEntry(m_rows[i].port, port)) row = static_cast<int>(i);
  if (row < 0) {
    row = static_cast<int>(m_rows.size());
    m_rows.push_back(Row{port, nullptr, -1, 0});
    InsertRow(m_list, row, Widen(port), row);
  }
  if (!checked) return;
  LVITEMW item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(2);
  ::SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool BFleetDlg::IsChecked(int row) const {
  const LRESULT state = ::SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void BFleetDlg::OnAdd() {
  HWND field = GetItem(IDC_FLEET_ADDRESS);
  std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1);
  ::GetWindowTextW(field, text.data(), static_cast<int>(text.size()));
  const std::vector<std::string> entries = ParseFleetList(Narrow(text.data()));
  for (const std::string& entry : entries) AddRow(entry, true);
  ::SetWindowTextW(field, L"");
}

bool BFleetDlg::IsRunning() const {
  if (m_stationRunning) return true;
  for (const Row& row : m_rows)
    if (row.siren && row.siren->Job().IsRunning()) return true;
  return false;
}

void BFleetDlg::UpdateButtons() {
  const bool running = IsRunning();
  ::EnableWindow(GetItem(IDC_FLEET_START), !running);
  ::EnableWindow(GetItem(IDC_FLEET_ADD), !running);
  ::EnableWindow(GetItem(IDC_FLEET_STATION), !running);
  ::EnableWindow(GetItem(IDC_FLEET_ABORT_ONE), running);
  ::EnableWindow(GetItem(IDC_FLEET_ABORT_ALL), running);
}

BFleetSiren& BFleetDlg::SirenOf(int row) {
  if (!m_rows[row].siren) m_rows[row].siren.reset(new BFleetSiren(row, *this));
  return *m_rows[row].siren;
}

void BFleetDlg::OnStart() {
  if (IsRunning()) return;
  if (m_profilePath.empty()) {
    ShowMessageBox(LoadText(IDS_FLEET_NEEDS_SAVED_PROFILE), MB_ICONWARNING);
    return;
  }
  std::vector<int> rows;
  std::vector<std::string> ports;
  for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
    if (!IsChecked(row)) continue;
    rows.push_back(row);
    ports.push_back(m_rows[row].port);
  }
  if (rows.empty()) {
    ShowMessageBox(LoadText(IDS_FLEET_NOTHING_CHECKED), MB_ICONWARNING);
    return;
  }
  const bool station = ::IsDlgButtonChecked(GetHwnd(), IDC_FLEET_STATION) == BST_CHECKED;
  if (station && rows.size() != 1) {
    ShowMessageBox(LoadText(IDS_FLEET_STATION_ONE_PORT), MB_ICONWARNING);
    return;
  }
  m_settings.fleet = JoinFleetList(ports);
  m_settings.SaveFleet();
  if (m_pauseSiren) m_pauseSiren(ports);
  if (station)
    StartStation(rows.front());
  else
    StartChecked(rows);
  UpdateButtons();
}

void BFleetDlg::StartChecked(const std::vector<int>& rows) {
  ::SetWindowTextW(GetItem(IDC_FLEET_VERDICT), L"");
  for (int row : rows) {
    SetRowText(m_list, row, kStateColumn, LoadText(IDS_FLEET_RUNNING));
    SetRowText(m_list, row, kVerdictColumn, L"");
    m_rows[row].percent = -1;
    SirenOf(row).Job().Start(m_profile, m_rows[row].port);
  }
}

void BFleetDlg::StartStation(int row) {
  m_stationRunning = true;
  m_stationRow = row;
  m_station.Start();
  ShowCount();
  ::SetWindowTextW(GetItem(IDC_FLEET_VERDICT), LoadText(IDS_FLEET_WAITING).c_str());
  m_station.WriteStarted();
  SirenOf(row).Job().Start(m_profile, m_rows[row].port);
}

// A second after each try or probe: the next one.
void BFleetDlg::OnStationTimer() {
  ::KillTimer(GetHwnd(), kStationTimer);
  if (!m_stationRunning) return;
  BFleetJob& job = SirenOf(m_stationRow).Job();
  if (job.IsRunning()) return;
  if (m_station.Next() == BStationMode::Action::Probe) {
    job.Probe(m_rows[m_stationRow].port);
    return;
  }
  m_station.WriteStarted();
  job.Start(m_profile, m_rows[m_stationRow].port);
}

void BFleetDlg::OnAbortOne() {
  const int row = SelectedRow(m_list);
  if (row < 0 || !m_rows[row].siren) return;
  if (row == m_stationRow) m_stationRunning = false;
  m_rows[row].siren->Job().Abort();
  UpdateButtons();
}

void BFleetDlg::OnAbortAll() {
  m_stationRunning = false;
  ::KillTimer(GetHwnd(), kStationTimer);
  for (Row& row : m_rows)
    if (row.siren) row.siren->Job().Abort();
  UpdateButtons();
}

void BFleetDlg::OnClose() {
  if (IsRunning()) {
    if (ShowMessageBox(LoadText(IDS_FLEET_ABORT_PROMPT), MB_YESNO | MB_ICONWARNING) != IDYES)
      return;
    OnAbortAll();
  }
  ::EndDialog(GetHwnd(), IDOK);
}

// Worker thread: only posts. A full queue is waited out, as for the main
// window's link, as long as the dialog is there.
bool BFleetDlg::PostSirenMessage(int index, unsigned message) {
  for (;;) {
    HWND target = m_window;
    if (target == nullptr) return false;
    if (::PostMessageW(target, kSirenMessage, index, message)) return true;
    if (::GetLastError() != ERROR_NOT_ENOUGH_QUOTA || !::IsWindow(target)) return false;
    ::Sleep(10);
  }
}

// Progress is shown from a timer, after any input (Abort), as in the main
// window; the job's other messages at once.
void BFleetDlg::OnSirenMessage(int row, UINT message) {
  if (row < 0 || row >= static_cast<int>(m_rows.size()) || !m_rows[row].siren) return;
  if (message == WM_MEMORY_READ_PROGRESS || message == WM_MEMORY_WRITE_PROGRESS) {
    m_rows[row].pendingProgress = message;
    ::SetTimer(GetHwnd(), kProgressTimer, USER_TIMER_MINIMUM, nullptr);
    return;
  }
  m_rows[row].siren->Job().HandleMessage(message);
}

void BFleetDlg::OnProgressTimer() {
  ::KillTimer(GetHwnd(), kProgressTimer);
  for (Row& row : m_rows) {
    const UINT message = row.pendingProgress;
    row.pendingProgress = 0;
    if (message != 0 && row.siren) row.siren->Job().HandleMessage(message);
  }
}

void BFleetDlg::ShowSirenProgress(int index, int percent) {
  if (m_rows[index].percent == percent) return;
  m_rows[index].percent = percent;
  SetRowText(m_list, index, kProgressColumn, std::to_wstring(percent) + L" %");
}

void BFleetDlg::ShowSirenStep(int index, const BLinkText& text) {
  SetRowText(m_list, index, kStateColumn, OneLine(FormatText(text)));
}

std::wstring BFleetDlg::VerdictText(const BFleetRecord& record) {
  switch (record.verdict) {
    case BFleetVerdict::Checked:
      return LoadText(IDS_FLEET_VERDICT_CHECKED);
    case BFleetVerdict::Differs:
      if (record.firstDifference < 0) return LoadText(IDS_FLEET_VERDICT_TABLES_DIFFER);
      return FormatText(LoadText(IDS_FLEET_VERDICT_DIFFERS).c_str(),
                        static_cast<unsigned>(record.firstDifference));
    case BFleetVerdict::NoSiren:
      return LoadText(IDS_FLEET_VERDICT_NO_SIREN);
    case BFleetVerdict::PortFailed:
      return LoadText(IDS_FLEET_VERDICT_PORT_FAILED);
    case BFleetVerdict::Aborted:
      return LoadText(IDS_FLEET_VERDICT_ABORTED);
    case BFleetVerdict::Failed:
      break;
  }
  return LoadText(IDS_FLEET_VERDICT_FAILED);
}

void BFleetDlg::SirenFinished(int index, const BFleetRecord& record, const BLinkText& why) {
  SetRowText(m_list, index, kStateColumn,
             why.IsEmpty() ? std::wstring() : OneLine(FormatText(why)));
  SetRowText(m_list, index, kVerdictColumn, VerdictText(record));
  if (index == m_stationRow && m_stationRunning) {
    // A try that found no siren is quiet: the station waits on.
    if (m_station.OnWriteEnded(record.verdict)) {
      WriteJournal(index, record);
      ::SetWindowTextW(GetItem(IDC_FLEET_VERDICT), VerdictText(record).c_str());
      ShowCount();
    }
    ::SetTimer(GetHwnd(), kStationTimer, BStationMode::kRetryMs, nullptr);
  } else {
    WriteJournal(index, record);
  }
  UpdateButtons();
}

void BFleetDlg::SirenProbed(int index, bool answered) {
  if (index != m_stationRow || !m_stationRunning) return;
  m_station.OnProbed(answered);
  const UINT text = m_station.Current() == BStationMode::Step::WaitingForRemoval
                        ? IDS_FLEET_REMOVE
                        : IDS_FLEET_WAITING;
  SetRowText(m_list, index, kStateColumn, LoadText(text));
  ::SetTimer(GetHwnd(), kStationTimer, BStationMode::kRetryMs, nullptr);
}

void BFleetDlg::ShowCount() {
  ::SetWindowTextW(GetItem(IDC_FLEET_COUNT),
                   FormatText(LoadText(IDS_FLEET_COUNT).c_str(), m_station.SirensDone(),
                              m_station.SirensChecked(), Widen(JournalPath(m_profilePath)).c_str())
                       .c_str());
}

// A journal that cannot be written is said in the row; the siren's verdict stands.
void BFleetDlg::WriteJournal(int row, BFleetRecord record) {
  record.profileName = ProfileName(m_profilePath);
  record.checksum = ProfileContentChecksum(m_profile);
  const std::string journal = JournalPath(m_profilePath);
  std::string error;
  if (!AppendToJournal(journal, record, error))
    SetRowText(m_list, row, kStateColumn,
               FormatText(LoadText(IDS_FLEET_JOURNAL_FAILED).c_str(), Widen(journal).c_str(),
                          Widen(error).c_str()));
}

std::string BFleetDlg::LocalTimeText() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}
