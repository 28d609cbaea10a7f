// The main window of Sirelta: BMainDlgBase plus what hangs on the menu bar
// (submenus, port popup, accelerators) and the tooltips.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "audio/signal_form.h"
#include "language_menu.h"
#include "loudness_dlg.h"
#include "main_window_base.h"

class BMainDlg : public BMainDlgBase {
 public:
  BMainDlg();
  ~BMainDlg() override;

  BOOL PreTranslateMessage(MSG* message) override;

  void EnableFileCommands(bool enable) override;
  void EnableSirenCommands(bool enable) override;
  void EnableAbort(bool enable) override;
  void EnableEditing(bool enable) override;
  void EnableRangeCommands(bool enable) override;
  void EnableUndo(bool enable) override;
  void EnableRedo(bool enable) override;
  void ShowHistorySteps() override;
  void EnablePortMenu(bool enable) override;
  void SetConnectCommandText(bool connected) override;

 protected:
  BOOL OnInitDialog() override;
  void OnDestroy() override;
  void OnConnect() override;
  void OnAddToPlaylist() override;
  virtual void OnDropFiles(HDROP drop);
  bool ImportFile(const std::string& path) override;
  // The conversion of imported sound, a setting (main_window_conversion.cpp).
  virtual void OnHighQualityConversion();
  void ApplyConversionSetting();
  virtual void OnPortCommand(int index);
  virtual void OnOtherPort();
  virtual LRESULT OnGetToolTipText(NMTTDISPINFOW* info);

  // Write changes, Verify, the check after a write and the export of a
  // fragment (main_window_siren_extras.cpp).
  void ShowLinkWarning(const BLinkText& text) override;
  virtual void OnWriteChanges();
  virtual void OnVerifySiren();
  virtual void OnVerifyAfterWrite();
  virtual void OnExportFragment();
  void OnFragmentSelChanged() override;
  void ApplyVerifySetting();
  void UpdateExportCommand();

  // Signals made by the program (main_window_signal.cpp): the dialog (one of
  // the prompts) and the placement of its signal.
  virtual void OnMakeSignal();
  bool PlaceSignal(const BSignalForm& form);
  void UpdateSignalCommand();
  BSignalWords SignalWords() const;
  uint32_t LargestFreeBlock() const;

  // The levelling of fragments to one loudness (main_window_loudness.cpp):
  // the dialog (one of the prompts) and the levelling.
  virtual void OnLevelLoudness();
  void LevelFragments(const std::vector<int>& slots,
                      const std::vector<BLoudnessDlg::Fragment>& fragments,
                      const std::vector<bool>& chosen, double target);

  // Port choice: the popup lists the system's COM ports; "other port" asks for
  // any name (one of the prompts).
  void BuildPortMenu();
  void ShowPortInMenu();

  // The control whose tooltip to show for a tool: a disabled control gets no
  // mouse messages, so the main window's own tool finds it by the cursor.
  int ToolTipControlAt(HWND tool, POINT screenPoint) const;

  HMENU m_fileMenu = nullptr;
  HMENU m_editMenu = nullptr;
  HMENU m_connectionMenu = nullptr;
  HMENU m_sirenMenu = nullptr;
  HMENU m_portMenu = nullptr;
  std::vector<std::string> m_portNames;  // shown in the port popup, item 40000 + index
  BLanguageMenu m_languageMenu;  // made before the window: it sets the language of the texts

 private:
  void AddMenuRoutes();
  void AddSirenExtraRoutes();
  void AddSignalRoutes();
  void AddConversionRoutes();
  void AddLoudnessRoutes();
  void CreateToolTips();
  void RememberSubmenus();
  void EnableMenuItems(HMENU menu, std::initializer_list<UINT> ids, bool enable);

  bool m_portMenuAttached = false;  // the popup has replaced the item "Порт"
  HWND m_toolTip = nullptr;
  HACCEL m_accelerators = nullptr;
  std::vector<int> m_toolIds;
};
