// BWindowSiren: the siren the main window works with. It owns the
// transports (the COM port and the network one), the port that chooses
// between them and the siren link; it hands the transport's
// callbacks (worker thread) to the link, carries the link's messages through
// the window's queue, and shows what the link says: the status log, the
// progress bar and the boxes and questions (through the prompts). What the
// link does to the document, the panels and the player it asks of the
// window (BSirenHost). It runs the retry timer while the link tries to open
// a failed port again, finds a remembered adapter under the number Windows
// gives it now, and remembers the adapter of a port that opened (the
// settings' "PortAdapter").
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "link/com_handler.h"
#include "link/connection.h"
#include "link/net_connection.h"
#include "link/link_ui.h"
#include "link/siren_link.h"
#include "connection_port.h"
#include "prompts.h"
#include "status_log.h"

// The link's wishes that belong to the rest of the main window.
class BSirenHost {
 public:
  virtual ~BSirenHost() = default;
  virtual void SirenCommandsChanged() = 0;
  virtual void ShowConnected(bool connected) = 0;  // the Connect command's text
  virtual void ShowAvailableSize(uint32_t bytes) = 0;
  virtual void SirenReadStarts() = 0;
  virtual void SirenReadEnded() = 0;
  virtual void StopPlayer() = 0;
  virtual void ClearProfilePanels() = 0;
  virtual void FillProfilePanels() = 0;
  virtual void ReportDroppedReferences(const BDroppedReferences& dropped) = 0;
  virtual void MarkProfileModified() = 0;
  virtual int SelectedFragment() = 0;
  virtual void SaveSettings() = 0;
  // The remembered adapter came back under another port name: the Port
  // setting and the port menu take it.
  virtual void PortFoundAgain(const std::string& port) = 0;
};

class BWindowSiren : public BCOMHandler, public BLinkUi {
 public:
  BWindowSiren(BProfile& profile, BStatusLog& log, BSirenHost& host)
      : m_profile(profile), m_log(log), m_host(host) {}
  // The worker thread must be gone before what it uses is.
  ~BWindowSiren() override { Close(); }

  // The window that receives the link's messages (nullptr: none any more),
  // its progress bar, and where the user's answers come from.
  void Attach(HWND window, HWND progress, BPrompts& prompts);
  void SetPrompts(BPrompts& prompts) { m_prompts = &prompts; }
  void Close();
  BSirenLink& Link() { return m_link; }
  const BSirenLink& Link() const { return m_link; }
  bool IsPortOpen() const { return m_port.IsOpen(); }

  // The window's messages for the link: kLinkMessageBase..kLinkMessageLast and the timer.
  void OnLinkMessage(UINT message);
  void OnTimer(UINT_PTR timer);

  // The transport's callbacks (worker thread).
  void OnError(const std::string& text) override { m_link.OnError(text); }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    m_link.OnReceive(code, length, data);
  }
  void OnTimeout() override { m_link.OnTimeout(); }
  void OnGarbledReply() override { m_link.OnGarbledReply(); }
  void OnStrayReply(uint8_t code) override { m_link.OnStrayReply(code); }

  // What the link shows and asks.
  bool PostLinkMessage(unsigned message) override;
  std::string DefaultFragmentName(int number) override;
  void ShowLinkStatus(const BLinkText& text) override;
  void ReplaceLinkStatus(const BLinkText& text) override;
  void ClearStatusLog() override { m_log.Clear(); }
  void ShowLinkError(const BLinkText& text) override;
  void ShowLinkInformation(const BLinkText& text) override;
  void ShowLinkWarning(const BLinkText& text) override;
  BAnswer AskLink(const BLinkText& text, BQuestion question) override;
  void SetProgressRange(int total) override;
  void SetProgressPosition(int position) override;
  uint32_t TickCount() override { return ::GetTickCount(); }
  void DebugOutput(const std::string& text) override;

  // What the link asks of the rest of the window.
  void SetConnectCommandText(bool connected) override { m_host.ShowConnected(connected); }
  void SetAvailableSize(uint32_t bytes) override { m_host.ShowAvailableSize(bytes); }
  void CommandsChanged() override { m_host.SirenCommandsChanged(); }
  void SaveSettings() override;
  void RunRetryTimer(bool run) override;
  std::string FindPort(const std::string& portName) override;
  void EnablePlayer(bool enable) override {
    if (!enable) m_host.StopPlayer();
  }
  void ReadStarts() override { m_host.SirenReadStarts(); }
  void ReadEnded() override { m_host.SirenReadEnded(); }
  void ClearPanels() override { m_host.ClearProfilePanels(); }
  void FillPanels() override { m_host.FillProfilePanels(); }
  void ReportDroppedReferences(const BDroppedReferences& dropped) override {
    m_host.ReportDroppedReferences(dropped);
  }
  void MarkProfileModified() override { m_host.MarkProfileModified(); }
  int SelectedFragment() override { return m_host.SelectedFragment(); }

 private:
  static constexpr UINT_PTR kProgressTimer = 1;
  static constexpr UINT_PTR kRetryTimer = 2;
  static constexpr UINT kRetryTimerMs = 200;

  BProfile& m_profile;
  BStatusLog& m_log;
  BSirenHost& m_host;
  BPrompts* m_prompts = nullptr;
  HWND m_progress = nullptr;
  // Set while the window exists and read by the worker, hence atomic.
  std::atomic<HWND> m_window{nullptr};
  UINT m_pendingProgress = 0;  // a progress message waiting for the timer
  // FindPort gave another port than the one asked for; the settings learn it
  // once it opened.
  bool m_foundAgain = false;

  BCOMConnection m_connection{*this, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BNetConnection m_net{*this, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BConnectionPort m_port{m_connection, m_net};
  BSirenLink m_link{m_profile, m_port, *this};
};
