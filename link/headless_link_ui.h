// BHeadlessLinkUi: the link's user interface where no window shows the
// profile (a siren of a write to several, a benchmark): what belongs to the
// window's panels, player, settings and status log is left undone. A derived
// class still says how messages travel, what a failure or question does and
// what time it is.
#pragma once

#include "link/link_ui.h"

class BHeadlessLinkUi : public BLinkUi {
 public:
  std::string DefaultFragmentName(int) override { return std::string(); }
  void ShowLinkStatus(const BLinkText&) override {}
  void ReplaceLinkStatus(const BLinkText&) override {}
  void ClearStatusLog() override {}
  void ShowLinkInformation(const BLinkText&) override {}
  void ShowLinkWarning(const BLinkText&) override {}
  void SetProgressRange(int) override {}
  void SetProgressPosition(int) override {}
  void SetConnectCommandText(bool) override {}
  void SetAvailableSize(uint32_t) override {}
  void CommandsChanged() override {}
  void SaveSettings() override {}
  void EnablePlayer(bool) override {}
  void ReadStarts() override {}
  void ReadEnded() override {}
  void ClearPanels() override {}
  void FillPanels() override {}
  void ReportDroppedReferences(const BDroppedReferences&) override {}
  void MarkProfileModified() override {}
  int SelectedFragment() override { return -1; }
  void DebugOutput(const std::string&) override {}
};
