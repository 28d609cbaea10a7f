// What Write changes and Verify add to the jobs: the memory phase of Write
// changes (only the plan bytes the siren is not known to hold, once a sample
// of the others has read back as expected), the verification of the siren's
// tables and memory against the profile, and the read-back of the bytes a
// write sent.
#include <algorithm>

#include "link/plan_bytes.h"
#include "link/siren_link.h"
#include "link/link_string_ids.h"

// ---- Write changes ---------------------------------------------------------

// After the tables: the plan bytes the siren is not known to hold go, each
// address once, in plan order, once the user agrees. Before it skips the
// others the program reads a random sample of them back: the siren behind
// the open port may not be the one it wrote to, but a similar one that holds
// an older version of the same profile.
void BSirenLink::AskForChangedBytes() {
  std::vector<uint32_t> known;
  bool sizeKnown;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    sizeKnown = m_profile.GetICCount() > 0;
    m_profile.BuildTransferPlan();
    m_changedBytes.clear();
    for (uint32_t k : UniquePlanBytes(m_profile)) {
      uint32_t address = 0;
      m_profile.TransferAddress(k, address);
      (m_shadow.Holds(address, m_profile.Image()[address]) ? known : m_changedBytes).push_back(k);
    }
  }
  m_ui.SetProgressPosition(0);
  if (!sizeKnown) {
    m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_SIZE_UNKNOWN));
    StartTableCheck();
    return;
  }
  if (known.empty()) {
    AskToWriteChanges();
    return;
  }
  std::vector<uint32_t> sample = RandomSample(known, m_random);
  m_ui.ShowLinkStatus(BLinkText(IDS_KNOWN_SAMPLE_STARTED, {unsigned(sample.size())}));
  StartReadBack(Phase::SampleKnown, std::move(sample));
}

// Any sampled byte that the siren does not hold as the program believed
// means another siren, or memory that lost what was written: nothing known
// is trusted any more, and the whole plan goes.
void BSirenLink::FinishKnownSample() {
  uint32_t firstAddress = kImageSize;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (uint32_t k : m_jobBytes) {
      uint32_t address = 0;
      m_profile.TransferAddress(k, address);
      if (!m_shadow.Holds(address, m_profile.Image()[address]))
        firstAddress = std::min(firstAddress, address);
    }
    if (firstAddress < kImageSize) {
      m_shadow.Forget();
      m_changedBytes = UniquePlanBytes(m_profile);
    }
  }
  SetAbortable(false);
  if (firstAddress < kImageSize)
    m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_NOT_AS_KNOWN, {firstAddress}));
  AskToWriteChanges();
}

void BSirenLink::AskToWriteChanges() {
  uint32_t count;
  uint32_t total;
  uint32_t beyond;
  BLinkState state;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    count = static_cast<uint32_t>(m_changedBytes.size());
    total = static_cast<uint32_t>(UniquePlanBytes(m_profile).size());
    beyond = BytesBeyondMemory(m_profile);
    state = m_state;
  }
  if (beyond > 0) m_ui.ShowLinkStatus(BLinkText(IDS_BYTES_BEYOND_MEMORY, {beyond}));
  if (count == 0) {
    m_ui.ShowLinkStatus(
        BLinkText(beyond > 0 ? IDS_SIREN_MEMORY_MATCHES_WITHIN : IDS_SIREN_MEMORY_MATCHES));
    StartTableCheck();
    return;
  }
  BAnswer answer = m_ui.AskLink(BLinkText(IDS_WRITE_CHANGES_PROMPT, {count, total}),
                                BQuestion::YesNoInformation);
  if (GetState() != state) return;  // disconnected while asking
  if (answer != BAnswer::Yes) {
    StartTableCheck();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_phase = Phase::Transfer;
    m_wholePlan = false;
    m_jobBytes = m_changedBytes;
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
  ForgetSirenTables();
  StartTableRead(Table::Fragments);
  SetAbortable(false);
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
  BLinkText tables = TableDifferences();
  EnableAfterJob();
  BLinkText notCompared = NotCompared();
  size_t memoryLines = 0;
  BLinkText memory = MemoryDifferences(notCompared, memoryLines);
  if (!tables.IsEmpty() || memoryLines > 0)
    m_ui.ShowLinkWarning(BLinkText(IDS_SIREN_DIFFERS_FROM_PROFILE, {tables, memory}));
  else if (!notCompared.IsEmpty())
    m_ui.ShowLinkWarning(BLinkText(IDS_SIREN_PARTLY_COMPARED, {notCompared}));
  else
    m_ui.ShowLinkInformation(BLinkText(IDS_SIREN_HOLDS_PROFILE));
}

namespace {

// One line of a list of differences; each line ends with the rest of the list
// (its last argument), so that the list is a single text of the string table.
struct BDifferenceLine {
  int id;
  std::vector<BLinkTextArg> args;
};

BLinkText ChainLines(const std::vector<BDifferenceLine>& lines, BLinkText rest = BLinkText()) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    std::vector<BLinkTextArg> args = line->args;
    args.push_back(rest);
    rest = BLinkText(line->id, args);
  }
  return rest;
}

}  // namespace

// The table entries the siren holds otherwise than Write would send them,
// and, after a write, those it refused (any status but success).
BLinkText BSirenLink::TableDifferences(bool withRefusals) const {
  std::vector<BDifferenceLine> lines;
  std::lock_guard<std::mutex> lock(m_lock);
  for (int i = 0; i < kMaxFragments; ++i) {
    const std::string& name = m_profile.GetFragment(i).name;
    uint8_t status = m_entryStatus[0][i];
    if (withRefusals && status != kStatusOk)
      lines.push_back({IDS_FRAGMENT_ENTRY_REFUSED, {i, name, int(status)}});
    else if (FragmentEntryDiffers(i))
      lines.push_back({IDS_FRAGMENT_ENTRY_DIFFERS, {i, name}});
  }
  for (int i = 0; i < kMaxPlaylistEntries; ++i) {
    uint8_t status = m_entryStatus[1][i];
    if (withRefusals && status != kStatusOk)
      lines.push_back({IDS_PLAYLIST_ENTRY_REFUSED, {i, int(status)}});
    else if (m_sirenTables.playlist[i] != m_profile.GetPlaylistEntry(i))
      lines.push_back({IDS_PLAYLIST_ENTRY_DIFFERS, {i}});
  }
  for (int i = 0; i < kButtonCount; ++i) {
    uint8_t status = m_entryStatus[2][i];
    if (withRefusals && status != kStatusOk)
      lines.push_back({IDS_BUTTON_ENTRY_REFUSED, {i, int(status)}});
    else if (m_sirenTables.buttons[i] != m_profile.GetButton(i))
      lines.push_back({IDS_BUTTON_ENTRY_DIFFERS, {i}});
  }
  if (m_tablesUnsure) lines.push_back({IDS_TABLES_UNSURE, {}});
  return ChainLines(lines);
}

// With m_lock held.
bool BSirenLink::FragmentEntryDiffers(int index) const {
  const BFragment& fragment = m_profile.GetFragment(index);
  return m_sirenTables.start[index] != (fragment.start & 0xFFFFFF) ||
         m_sirenTables.length[index] != (fragment.length & 0xFFFFFF);
}

// A reply may name another entry than the one asked for, so an entry may go
// unread: it then differs from anything (no table value is that large).
void BSirenLink::ForgetSirenTables() {
  std::lock_guard<std::mutex> lock(m_lock);
  for (int i = 0; i < kMaxFragments; ++i)
    m_sirenTables.start[i] = m_sirenTables.length[i] = 0xFFFFFFFF;
  for (int& entry : m_sirenTables.playlist) entry = -1;
  for (int& binding : m_sirenTables.buttons) binding = -1;
}

// Per fragment of the plan: how many bytes differ and the first of them.
BLinkText BSirenLink::MemoryDifferences(const BLinkText& rest, size_t& count) const {
  std::vector<BDifferenceLine> lines;
  std::lock_guard<std::mutex> lock(m_lock);
  for (const BFragmentDifference& difference : m_shadow.FragmentDifferences(m_profile)) {
    lines.push_back({IDS_FRAGMENT_BYTES_DIFFER,
                     {difference.fragment, m_profile.GetFragment(difference.fragment).name,
                      difference.bytes, difference.firstAddress}});
  }
  count = lines.size();
  return ChainLines(lines, rest);
}

// Without a memory size nothing was compared; otherwise the bytes of each
// fragment beyond the siren's memory were not.
BLinkText BSirenLink::NotCompared() const {
  std::vector<BDifferenceLine> lines;
  std::lock_guard<std::mutex> lock(m_lock);
  if (BytesBeyondMemory(m_profile) == 0) return BLinkText();
  if (m_profile.GetICCount() <= 0) return BLinkText(IDS_MEMORY_NOT_COMPARED, {BLinkText()});
  const uint32_t capacity = m_profile.Capacity();
  for (int i = 0; i < kMaxFragments; ++i) {
    const BFragment& fragment = m_profile.GetFragment(i);
    BMemRange range = fragment.ImageRange();
    uint32_t end = range.start + range.length;
    if (range.length == 0 || end <= capacity) continue;
    lines.push_back(
        {IDS_FRAGMENT_NOT_COMPARED, {i, fragment.name, end - std::max(range.start, capacity)}});
  }
  return ChainLines(lines);
}

// ---- Verification after a write ---------------------------------------------

// Reads back the bytes the write sent (the whole plan, or the changed bytes
// of Write changes), each address once, into the shadow: all of them when
// the check after a write is on, else a random sample of them.
void BSirenLink::StartWriteCheck() {
  std::vector<uint32_t> written;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    written = m_wholePlan ? UniquePlanBytes(m_profile) : m_changedBytes;
    m_writtenCount = static_cast<uint32_t>(written.size());
  }
  if (m_verifyAfterWrite) {
    m_ui.ShowLinkStatus(BLinkText(IDS_WRITE_CHECK_STARTED, {unsigned(written.size())}));
    StartReadBack(Phase::CheckWritten, std::move(written));
    return;
  }
  std::vector<uint32_t> sample = RandomSample(written, m_random);
  m_ui.ShowLinkStatus(
      BLinkText(IDS_WRITE_SAMPLE_STARTED, {unsigned(sample.size()), unsigned(written.size())}));
  StartReadBack(Phase::SampleWritten, std::move(sample));
}

// The memory part of the box says what was read back and what differs. A
// sample that differs leaves nothing known: the next Write changes sends the
// whole plan. The tables are read back next.
void BSirenLink::FinishWriteCheck() {
  std::vector<uint32_t> differing;
  uint32_t firstAddress = kImageSize;
  uint32_t checked;
  uint32_t written;
  bool sample;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    differing = m_shadow.DifferingAmong(m_profile, m_jobBytes);
    for (uint32_t planIndex : differing) {
      uint32_t address = kImageSize;
      m_profile.TransferAddress(planIndex, address);
      firstAddress = std::min(firstAddress, address);
    }
    checked = static_cast<uint32_t>(m_jobBytes.size());
    written = m_writtenCount;
    sample = m_phase == Phase::SampleWritten;
    if (sample && !differing.empty()) m_shadow.Forget();
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_WRITE_CHECK_FINISHED));
  unsigned count = static_cast<unsigned>(differing.size());
  m_writeOutcome.bytesWritten = written;
  m_writeOutcome.bytesChecked = checked;
  m_writeOutcome.bytesDiffering = count;
  if (!differing.empty()) m_writeOutcome.firstDifference = firstAddress;
  m_memoryResultWarns = !differing.empty();
  if (sample && differing.empty())
    m_memoryResult = BLinkText(IDS_WRITE_COMPLETE_SAMPLED, {checked, written});
  else if (sample)
    m_memoryResult =
        BLinkText(IDS_WRITE_COMPLETE_SAMPLE_FAILED, {checked, written, count, firstAddress});
  else if (differing.empty())
    m_memoryResult = BLinkText(IDS_WRITE_COMPLETE_CHECKED, {checked});
  else
    m_memoryResult = BLinkText(IDS_WRITE_COMPLETE_CHECK_FAILED, {checked, count, firstAddress});
  StartTableCheck();
}

// The siren's three tables are read back into the link after every write.
void BSirenLink::StartTableCheck() {
  SetAbortable(false);
  ForgetSirenTables();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_tablesIntoLink = true;
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_TABLE_CHECK_STARTED));
  StartTableRead(Table::Fragments);
}

// What the write's tables and memory came to. An entry the siren refused or
// holds otherwise is not in step, nor is the playlist when one of its
// positions is; the rest of the in-step rule follows at the job's end.
void BSirenLink::FinishWrite() {
  BLinkText tables = TableDifferences(true);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (int i = 0; i < kMaxFragments; ++i)
      if (m_entryStatus[0][i] != kStatusOk || FragmentEntryDiffers(i))
        m_profile.SetFragmentSynced(i, false);
    for (int i = 0; i < kMaxPlaylistEntries; ++i)
      if (m_entryStatus[1][i] != kStatusOk ||
          m_sirenTables.playlist[i] != m_profile.GetPlaylistEntry(i))
        m_profile.SetPlaylistSynced(false);
    if (m_tablesUnsure) m_profile.SetPlaylistSynced(false);
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_WRITE_CHECK_FINISHED));
  m_writeOutcome.completed = true;
  m_writeOutcome.tablesDiffer = !tables.IsEmpty();
  EndJob();
  if (m_memoryResult.IsEmpty()) {  // no memory phase: the tables alone
    if (tables.IsEmpty())
      m_ui.ShowLinkStatus(BLinkText(IDS_TABLES_MATCH_STATUS));
    else
      m_ui.ShowLinkWarning(
          BLinkText(IDS_WRITE_TABLES_DIFFER, {BLinkText(IDS_WRITE_COMPLETE), tables}));
    return;
  }
  if (!tables.IsEmpty())
    m_ui.ShowLinkWarning(BLinkText(IDS_WRITE_TABLES_DIFFER, {m_memoryResult, tables}));
  else if (m_memoryResultWarns)
    m_ui.ShowLinkWarning(BLinkText(IDS_WRITE_TABLES_MATCH, {m_memoryResult}));
  else
    m_ui.ShowLinkInformation(BLinkText(IDS_WRITE_TABLES_MATCH, {m_memoryResult}));
}
