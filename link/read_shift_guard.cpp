#include "link/read_shift_guard.h"

#include <algorithm>

void BReadShiftGuard::Start(uint32_t total, uint32_t interval) {
  m_total = total;
  m_interval = std::max<uint32_t>(1, interval);
  m_suspect.assign((total + m_interval - 1) / m_interval, false);
}

bool BReadShiftGuard::IsMarkerDue(uint32_t done) const {
  return done > 0 && (done % m_interval == 0 || done >= m_total);
}

void BReadShiftGuard::NoteStrays(uint32_t jobByte, bool marker, uint32_t strays) {
  if (strays == 0 || m_suspect.empty()) return;
  size_t segment = std::min<size_t>(jobByte / m_interval, m_suspect.size() - 1);
  m_suspect[segment] = true;
  // A frame that came before the segment's first reply may be the surplus of
  // a shift in the segment before, whose marker it missed.
  if (!marker && jobByte % m_interval == 0 && segment > 0) m_suspect[segment - 1] = true;
}

bool BReadShiftGuard::HasSuspects() const {
  return std::find(m_suspect.begin(), m_suspect.end(), true) != m_suspect.end();
}

std::vector<uint32_t> BReadShiftGuard::SuspectJobBytes() const {
  std::vector<uint32_t> bytes;
  for (size_t segment = 0; segment < m_suspect.size(); ++segment) {
    if (!m_suspect[segment]) continue;
    uint32_t first = static_cast<uint32_t>(segment) * m_interval;
    uint32_t end = std::min(m_total, first + m_interval);
    for (uint32_t jobByte = first; jobByte < end; ++jobByte) bytes.push_back(jobByte);
  }
  return bytes;
}
