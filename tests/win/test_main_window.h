// The main window as the tests drive it: message boxes, file dialogs and the
// port dialog are answered from queues the test fills, and nothing connects
// at start-up unless the test allows it.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "command_targets.h"
#include "main_window.h"
#include "resource.h"
#include "link/link_string_ids.h"
#include "toolkit/ui_text.h"

// The user, as a test plays it: every prompt of the window is answered from
// the test's lists, and what was shown is kept.
class FakePrompts : public BPrompts {
 public:
  struct Box {
    std::wstring text;
    UINT type;
  };
  std::vector<Box> boxes;
  std::deque<int> answers;            // for the message boxes, in order
  std::deque<std::string> openPaths;  // "" cancels the dialog
  std::deque<std::string> savePaths;
  std::deque<std::string> exportPaths;   // answers of the export dialog
  std::vector<std::string> exportNames;  // the file names it proposed
  int saveDialogs = 0;
  std::deque<std::string> otherPorts;    // answers of the "other port" dialog
  std::deque<std::string> audioPaths;    // answers of the add-fragment dialog
  std::deque<int> gains;                 // answers of the gain dialog; empty: cancelled
  int popupChoice = 0;                   // the command chosen in the add-to-playlist popup
  std::vector<std::wstring> popupItems;  // what that popup offered
  std::vector<bool> popupGreyed;         // and which of its items were greyed
  // Drives the signal dialog; unset, the dialog counts as cancelled.
  std::function<bool(BSignalForm&)> askSignal;
  // Drives the levelling dialog; unset, the dialog counts as cancelled.
  std::function<bool(const std::vector<BLoudnessDlg::Fragment>&, std::vector<bool>&, double&)>
      askLoudness;

  int ShowMessageBox(const std::wstring& text, UINT type) override {
    boxes.push_back({text, type});
    if (answers.empty()) return IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool AskOpenPath(std::string& path) override { return Answer(openPaths, path); }
  bool AskSavePath(std::string& path) override {
    ++saveDialogs;
    return Answer(savePaths, path);
  }
  bool AskAudioPath(std::string& path) override { return Answer(audioPaths, path); }
  bool AskExportPath(const std::string& proposedName, std::string& path) override {
    exportNames.push_back(proposedName);
    return Answer(exportPaths, path);
  }
  bool AskGain(uint8_t*, uint32_t, uint32_t, int32_t& gain) override {
    if (gains.empty()) return false;
    gain = gains.front();
    gains.pop_front();
    return true;
  }
  bool AskSignal(BSignalForm& form) override { return askSignal ? askSignal(form) : false; }
  bool AskLoudness(const std::vector<BLoudnessDlg::Fragment>& fragments, std::vector<bool>& chosen,
                   double& target) override {
    return askLoudness ? askLoudness(fragments, chosen, target) : false;
  }
  bool AskOtherPort(std::string& portName) override { return Answer(otherPorts, portName); }
  int ChooseFromPopup(HMENU menu) override {
    popupItems.clear();
    popupGreyed.clear();
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t text[300] = {};
      ::GetMenuStringW(menu, i, text, 300, MF_BYPOSITION);
      popupItems.push_back(text);
      popupGreyed.push_back((::GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0);
    }
    return popupChoice;
  }

 private:
  static bool Answer(std::deque<std::string>& answers, std::string& path) {
    if (answers.empty()) return false;
    path = answers.front();
    answers.pop_front();
    return !path.empty();
  }
};

// The main window with the fake prompts; their lists are the window's for
// the tests' convenience.
class TestMainDlg : public BMainDlg {
 public:
  using BMainDlg::RefusedRoutes;
  using Box = FakePrompts::Box;
  TestMainDlg() { SetPrompts(prompts); }

  FakePrompts prompts;
  std::vector<Box>& boxes = prompts.boxes;
  std::deque<int>& answers = prompts.answers;
  std::deque<std::string>& openPaths = prompts.openPaths;
  std::deque<std::string>& savePaths = prompts.savePaths;
  std::deque<std::string>& exportPaths = prompts.exportPaths;
  std::vector<std::string>& exportNames = prompts.exportNames;
  int& saveDialogs = prompts.saveDialogs;
  std::deque<std::string>& otherPorts = prompts.otherPorts;
  std::deque<std::string>& audioPaths = prompts.audioPaths;
  std::deque<int>& gains = prompts.gains;
  int& popupChoice = prompts.popupChoice;
  std::vector<std::wstring>& popupItems = prompts.popupItems;
  std::vector<bool>& popupGreyed = prompts.popupGreyed;
  std::function<bool(BSignalForm&)>& askSignal = prompts.askSignal;
  std::function<bool(const std::vector<BLoudnessDlg::Fragment>&, std::vector<bool>&, double&)>&
      askLoudness = prompts.askLoudness;
  bool connectAllowed = false;  // the start-up connection is tested on its own

  bool Start() {
    if (Create(::GetModuleHandleW(nullptr), IDD_MAIN, nullptr)) return true;
    std::fprintf(stderr, "the main window was not made: system error %lu\n", ::GetLastError());
    return false;
  }
  using BMainDlg::EnablePlayer;
  BSirenLink& Link() { return m_siren.Link(); }
  bool Connected() const { return m_siren.IsPortOpen(); }
  bool Dragging() const { return m_drag && m_drag->IsDragging(); }
  BStatusLog& Log() { return m_log; }
  BPreviewPlayer& Preview() { return m_playerPanel; }
  // What the window decided last, and another decision applied in its place.
  const BCommandSet& Commands() const { return m_commands; }
  void Apply(const BCommandSet& commands) { ApplyDecision(commands, nullptr); }
  void DropFiles(const std::vector<std::string>& paths) { ImportDroppedFiles(paths); }
  const BMemoryView& MemoryView() const { return m_memoryView; }
  const BPlayBuffer& PlayBuffer() const { return m_playerPanel.Buffer(); }
  // Selects a fragment-list row and double-clicks it: the player loads it.
  void LoadFragmentRow(int row) {
    HWND fragments = GetItem(IDC_FRAGMENT_LIST);
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(fragments, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = fragments;
    click.hdr.idFrom = IDC_FRAGMENT_LIST;
    click.hdr.code = NM_DBLCLK;
    ::SendMessageW(GetHwnd(), WM_NOTIFY, IDC_FRAGMENT_LIST, reinterpret_cast<LPARAM>(&click));
  }
  LRESULT Command(UINT id, UINT code = 0) {
    return ::SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
  }
  std::wstring Title() const {
    wchar_t title[512] = {};
    ::GetWindowTextW(GetHwnd(), title, 512);
    return title;
  }
  bool MenuGreyed(UINT id) const {
    return (::GetMenuState(::GetMenu(GetHwnd()), id, MF_BYCOMMAND) & MF_GRAYED) != 0;
  }
  bool ControlEnabled(int id) const { return ::IsWindowEnabled(GetItem(id)) != FALSE; }
  int ToolAt(POINT screenPoint) const { return m_toolTips.ControlAt(GetHwnd(), screenPoint); }
  std::wstring StatusLine(int index) const {
    wchar_t text[512] = {};
    ::SendMessageW(GetItem(IDC_STATUS_LOG), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
  }
  int StatusCount() const {
    return static_cast<int>(::SendMessageW(GetItem(IDC_STATUS_LOG), CB_GETCOUNT, 0, 0));
  }

 protected:
  void OnConnect() override {
    if (connectAllowed) BMainDlg::OnConnect();
  }
};

inline std::wstring Text(UINT id) { return LoadText(id); }

// The box of a write whose tables read back as sent, around its memory part.
inline std::wstring TablesMatch(const std::wstring& memory) {
  return FormatText(Text(IDS_WRITE_TABLES_MATCH).c_str(), memory.c_str());
}
