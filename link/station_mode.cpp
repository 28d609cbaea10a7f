#include "link/station_mode.h"

void BStationMode::Start() {
  m_step = Step::WaitingForSiren;
  m_done = 0;
  m_checked = 0;
}

bool BStationMode::OnWriteEnded(BFleetVerdict verdict) {
  if (verdict == BFleetVerdict::NoSiren || verdict == BFleetVerdict::PortFailed ||
      verdict == BFleetVerdict::Aborted) {
    m_step = Step::WaitingForSiren;
    return false;
  }
  ++m_done;
  if (verdict == BFleetVerdict::Checked) ++m_checked;
  m_step = Step::WaitingForRemoval;
  return true;
}

void BStationMode::OnProbed(bool answered) {
  if (m_step == Step::WaitingForRemoval && !answered) m_step = Step::WaitingForSiren;
}
