// The port that failed and is opened again: the loss said once, the quiet
// attempts every second, the siren that answers again and the check whether
// it is the one whose memory the link knew.
#include <utility>

#include "link/link_string_ids.h"
#include "link/plan_bytes.h"
#include "link/siren_link.h"

// The job that ran ends as on any link failure (its message last, so that
// the status log already tells what follows). What the link knew of the
// siren is kept for the check when it answers again; the in-step rule runs
// while the memory size is still the siren's.
void BSirenLink::LosePort(const BLinkText& error) {
  const bool jobRan = GetJob() != Job::None;
  ShowStrayReplies();
  m_ui.SetProgressRange(0);
  m_port.Close(kLinkCloseTimeoutMs);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = BLinkState::Disconnected;
    m_markerPending = false;
  }
  EndOfJob();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_chipsBeforeLoss = m_profile.GetICCount();
    m_profile.SetICCount(0);
  }
  m_sirenAnswered = false;
  m_ui.SetAvailableSize(kImageSize);
  m_ui.ShowLinkStatus(BLinkText(IDS_PORT_LOST, {m_portName, error}));
  m_reconnect.Start(m_ui.TickCount());
  m_ui.RunRetryTimer(true);
  // The command stops the attempts.
  m_ui.SetConnectCommandText(true);
  SetAbortable(false);
  if (jobRan) m_ui.ShowLinkError(BLinkText(IDS_PORT_ACCESS_FAILED, {m_portName, error}));
}

void BSirenLink::StopReconnecting() {
  if (!m_reconnect.IsActive()) return;
  m_reconnect.Stop();
  m_ui.RunRetryTimer(false);
}

// Nothing of an attempt reaches the status log: the port may be away for hours.
void BSirenLink::OnRetryTimer() {
  if (!m_reconnect.IsActive()) {
    m_ui.RunRetryTimer(false);
    return;
  }
  const uint32_t now = m_ui.TickCount();
  if (!m_reconnect.IsAttemptDue(now)) return;
  m_reconnect.AttemptStarted(now);
  m_portName = m_ui.FindPort(m_portName);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.SetJobCursor(0);
    m_playsInFlight.clear();
    m_playReplies.clear();
    m_retry.Reset();
    m_strayCount = 0;
    m_job = Job::None;
    m_portFailed = false;
  }
  if (!m_port.Open(m_portName)) {
    m_reconnect.AttemptFailed();
    return;
  }
  Send(BLinkState::Detecting, CMD_DETECT, {});
}

void BSirenLink::AttemptFailed() {
  m_port.Close(kLinkCloseTimeoutMs);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = BLinkState::Disconnected;
    m_portFailed = false;
  }
  m_reconnect.AttemptFailed();
}

bool BSirenLink::OnReconnected() {
  if (!m_reconnect.IsAttemptUnderWay()) return false;
  StopReconnecting();
  m_sirenAnswered = true;
  int chips;
  bool knewSomething;
  std::vector<uint32_t> known;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    chips = m_profile.GetICCount();
    knewSomething = m_shadow.KnownCount() > 0;
    if (knewSomething && chips == m_chipsBeforeLoss) {
      m_profile.BuildTransferPlan();
      for (uint32_t k : UniquePlanBytes(m_profile)) {
        uint32_t address = 0;
        m_profile.TransferAddress(k, address);
        if (m_shadow.Holds(address, m_profile.Image()[address])) known.push_back(k);
      }
    }
  }
  m_ui.SaveSettings();
  m_ui.SetConnectCommandText(true);
  m_ui.SetAvailableSize(chips * kChipSize);
  m_ui.ShowLinkStatus(
      BLinkText(IDS_SIREN_RECONNECTED, {m_portName, int(chips * kChipSize / 1024)}));
  if (knewSomething && known.empty()) {
    // Another memory size, or nothing known that the profile still holds:
    // nothing says that this is the same siren.
    ForgetWhatWasKnown();
    m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_OTHER_AFTER_RECONNECT));
  }
  if (known.empty()) {
    EnableAfterJob();
    return true;
  }
  std::vector<uint32_t> sample = RandomSample(known, m_random);
  m_ui.ShowLinkStatus(BLinkText(IDS_KNOWN_SAMPLE_STARTED, {unsigned(sample.size())}));
  StartReadBack(Phase::SampleReconnected, std::move(sample));
  return true;
}

// As before Write changes skips what it knows: any sampled byte the siren
// does not hold as known means another siren, or memory that lost it.
void BSirenLink::FinishReconnectSample() {
  bool same = true;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (uint32_t k : m_jobBytes) {
      uint32_t address = 0;
      m_profile.TransferAddress(k, address);
      if (!m_shadow.Holds(address, m_profile.Image()[address])) same = false;
    }
    m_phase = Phase::Transfer;
  }
  SetState(BLinkState::Idle);
  if (!same) ForgetWhatWasKnown();
  m_ui.ShowLinkStatus(
      BLinkText(same ? IDS_SIREN_SAME_AFTER_RECONNECT : IDS_SIREN_OTHER_AFTER_RECONNECT));
  EnableAfterJob();
}

void BSirenLink::ForgetWhatWasKnown() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_shadow.Forget();
  ForgetSyncedLocked();
}

void BSirenLink::ForgetSyncedLocked() {
  for (int i = 0; i < kMaxFragments; ++i) m_profile.SetFragmentSynced(i, false);
  m_profile.SetPlaylistSynced(false);
}
