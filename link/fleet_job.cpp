#include "link/fleet_job.h"

#include "link/link_string_ids.h"

namespace {

// What a failure the link reports says about the siren's port.
BFleetVerdict VerdictOfFailure(const BLinkText& text) {
  switch (text.id) {
    case IDS_PORT_OPEN_FAILED:
    case IDS_PORT_ACCESS_FAILED:
      return BFleetVerdict::PortFailed;
    case IDS_SIREN_NOT_RESPONDING:
    case IDS_SIREN_LINE_ERRORS:
      return BFleetVerdict::NoSiren;
    default:
      return BFleetVerdict::Failed;
  }
}

}  // namespace

BFleetJob::BFleetJob(int index, BLinkPort& port, BFleetJobHost& host)
    : m_index(index), m_host(host), m_link(m_profile, port, *this) {
  m_link.SetVerifyAfterWrite(true);  // every byte sent is read back
}

void BFleetJob::Start(const BProfile& profile, const std::string& portName) {
  if (m_step != Step::Idle) return;
  m_profile.CopyContentFrom(profile);
  m_record = BFleetRecord();
  m_record.port = portName;
  m_failure = BLinkText();
  m_failureVerdict = BFleetVerdict::Failed;
  m_outcomeKnown = false;
  m_outcome = BWriteOutcome();
  m_probeOnly = false;
  m_step = Step::Connecting;
  m_host.ShowSirenProgress(m_index, 0);
  m_link.OnConnect(portName);
}

void BFleetJob::Probe(const std::string& portName) {
  if (m_step != Step::Idle) return;
  m_record = BFleetRecord();
  m_record.port = portName;
  m_failure = BLinkText();
  m_probeOnly = true;
  m_step = Step::Connecting;
  m_link.OnConnect(portName);
}

void BFleetJob::FinishProbe(bool answered) {
  m_step = Step::Idle;
  CloseLink();
  m_host.SirenProbed(m_index, answered);
}

void BFleetJob::Abort() {
  if (m_step == Step::Idle) return;
  FinishWith(BFleetVerdict::Aborted, BLinkText());
}

void BFleetJob::HandleMessage(unsigned message) {
  if (message == kStartWrite) {
    if (m_step == Step::Connecting) StartWrite();
  } else if (message == kFinish) {
    if (m_step != Step::Idle) Finish();
  } else {
    m_link.HandleMessage(message);
  }
}

// The siren has told its memory size: the write may begin.
void BFleetJob::SetAvailableSize(uint32_t) {
  if (m_step == Step::Connecting && m_link.IsConnected() && m_profile.GetICCount() > 0)
    PostLinkMessage(kStartWrite);
}

void BFleetJob::StartWrite() {
  if (m_link.GetState() != BLinkState::Idle || !m_link.IsConnected()) return;
  if (m_probeOnly) {
    FinishProbe(true);
    return;
  }
  m_step = Step::Writing;
  m_record.chips = m_profile.GetICCount();
  m_link.StartWriteChanges();
  // Declined before it began (the profile does not fit this siren).
  if (!m_link.IsJobRunning() && m_step == Step::Writing)
    FinishWith(BFleetVerdict::Failed, BLinkText(IDS_FRAGMENTS_BEYOND_MEMORY_PROMPT));
}

void BFleetJob::ShowLinkError(const BLinkText& text) {
  if (m_step == Step::Idle) return;
  if (m_failure.IsEmpty()) {
    m_failure = text;
    m_failureVerdict = VerdictOfFailure(text);
  }
  m_host.ShowSirenStep(m_index, text);
  if (m_step == Step::Connecting) {
    m_step = Step::Finishing;
    PostLinkMessage(kFinish);
  }
}

void BFleetJob::ShowLinkWarning(const BLinkText& text) {
  if (m_failure.IsEmpty()) m_failure = text;
}

// Nobody answers at a siren of the fleet: a write goes on, a profile larger
// than the siren's memory is not written, a refused table entry is not
// retried again and again.
BAnswer BFleetJob::AskLink(const BLinkText& text, BQuestion question) {
  if (text.id == IDS_FRAGMENTS_BEYOND_MEMORY_PROMPT) return BAnswer::No;
  return question == BQuestion::YesNoCancelWarning ? BAnswer::Cancel : BAnswer::Yes;
}

void BFleetJob::SetProgressRange(int total) {
  m_progressTotal = total;
  m_host.ShowSirenProgress(m_index, 0);
}

void BFleetJob::SetProgressPosition(int position) {
  if (m_progressTotal > 0)
    m_host.ShowSirenProgress(m_index, static_cast<int>(100LL * position / m_progressTotal));
}

// Told inside the link's end of the job: the verdict comes with the posted
// message, after the link's own closing words.
void BFleetJob::WriteEnded(const BWriteOutcome& outcome) {
  if (m_step == Step::Idle) return;  // closed by Abort
  m_outcome = outcome;
  m_outcomeKnown = true;
  m_step = Step::Finishing;
  PostLinkMessage(kFinish);
}

void BFleetJob::Finish() {
  if (m_probeOnly) {
    FinishProbe(false);
    return;
  }
  if (!m_outcomeKnown || !m_outcome.completed) {
    FinishWith(m_failureVerdict, m_failure);
    return;
  }
  const bool differs = m_outcome.bytesDiffering > 0 || m_outcome.tablesDiffer;
  FinishWith(differs ? BFleetVerdict::Differs : BFleetVerdict::Checked,
             differs ? m_failure : BLinkText());
}

// A port that failed under the link leaves it trying to open it again (the
// window's siren does that; a fleet siren is done with): that stops too.
void BFleetJob::CloseLink() {
  if (m_link.IsConnected() || m_link.IsReconnecting()) m_link.OnConnect(m_record.port);
}

void BFleetJob::FinishWith(BFleetVerdict verdict, const BLinkText& why) {
  m_step = Step::Idle;  // what the closing link says no longer counts
  CloseLink();
  m_record.time = m_host.LocalTimeText();
  m_record.verdict = verdict;
  m_record.bytesWritten = m_outcome.bytesWritten;
  m_record.bytesChecked = m_outcome.bytesChecked;
  m_record.firstDifference = m_outcome.firstDifference;
  m_host.ShowSirenProgress(m_index, verdict == BFleetVerdict::Checked ? 100 : 0);
  m_host.SirenFinished(m_index, m_record, why);
}
