// What Write changes and Verify add to the jobs: the memory phase of Write
// changes (only the plan bytes the siren is not known to hold), the
// verification of the siren's tables and memory against the profile, and the
// read-back of the bytes a write sent, when the user asks for it.
#include <algorithm>

#include "link/siren_link.h"
#include "link/link_string_ids.h"

// ---- Write changes ---------------------------------------------------------

// After the tables: the plan bytes the siren is not known to hold go, in plan
// order, once the user agrees. When none differs the job ends at once.
void BSirenLink::AskForChangedBytes() {
  uint32_t total;
  uint32_t count;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    total = m_profile.BuildTransferPlan();
    m_jobBytes = m_shadow.DifferingPlanBytes(m_profile);
    m_wholePlan = false;
    count = static_cast<uint32_t>(m_jobBytes.size());
  }
  m_ui.SetProgressPosition(0);
  if (count == 0) {
    m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_MEMORY_MATCHES));
    EndJob();
    return;
  }
  BAnswer answer = m_ui.AskLink(BLinkText(IDS_WRITE_CHANGES_PROMPT, {count, total}),
                                BQuestion::YesNoInformation);
  if (GetState() != BLinkState::WritingButton) return;  // disconnected while asking
  if (answer != BAnswer::Yes) {
    EndJob();
    return;
  }
  StartMemoryPhase(true, count);
}

// ---- Verify -----------------------------------------------------------------

// The siren's tables are read into the link, not into the profile, which the
// verification leaves as it is.
void BSirenLink::StartVerify() {
  m_ui.EnablePlayer(false);
  m_ui.SetProgressRange(0);
  StartTableJob(Job::Verify);
  {
    // A reply may name another entry than the one asked for, so an entry may
    // go unread: it then differs from anything (the values are not 24-bit).
    std::lock_guard<std::mutex> lock(m_lock);
    for (int i = 0; i < kMaxFragments; ++i)
      m_sirenTables.start[i] = m_sirenTables.length[i] = 0xFFFFFFFF;
  }
  StartTableRead(Table::Fragments);
  m_ui.EnableSirenCommands(false);
  m_ui.EnableAbort(false);
  m_ui.EnableEditing(false);
  m_ui.EnableFileCommands(false);
}

// Every byte of the profile's plan is read, without a question: that is what
// the user asked for.
void BSirenLink::StartVerifyMemory() {
  uint32_t total = PlanWholeMemory();
  if (total > 0) {
    StartMemoryPhase(false, total);
    return;
  }
  m_ui.SetProgressPosition(0);
  SetState(BLinkState::Idle);
  FinishVerify();
}

void BSirenLink::FinishVerify() {
  m_ui.ShowLinkStatus(BLinkText(IDS_VERIFY_FINISHED));
  EnableAfterJob();
  BLinkText tables = TableDifferences();
  BLinkText memory = MemoryDifferences();
  if (tables.IsEmpty() && memory.IsEmpty())
    m_ui.ShowLinkInformation(BLinkText(IDS_SIREN_HOLDS_PROFILE));
  else
    m_ui.ShowLinkWarning(BLinkText(IDS_SIREN_DIFFERS_FROM_PROFILE, {tables, memory}));
}

namespace {

// One line of a list of differences; each line ends with the rest of the list
// (its last argument), so that the list is a single text of the string table.
struct BDifferenceLine {
  int id;
  std::vector<BLinkTextArg> args;
};

BLinkText ChainLines(const std::vector<BDifferenceLine>& lines) {
  BLinkText rest;
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    std::vector<BLinkTextArg> args = line->args;
    args.push_back(rest);
    rest = BLinkText(line->id, args);
  }
  return rest;
}

}  // namespace

// The table entries the siren holds otherwise than Write would send them.
BLinkText BSirenLink::TableDifferences() const {
  std::vector<BDifferenceLine> lines;
  std::lock_guard<std::mutex> lock(m_lock);
  for (int i = 0; i < kMaxFragments; ++i) {
    const BFragment& fragment = m_profile.GetFragment(i);
    if (m_sirenTables.start[i] != (fragment.start & 0xFFFFFF) ||
        m_sirenTables.length[i] != (fragment.length & 0xFFFFFF))
      lines.push_back({IDS_FRAGMENT_ENTRY_DIFFERS, {i}});
  }
  for (int i = 0; i < kMaxPlaylistEntries; ++i)
    if (m_sirenTables.playlist[i] != m_profile.GetPlaylistEntry(i))
      lines.push_back({IDS_PLAYLIST_ENTRY_DIFFERS, {i}});
  for (int i = 0; i < kButtonCount; ++i)
    if (m_sirenTables.buttons[i] != m_profile.GetButton(i))
      lines.push_back({IDS_BUTTON_ENTRY_DIFFERS, {i}});
  return ChainLines(lines);
}

// Per fragment of the plan: how many bytes differ and the first of them.
BLinkText BSirenLink::MemoryDifferences() const {
  std::vector<BDifferenceLine> lines;
  std::lock_guard<std::mutex> lock(m_lock);
  for (const BFragmentDifference& difference : m_shadow.FragmentDifferences(m_profile)) {
    lines.push_back({IDS_FRAGMENT_BYTES_DIFFER,
                     {difference.fragment, m_profile.GetFragment(difference.fragment).name,
                      difference.bytes, difference.firstAddress}});
  }
  return ChainLines(lines);
}

// ---- Verification after a write ---------------------------------------------

// Reads back exactly the bytes the write sent (the whole plan, or the changed
// bytes of Write changes), into the shadow.
void BSirenLink::StartWriteCheck() {
  uint32_t count;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_checkingWrite = true;
    count = m_wholePlan ? m_jobTotal : static_cast<uint32_t>(m_jobBytes.size());
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_WRITE_CHECK_STARTED, {count}));
  StartMemoryPhase(false, count);
}

void BSirenLink::FinishWriteCheck() {
  std::vector<uint32_t> differing;
  uint32_t firstAddress = kImageSize;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    differing = m_wholePlan ? m_shadow.DifferingPlanBytes(m_profile)
                            : m_shadow.DifferingAmong(m_profile, m_jobBytes);
    for (uint32_t planIndex : differing) {
      uint32_t address = kImageSize;
      m_profile.TransferAddress(planIndex, address);
      firstAddress = std::min(firstAddress, address);
    }
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_WRITE_CHECK_FINISHED));
  EnableAfterJob();
  if (differing.empty())
    m_ui.ShowLinkInformation(BLinkText(IDS_WRITE_COMPLETE_CHECKED));
  else
    m_ui.ShowLinkWarning(BLinkText(IDS_WRITE_COMPLETE_CHECK_FAILED,
                                   {static_cast<unsigned>(differing.size()), firstAddress}));
}
