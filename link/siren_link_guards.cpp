// What keeps the link's word true on a poor line and a changing siren: the
// frames that answered nothing, the bytes read again after a possible shift,
// the in-step rule, and the advice on a slow adapter.
#include <algorithm>
#include <vector>

#include "link/link_string_ids.h"
#include "link/siren_link.h"

namespace {

// At most this many passes over the bytes whose replies may have shifted.
constexpr int kMaxRereadPasses = 5;
// The exchanges over which the turnaround is measured, and the mean above
// which the adapter is called slow (a siren on a plain 115200-baud line
// answers in about 1.2 ms).
constexpr uint32_t kLatencySampleExchanges = 200;
constexpr uint32_t kSlowExchangeMs = 4;

}  // namespace

// Worker. Only a frame of the code the awaited reply has can be taken for the
// answer to a later request: the others are counted for the log alone.
void BSirenLink::OnStrayReply(uint8_t code) {
  std::lock_guard<std::mutex> lock(m_lock);
  ++m_strayCount;
  ++m_straysByCode[code];
}

uint32_t BSirenLink::CollectStraysLocked(uint8_t code) {
  return std::exchange(m_straysByCode[code], 0u);
}

// A fragment is in step while its entry is (its flag, set when the entry was
// stored or read) and the siren is known to hold each of its bytes.
void BSirenLink::ApplyInStepRule() {
  for (int i = 0; i < kMaxFragments; ++i)
    if (m_profile.GetFragment(i).synced && !ShadowHoldsFragment(i))
      m_profile.SetFragmentSynced(i, false);
}

bool BSirenLink::ShadowHoldsFragment(int index) const {
  BMemRange range = m_profile.GetFragment(index).ImageRange();
  if (range.length == 0) return true;  // the entry alone
  if (range.start + range.length > m_profile.Capacity()) return false;
  const uint8_t* image = m_profile.Image();
  for (uint32_t address = range.start; address < range.start + range.length; ++address)
    if (!m_shadow.Holds(address, image[address])) return false;
  return true;
}

bool BSirenLink::StartRereadIfSuspect() {
  std::vector<uint32_t> planBytes;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_shiftGuard.HasSuspects()) return false;
    for (uint32_t jobByte : m_shiftGuard.SuspectJobBytes())
      planBytes.push_back(PlanIndexOf(jobByte));
    if (++m_readPass > kMaxRereadPasses) {
      // Still not sure: such a byte is not known, so it is never taken
      // for a match, and a Read says how many there are.
      for (uint32_t k : planBytes) {
        uint32_t address = 0;
        if (m_profile.TransferAddress(k, address) && m_shadow.IsKnown(address)) {
          m_shadow.Unconfirm(address);
          ++m_unsureBytes;
        }
      }
      m_shiftGuard.Start(0, BReadShiftGuard::kRereadInterval);
      return false;
    }
    m_rereading = true;
    m_passBytes = planBytes;
  }
  uint32_t count = static_cast<uint32_t>(planBytes.size());
  m_ui.ShowLinkStatus(BLinkText(IDS_REREADING_SHIFTED, {count}));
  BeginMemoryPhase(false, count, BReadShiftGuard::kRereadInterval);
  return true;
}

// Once per job, early in its first memory phase.
void BSirenLink::CheckLatency(uint32_t cursor, uint32_t tick) {
  if (m_latencyChecked || cursor < kLatencySampleExchanges) return;
  m_latencyChecked = true;
  uint32_t elapsed = tick - m_phaseStartTick;
  if (elapsed <= kSlowExchangeMs * cursor) return;
  uint64_t total = m_progress.Total();
  unsigned minutes = static_cast<unsigned>((total * elapsed / cursor + 59999) / 60000);
  m_ui.ShowLinkStatus(BLinkText(IDS_SLOW_LINE_ADVICE, {unsigned(elapsed / cursor), minutes}));
}
