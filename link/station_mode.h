// BStationMode: sirens written one after another on one port, as on a
// production bench. The station waits for a siren to answer (by trying the
// write every second: a try that finds no siren is quiet), writes and checks
// it, then waits until that siren stops answering (the next one is being
// connected) before it tries again. It counts the sirens it wrote.
#pragma once

#include "model/fleet_journal.h"

class BStationMode {
 public:
  enum class Step { WaitingForSiren, Writing, WaitingForRemoval };
  // What the owner does next, after kRetryMs: try the write, or ask whether
  // the siren still answers.
  enum class Action { Write, Probe };
  static constexpr unsigned kRetryMs = 1000;

  // Starts waiting for the first siren: the first write is tried at once.
  void Start();
  // A write ended. True when it counts (a siren was there: its verdict goes
  // to the journal and is shown); a try that found no siren or no port is
  // quiet and is tried again, as is one the user aborted.
  bool OnWriteEnded(BFleetVerdict verdict);
  // A probe after a write ended: a siren that no longer answers has been
  // taken away.
  void OnProbed(bool answered);
  // The write to start now (Writing) or the next try after kRetryMs.
  Action Next() const { return m_step == Step::WaitingForRemoval ? Action::Probe : Action::Write; }
  Step Current() const { return m_step; }
  // A write is tried, not waited for.
  void WriteStarted() { m_step = Step::Writing; }
  int SirensDone() const { return m_done; }
  int SirensChecked() const { return m_checked; }

 private:
  Step m_step = Step::WaitingForSiren;
  int m_done = 0;
  int m_checked = 0;
};
