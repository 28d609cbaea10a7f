// BFleetJob: one siren of a write to many sirens. It owns its own copy of the
// profile and its own siren link on the port it is given, and runs the whole
// sequence by itself: connect (detect, memory size), Write changes with the
// read-back of everything it sent and of the tables, disconnect; then it
// tells its host the verdict and the journal's record. It answers the
// link's questions itself (nobody sits at each siren): go on with a write,
// but do not write a profile that does not fit the siren's memory.
//
// Threads as for the link: the transport's callbacks on its worker, which
// only posts; everything else on the user-interface thread, where the host
// hands the posted messages back through HandleMessage.
#pragma once

#include <cstdint>
#include <string>

#include "link/com_handler.h"
#include "link/link_port.h"
#include "link/headless_link_ui.h"
#include "link/siren_link.h"
#include "model/fleet_journal.h"
#include "model/profile.h"

class BFleetJobHost {
 public:
  virtual ~BFleetJobHost() = default;
  // Worker thread (and user-interface thread): carries `message` of siren
  // `index` to the user-interface thread, where the host calls that job's
  // HandleMessage. False only when there is nobody to carry it to.
  virtual bool PostSirenMessage(int index, unsigned message) = 0;
  virtual void ShowSirenProgress(int index, int percent) = 0;  // 0..100 of the current phase
  virtual void ShowSirenStep(int index, const BLinkText& text) = 0;
  // The siren is done with; `why` says what ended it in words (the link's
  // own message for a failure), empty for a clean check.
  virtual void SirenFinished(int index, const BFleetRecord& record, const BLinkText& why) = 0;
  // A probe (Probe) is done with: whether a siren answered on its port.
  virtual void SirenProbed(int /*index*/, bool /*answered*/) {}
  virtual std::string LocalTimeText() = 0;  // "2026-12-08 17:05:03"
  virtual uint32_t TickCount() = 0;
};

class BFleetJob : public BHeadlessLinkUi {
 public:
  // `index` names the siren in the host's calls; `port` is this siren's
  // transport, whose callbacks go to TransportHandler.
  BFleetJob(int index, BLinkPort& port, BFleetJobHost& host);

  // Takes the content of `profile` and starts on the port `portName`.
  void Start(const BProfile& profile, const std::string& portName);
  // Only asks whether a siren answers on `portName` (detect and memory size),
  // writes nothing, and closes the port again (SirenProbed).
  void Probe(const std::string& portName);
  // Ends the run at once (the link is closed); the verdict is "aborted".
  void Abort();
  // A message the host carried over (PostSirenMessage).
  void HandleMessage(unsigned message);
  bool IsRunning() const { return m_step != Step::Idle; }
  const std::string& PortName() const { return m_record.port; }

  // Where the transport's callbacks go (worker thread): the link.
  BCOMHandler& TransportHandler() { return m_link; }

  // What the link shows and asks.
  bool PostLinkMessage(unsigned message) override {
    return m_host.PostSirenMessage(m_index, message);
  }
  void ShowLinkStatus(const BLinkText& text) override { m_host.ShowSirenStep(m_index, text); }
  void ReplaceLinkStatus(const BLinkText& text) override { m_host.ShowSirenStep(m_index, text); }
  void ShowLinkError(const BLinkText& text) override;
  void ShowLinkWarning(const BLinkText& text) override;
  BAnswer AskLink(const BLinkText& text, BQuestion question) override;
  void SetProgressRange(int total) override;
  void SetProgressPosition(int position) override;
  void SetAvailableSize(uint32_t bytes) override;
  void WriteEnded(const BWriteOutcome& outcome) override;
  uint32_t TickCount() override { return m_host.TickCount(); }

  // The job's own messages, beside the link's (posted to itself so that the
  // link is never re-entered from its own calls).
  static constexpr unsigned kStartWrite = kLinkMessageBase + 200;
  static constexpr unsigned kFinish = kLinkMessageBase + 201;

 private:
  enum class Step { Idle, Connecting, Writing, Finishing };

  void StartWrite();
  void Finish();
  void FinishWith(BFleetVerdict verdict, const BLinkText& why);

  void FinishProbe(bool answered);
  void CloseLink();

  const int m_index;
  BFleetJobHost& m_host;
  BProfile m_profile;  // this siren's copy: the link marks it as it writes
  BSirenLink m_link;
  Step m_step = Step::Idle;
  bool m_probeOnly = false;
  BFleetRecord m_record;
  BLinkText m_failure;  // the link's error or warning that ended or marred the run
  BFleetVerdict m_failureVerdict = BFleetVerdict::Failed;
  bool m_outcomeKnown = false;
  BWriteOutcome m_outcome;
  int m_progressTotal = 0;
};
