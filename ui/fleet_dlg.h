// The dialog that writes the open profile to several sirens at once: a row
// per siren (the computer's ports and the addresses the user added, checked
// as the setting "Fleet" remembers), each written by its own fleet job with
// its progress, state and verdict; Abort stops one row or all; every finished
// siren adds a line to the journal beside the profile. In station mode one
// port takes sirens one after another and the dialog counts them. It is
// modal: the profile cannot change while it runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet_siren.h"
#include "link/fleet_job.h"
#include "link/station_mode.h"
#include "model/profile.h"
#include "settings.h"
#include "toolkit/dialog_window.h"

class BFleetDlg : public BDialogWindow, public BFleetJobHost {
 public:
  // `pauseSiren` is called with the ports of a start: the owner closes its
  // own link when its port is among them.
  BFleetDlg(const BProfile& profile, const std::string& profilePath, BSettings& settings,
            std::function<void(const std::vector<std::string>&)> pauseSiren);
  ~BFleetDlg() override;

  INT_PTR DoModal(HINSTANCE instance, HWND owner);

  // What the fleet jobs show and ask.
  bool PostSirenMessage(int index, unsigned message) override;
  void ShowSirenProgress(int index, int percent) override;
  void ShowSirenStep(int index, const BLinkText& text) override;
  void SirenFinished(int index, const BFleetRecord& record, const BLinkText& why) override;
  void SirenProbed(int index, bool answered) override;
  std::string LocalTimeText() override;
  uint32_t TickCount() override { return ::GetTickCount(); }

  // The words of a verdict in the row.
  static std::wstring VerdictText(const BFleetRecord& record);

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Message boxes with the program's caption; tests answer them.
  virtual int ShowMessageBox(const std::wstring& text, UINT type);

  static constexpr UINT kSirenMessage = WM_APP + 60;  // wParam: the row, lParam: the link's message
  static constexpr UINT_PTR kProgressTimer = 1;
  static constexpr UINT_PTR kStationTimer = 2;

  struct Row {
    std::string port;
    std::unique_ptr<BFleetSiren> siren;
    int percent = -1;
    UINT pendingProgress = 0;
  };

  void OnInitDialog();
  void AddRow(const std::string& port, bool checked);
  void OnAdd();
  void OnStart();
  void StartChecked(const std::vector<int>& rows);
  void StartStation(int row);
  void OnStationTimer();
  void OnAbortOne();
  void OnAbortAll();
  void OnClose();
  void OnSirenMessage(int row, UINT message);
  void OnProgressTimer();
  bool IsChecked(int row) const;
  bool IsRunning() const;
  void UpdateButtons();
  void ShowCount();
  void WriteJournal(int row, BFleetRecord record);
  BFleetSiren& SirenOf(int row);

  const BProfile& m_profile;
  const std::string m_profilePath;
  BSettings& m_settings;
  std::function<void(const std::vector<std::string>&)> m_pauseSiren;
  std::vector<Row> m_rows;
  HWND m_list = nullptr;
  HFONT m_verdictFont = nullptr;
  // Set while the window exists and read by the transports' workers.
  std::atomic<HWND> m_window{nullptr};
  bool m_stationRunning = false;
  int m_stationRow = -1;
  BStationMode m_station;
};
