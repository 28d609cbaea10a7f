// The read and write jobs: the three table phases (fragment entries, playlist
// entries, button bindings), chained through the user-interface thread, and
// the memory phase, chained byte by byte on the worker thread. Write changes
// and Verify run through the same phases; what is their own is in
// siren_verify_jobs.cpp.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "link/plan_bytes.h"
#include "link/siren_link.h"
#include "link/link_string_ids.h"

namespace {

// The reply code of the table that a table-reading state reads.
uint8_t TableReplyCode(BLinkState state) {
  if (state == BLinkState::ReadingFragments) return CMD_READ_FRAGMENT;
  return state == BLinkState::ReadingPlaylist ? CMD_READ_PLAYLIST : CMD_READ_BUTTON;
}

}  // namespace

struct BSirenLink::TablePhase {
  int count;
  BLinkState readState;
  BLinkState writeState;
  uint8_t readCommand;
  int readingLine;  // "reading entry %d"
  int readDoneLine;
  int writingLine;      // "writing entry %d"
  int writeFailedLine;  // "could not write entry %d (%s)"
  int retryPrompt;
  int writtenLine;
  int badIndexText;        // the reason for status 1
  bool hasFragmentStatus;  // status 2 means a bad fragment index
};

const BSirenLink::TablePhase& BSirenLink::PhaseOf(Table table) {
  static const TablePhase kFragments = {
      kMaxFragments,         BLinkState::ReadingFragments, BLinkState::WritingFragment,
      CMD_READ_FRAGMENT,     IDS_READING_FRAGMENT,         IDS_FRAGMENTS_READ,
      IDS_WRITING_FRAGMENT,  IDS_FRAGMENT_WRITE_FAILED,    IDS_FRAGMENT_WRITE_RETRY_PROMPT,
      IDS_FRAGMENTS_WRITTEN, IDS_BAD_FRAGMENT_INDEX,       false};
  static const TablePhase kPlaylist = {
      kMaxPlaylistEntries,  BLinkState::ReadingPlaylist, BLinkState::WritingPlaylist,
      CMD_READ_PLAYLIST,    IDS_READING_PLAYLIST,        IDS_PLAYLIST_READ,
      IDS_WRITING_PLAYLIST, IDS_PLAYLIST_WRITE_FAILED,   IDS_PLAYLIST_WRITE_RETRY_PROMPT,
      IDS_PLAYLIST_WRITTEN, IDS_BAD_PLAYLIST_INDEX,      true};
  static const TablePhase kButtons = {
      kButtonCount,        BLinkState::ReadingButtons, BLinkState::WritingButton,
      CMD_READ_BUTTON,     IDS_READING_BUTTON,         IDS_BUTTONS_READ,
      IDS_WRITING_BUTTON,  IDS_BUTTON_WRITE_FAILED,    IDS_BUTTON_WRITE_RETRY_PROMPT,
      IDS_BUTTONS_WRITTEN, IDS_BAD_BUTTON_INDEX,       true};
  switch (table) {
    case Table::Fragments:
      return kFragments;
    case Table::Playlist:
      return kPlaylist;
    default:
      return kButtons;
  }
}

int BSirenLink::NextJobCursor() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_profile.SetJobCursor(m_profile.GetJobCursor() + 1);
  return m_profile.GetJobCursor();
}

// Every command group back as it is outside a job.
void BSirenLink::EnableAfterJob() {
  EndOfJob();
  SetAbortable(false);
}

// A Read that ended early shows in the panels exactly what the profile holds.
void BSirenLink::EndOfJob() {
  Job job;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ApplyInStepRule();
    job = m_job;
    m_job = Job::None;
  }
  if (job == Job::Read && !m_readTablesDone) {
    DropDanglingReferences();
    m_ui.FillPanels();
  }
  if (job == Job::Read) m_ui.ReadEnded();
  if (IsWriteJob(job)) m_ui.WriteEnded(m_writeOutcome);
  ShowStrayReplies();
}

// The replies that came without a request and the requests sent again, in
// the job that met them.
// What the siren read names in an empty slot (a fragment beyond its memory,
// a reference left by another program) is removed, so that the panels and a
// saved file show what the siren plays.
void BSirenLink::DropDanglingReferences() {
  BDroppedReferences dropped;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    dropped = m_profile.DropDanglingReferences();
  }
  m_ui.ReportDroppedReferences(dropped);
}

void BSirenLink::ShowStrayReplies() {
  uint32_t strays;
  uint32_t retries;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    strays = std::exchange(m_strayCount, 0u);
    retries = m_retry.TakeCount();
  }
  if (strays > 0) m_ui.ShowLinkStatus(BLinkText(IDS_STRAY_REPLIES, {strays}));
  if (retries > 0) m_ui.ShowLinkStatus(BLinkText(IDS_REQUESTS_RETRIED, {retries}));
}

void BSirenLink::EndJob() {
  SetState(BLinkState::Idle);
  EnableAfterJob();
}

BSirenLink::Job BSirenLink::GetJob() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_job;
}

// The start of every job: job cursor 0, the job's kind, nothing found yet.
void BSirenLink::StartTableJob(Job job) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_profile.SetJobCursor(0);
  m_job = job;
  m_phase = Phase::Transfer;
  m_tablesIntoLink = job == Job::Verify;
  for (auto& table : m_entryStatus)
    for (uint8_t& status : table) status = kStatusOk;
  m_unsureBytes = 0;
  m_tablesUnsure = false;
  m_latencyChecked = false;
  m_memoryResult = BLinkText();
  m_memoryResultWarns = false;
  m_writeOutcome = BWriteOutcome();
}

// ---- Read -----------------------------------------------------------------

void BSirenLink::StartRead() {
  m_ui.EnablePlayer(false);
  m_ui.ReadStarts();
  m_ui.ClearPanels();
  m_ui.SetProgressRange(0);
  StartTableJob(Job::Read);
  m_readTablesDone = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.Reset();
  }
  m_ui.MarkProfileModified();
  StartTableRead(Table::Fragments);
  SetAbortable(false);
}

void BSirenLink::StartTableRead(Table table, bool again) {
  const TablePhase& phase = PhaseOf(table);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.SetJobCursor(0);
    if (!again) m_tableAttempt = 0;
    m_tableGuard.Start(phase.count, phase.count);
    m_tableMarkerAnswered = false;
    m_markerPending = false;
    CollectStraysLocked(phase.readCommand);
  }
  Send(phase.readState, phase.readCommand, {0});
  m_ui.ShowLinkStatus(BLinkText(phase.readingLine, {0}));
}

// Worker, with m_lock held: one entry of a table being read.
unsigned BSirenLink::ReceiveTableRead(uint8_t code, const uint8_t* data) {
  int cursor = m_profile.GetJobCursor();
  switch (code) {
    case CMD_READ_FRAGMENT:
      if (m_state != BLinkState::ReadingFragments) return 0;
      m_tableGuard.NoteStrays(0, false, CollectStraysLocked(code));
      ReceiveFragmentEntry(data);
      return WM_FRAGMENT_READ;
    case CMD_READ_PLAYLIST:
      if (m_state != BLinkState::ReadingPlaylist) return 0;
      m_tableGuard.NoteStrays(0, false, CollectStraysLocked(code));
      if (!m_tablesIntoLink)
        m_profile.SetPlaylistEntry(cursor, data[0]);
      else if (cursor >= 0 && cursor < kMaxPlaylistEntries)
        m_sirenTables.playlist[cursor] = data[0];
      return WM_PLAYLIST_READ;
    default:
      if (m_state != BLinkState::ReadingButtons) return 0;
      m_tableGuard.NoteStrays(0, false, CollectStraysLocked(code));
      if (!m_tablesIntoLink)
        m_profile.SetButton(cursor, data[0]);
      else if (cursor >= 0 && cursor < kButtonCount)
        m_sirenTables.buttons[cursor] = data[0];
      return WM_BUTTON_READ;
  }
}

// Worker: a fragment table entry; entries beyond the siren's memory hold no fragment.
void BSirenLink::ReceiveFragmentEntry(const uint8_t* data) {
  int index = data[0];
  m_profile.SetJobCursor(index);
  if (index >= kMaxFragments) return;
  if (m_tablesIntoLink) {  // kept as the siren has it, to compare with what Write sends
    m_sirenTables.start[index] = data[1] | (data[2] << 8) | (data[3] << 16);
    m_sirenTables.length[index] = data[4] | (data[5] << 8) | (data[6] << 16);
    return;
  }
  BFragment fragment;
  fragment.name = m_ui.DefaultFragmentName(index + 1);
  fragment.start = data[1] | (data[2] << 8) | (data[3] << 16);
  fragment.length = data[4] | (data[5] << 8) | (data[6] << 16);
  fragment.synced = true;
  uint32_t limit = m_profile.Capacity();
  if (fragment.start >= limit) {
    fragment.start = kEmptySlotValue;
    fragment.length = kEmptySlotValue;
  } else if (fragment.start + fragment.length > limit) {
    fragment.length = limit - fragment.start;
  }
  m_profile.SetFragment(index, fragment);
}

// After the last entry a marker goes: a frame that came twice shows before
// its answer, and the table is read again (kMaxTableRereads times at most).
void BSirenLink::OnTableRead(Table table) {
  const TablePhase& phase = PhaseOf(table);
  bool markerAnswered;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    markerAnswered = std::exchange(m_tableMarkerAnswered, false);
  }
  if (markerAnswered) {
    EndOfTableRead(table);
    return;
  }
  int cursor = NextJobCursor();
  if (cursor < phase.count) {
    Send(phase.readState, phase.readCommand, {static_cast<uint8_t>(cursor)});
    m_ui.ShowLinkStatus(BLinkText(phase.readingLine, {cursor}));
    return;
  }
  std::lock_guard<std::mutex> lock(m_lock);
  m_markerPending = true;
  m_state = phase.readState;
  SendLocked(CMD_DETECT, {});
}

void BSirenLink::EndOfTableRead(Table table) {
  constexpr int kMaxTableRereads = 3;
  const TablePhase& phase = PhaseOf(table);
  bool again = false;
  bool intoLink;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_tableGuard.HasSuspects()) {
      again = m_tableAttempt < kMaxTableRereads;
      if (again)
        ++m_tableAttempt;
      else
        m_tablesUnsure = true;
    }
    intoLink = m_tablesIntoLink;
  }
  if (again) {
    m_ui.ShowLinkStatus(BLinkText(IDS_TABLE_REREAD));
    StartTableRead(table, true);
    return;
  }
  switch (table) {
    case Table::Fragments:
      m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
      StartTableRead(Table::Playlist);
      return;
    case Table::Playlist: {
      std::lock_guard<std::mutex> lock(m_lock);
      // What the siren keeps behind the end mark is dropped (it would play
      // there, unseen); the siren's copy then differs from the profile's.
      if (!intoLink) m_profile.SetPlaylistSynced(!m_profile.TrimPlaylist());
    }
      m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
      StartTableRead(Table::Buttons);
      return;
    case Table::Buttons:
      m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
      if (!intoLink) {
        m_readTablesDone = true;
        DropDanglingReferences();
        m_ui.FillPanels();
        AskForMemoryPhase(false);
      } else if (GetJob() == Job::Verify) {
        StartVerifyMemory();
      } else {
        FinishWrite();
      }
      return;
  }
}

// ---- Write ----------------------------------------------------------------

void BSirenLink::StartWrite() { StartWriteJob(Job::Write); }

void BSirenLink::StartWriteChanges() { StartWriteJob(Job::WriteChanges); }

// Write and Write changes send the three tables alike; they differ in the memory phase.
void BSirenLink::StartWriteJob(Job job) {
  m_ui.EnablePlayer(false);
  if (m_profile.HasFragmentsBeyondMemory() &&
      m_ui.AskLink(BLinkText(IDS_FRAGMENTS_BEYOND_MEMORY_PROMPT), BQuestion::YesNoWarning) !=
          BAnswer::Yes)
    return;
  m_ui.SetProgressRange(0);
  StartTableJob(job);
  WriteTableEntry(Table::Fragments, 0);
  SetAbortable(false);
}

void BSirenLink::WriteTableEntry(Table table, int index) {
  const TablePhase& phase = PhaseOf(table);
  uint8_t item = static_cast<uint8_t>(index);
  if (table == Table::Fragments) {
    const BFragment& fragment = m_profile.GetFragment(index);
    uint32_t start = fragment.start;
    uint32_t length = fragment.length;
    Send(phase.writeState, CMD_WRITE_FRAGMENT,
         {item, uint8_t(start), uint8_t(start >> 8), uint8_t(start >> 16), uint8_t(length),
          uint8_t(length >> 8), uint8_t(length >> 16)});
  } else if (table == Table::Playlist) {
    Send(phase.writeState, CMD_WRITE_PLAYLIST, {item, m_profile.GetPlaylistEntry(index)});
  } else {
    Send(phase.writeState, CMD_WRITE_BUTTON, {item, m_profile.GetButton(index)});
  }
  m_ui.ShowLinkStatus(BLinkText(phase.writingLine, {index}));
}

void BSirenLink::OnTableWritten(Table table) {
  const TablePhase& phase = PhaseOf(table);
  uint8_t status;
  int cursor;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    status = m_statusByte;
    cursor = m_profile.GetJobCursor();
  }
  BLinkText reason;
  if (status == kStatusUnavailable)
    reason = BLinkText(IDS_MEMORY_UNAVAILABLE);
  else if (status == kStatusBadIndex)
    reason = BLinkText(phase.badIndexText);
  else if (status == kStatusBadFragment && phase.hasFragmentStatus)
    reason = BLinkText(IDS_BAD_FRAGMENT_INDEX);
  if (!reason.IsEmpty()) {
    m_ui.ShowLinkStatus(BLinkText(phase.writeFailedLine, {cursor, reason}));
    BAnswer answer =
        m_ui.AskLink(BLinkText(phase.retryPrompt, {cursor, reason}), BQuestion::YesNoCancelWarning);
    if (GetState() != phase.writeState) return;  // disconnected while asking
    if (answer == BAnswer::Yes) {
      WriteTableEntry(table, cursor);
      return;
    }
    if (answer == BAnswer::Cancel) {
      EndJob();
      return;
    }
  }
  cursor = NextJobCursor();
  if (cursor < phase.count) {
    WriteTableEntry(table, cursor);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_lock);
    // Stored only when the siren took every position; a skipped one is not.
    if (table == Table::Playlist)
      m_profile.SetPlaylistSynced(std::all_of(std::begin(m_entryStatus[1]),
                                              std::end(m_entryStatus[1]),
                                              [](uint8_t status) { return status == kStatusOk; }));
    m_profile.SetJobCursor(0);
  }
  m_ui.ShowLinkStatus(BLinkText(phase.writtenLine));
  if (table == Table::Fragments)
    WriteTableEntry(Table::Playlist, 0);
  else if (table == Table::Playlist)
    WriteTableEntry(Table::Buttons, 0);
  else
    AskForMemoryPhase(true);
}

// ---- The memory phase -----------------------------------------------------

// The memory phase moves every byte of a fresh transfer plan; returns its total.
uint32_t BSirenLink::PlanWholeMemory() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_phase = Phase::Transfer;
  m_wholePlan = true;
  m_jobBytes.clear();
  return m_profile.BuildTransferPlan();
}

void BSirenLink::AskForMemoryPhase(bool writing) {
  if (writing && GetJob() == Job::WriteChanges) {
    AskForChangedBytes();
    return;
  }
  BLinkState tableState = writing ? BLinkState::WritingButton : BLinkState::ReadingButtons;
  uint32_t total = PlanWholeMemory();
  if (total > 0) {
    BAnswer answer =
        m_ui.AskLink(BLinkText(writing ? IDS_WRITE_MEMORY_PROMPT : IDS_READ_MEMORY_PROMPT),
                     BQuestion::YesNoInformation);
    if (GetState() != tableState) return;  // disconnected while asking
    if (answer == BAnswer::Yes) {
      StartMemoryPhase(writing, total);
      return;
    }
    if (!writing) m_ui.ShowLinkStatus(BLinkText(IDS_BUTTONS_READ));
  }
  m_ui.SetProgressPosition(0);
  if (writing)
    StartTableCheck();
  else
    EndJob();
}

void BSirenLink::StartMemoryPhase(bool writing, uint32_t total) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rereading = false;
    m_readPass = 0;
  }
  BeginMemoryPhase(writing, total, BReadShiftGuard::kFirstPassInterval);
}

// One pass of a memory phase: `total` bytes, a marker after every
// `markerInterval` of them when reading.
void BSirenLink::BeginMemoryPhase(bool writing, uint32_t total, uint32_t markerInterval) {
  m_phaseStartTick = m_ui.TickCount();
  m_progress.Start(m_phaseStartTick, total);
  m_ui.SetProgressRange(static_cast<int>(total));
  if (writing) m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_WRITE_STARTED));
  m_progressPosted = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_phaseNumber;
    m_jobTotal = total;
    m_shiftGuard.Start(total, markerInterval);
    m_markerPending = false;
    CollectStraysLocked(CMD_READ_BYTE);
    m_profile.SetJobCursor(0);
    m_state = writing ? BLinkState::WritingMemory : BLinkState::ReadingMemory;
    if (writing)
      SendWriteByte(0);
    else
      SendReadByte(0);
  }
  SetAbortable(true);
  if (!writing) m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_READ_STARTED));
}

// With m_lock held: the plan byte that byte `jobByte` of the memory phase moves.
uint32_t BSirenLink::PlanIndexOf(uint32_t jobByte) const {
  if (m_rereading) return jobByte < m_passBytes.size() ? m_passBytes[jobByte] : jobByte;
  return m_wholePlan || jobByte >= m_jobBytes.size() ? jobByte : m_jobBytes[jobByte];
}

// Worker (and the user-interface thread for byte 0), with m_lock held.
void BSirenLink::SendReadByte(uint32_t jobByte) {
  uint32_t address = 0;
  m_profile.TransferAddress(PlanIndexOf(jobByte), address);
  m_addressInFlight = address;
  SendLocked(CMD_READ_BYTE, {uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16)});
}

void BSirenLink::SendWriteByte(uint32_t jobByte) {
  uint32_t address = 0;
  m_profile.TransferAddress(PlanIndexOf(jobByte), address);
  m_addressInFlight = address;
  uint8_t value = address < kImageSize ? m_profile.Image()[address] : kErasedByte;
  m_valueInFlight = value;
  SendLocked(CMD_WRITE_BYTE,
             {uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16), value});
}

// Worker, with m_lock held: store the byte (a verification only notes it) and
// ask for the next one at once, or for a marker when one is due.
unsigned BSirenLink::ReceiveMemoryByte(uint8_t status, uint8_t value) {
  if (status != kStatusOk) {
    m_linkError = BLinkText(IDS_READ_ADDRESS_FAILED, {m_addressInFlight});
    return WM_LINK_ERROR;
  }
  uint32_t jobByte = static_cast<uint32_t>(m_profile.GetJobCursor());
  m_shiftGuard.NoteStrays(jobByte, false, CollectStraysLocked(CMD_READ_BYTE));
  if (m_job == Job::Read && m_addressInFlight < kImageSize)
    m_profile.Image()[m_addressInFlight] = value;
  m_shadow.Confirm(m_addressInFlight, value);
  uint32_t cursor = jobByte + 1;
  m_profile.SetJobCursor(static_cast<int>(cursor));
  if (m_shiftGuard.IsMarkerDue(cursor)) {
    m_markerPending = true;
    SendLocked(CMD_DETECT, {});
    return cursor >= m_jobTotal ? 0u : unsigned(WM_MEMORY_READ_PROGRESS);
  }
  SendReadByte(cursor);
  return WM_MEMORY_READ_PROGRESS;
}

// Worker, with m_lock held: the answer to a marker of a read phase or of a
// table read.
unsigned BSirenLink::ReceiveMarker() {
  m_markerPending = false;
  uint32_t cursor = static_cast<uint32_t>(m_profile.GetJobCursor());
  switch (m_state) {
    case BLinkState::ReadingMemory:
      m_shiftGuard.NoteStrays(cursor > 0 ? cursor - 1 : 0, true,
                              CollectStraysLocked(CMD_READ_BYTE));
      if (cursor >= m_jobTotal) return WM_MEMORY_READ_DONE;
      SendReadByte(cursor);
      return WM_MEMORY_READ_PROGRESS;
    case BLinkState::ReadingFragments:
    case BLinkState::ReadingPlaylist:
    case BLinkState::ReadingButtons:
      m_tableGuard.NoteStrays(0, true, CollectStraysLocked(TableReplyCode(m_state)));
      m_tableMarkerAnswered = true;
      return m_state == BLinkState::ReadingFragments  ? WM_FRAGMENT_READ
             : m_state == BLinkState::ReadingPlaylist ? WM_PLAYLIST_READ
                                                      : WM_BUTTON_READ;
    default:
      return 0;
  }
}

unsigned BSirenLink::ReceiveMemoryWritten(uint8_t status) {
  if (status != kStatusOk) {
    m_linkError = BLinkText(IDS_WRITE_ADDRESS_FAILED, {m_addressInFlight});
    return WM_LINK_ERROR;
  }
  m_shadow.Confirm(m_addressInFlight, m_valueInFlight);
  uint32_t cursor = static_cast<uint32_t>(m_profile.GetJobCursor()) + 1;
  m_profile.SetJobCursor(static_cast<int>(cursor));
  if (cursor >= m_jobTotal) return WM_MEMORY_WRITE_DONE;
  SendWriteByte(cursor);
  return WM_MEMORY_WRITE_PROGRESS;
}

void BSirenLink::OnMemoryProgress(bool writing) {
  int cursor;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    cursor = m_profile.GetJobCursor();
  }
  m_ui.SetProgressPosition(cursor);
  uint32_t tick = m_ui.TickCount();
  CheckLatency(static_cast<uint32_t>(cursor), tick);
  BJobProgress::Report report = m_progress.OnProgress(static_cast<uint32_t>(cursor), tick);
  char line[64];
  std::snprintf(line, sizeof(line), "speed = %d\r\n", report.speed);
  m_ui.DebugOutput(line);
  if (report.showTimeLeft) {
    int minutes = static_cast<int>(report.secondsLeft / 60 % 60);
    int seconds = static_cast<int>(report.secondsLeft % 60);
    m_ui.ReplaceLinkStatus(BLinkText(
        writing ? IDS_MEMORY_WRITE_TIME_LEFT : IDS_MEMORY_READ_TIME_LEFT, {minutes, seconds}));
  }
}

void BSirenLink::StartReadBack(Phase phase, std::vector<uint32_t> planBytes) {
  uint32_t count = static_cast<uint32_t>(planBytes.size());
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_phase = phase;
    m_wholePlan = false;
    m_jobBytes = std::move(planBytes);
  }
  StartMemoryPhase(false, count);
}

// A write always goes on with its read-back; a read phase ends its job
// unless it was a check of Write changes or of a write.
void BSirenLink::OnMemoryDone(bool writing) {
  m_ui.SetProgressPosition(0);
  if (writing) {
    m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_WRITE_FINISHED));
    StartWriteCheck();
    return;
  }
  if (StartRereadIfSuspect()) return;
  Phase phase;
  Job job;
  uint32_t unsure;
  bool tablesUnsure;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    phase = m_phase;
    job = m_job;
    unsure = m_unsureBytes;
    tablesUnsure = m_tablesUnsure;
  }
  if (phase == Phase::SampleKnown) {
    FinishKnownSample();
    return;
  }
  if (phase == Phase::SampleReconnected) {
    FinishReconnectSample();
    return;
  }
  SetState(BLinkState::Idle);
  if (phase == Phase::CheckWritten || phase == Phase::SampleWritten) {
    FinishWriteCheck();
    return;
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_READ_FINISHED));
  if (job == Job::Verify) {
    FinishVerify();
    return;
  }
  EnableAfterJob();
  if (unsure > 0)
    m_ui.ShowLinkWarning(BLinkText(IDS_READ_COMPLETE_UNSURE, {unsure}));
  else if (tablesUnsure)
    m_ui.ShowLinkWarning(BLinkText(IDS_READ_COMPLETE_TABLES_UNSURE));
  else
    m_ui.ShowLinkInformation(BLinkText(IDS_READ_COMPLETE));
}

// The abort applies to the memory phase it was asked in: one that ended while
// the question was open (a write whose read-back has begun) is not stopped.
void BSirenLink::Abort() {
  uint32_t phaseNumber;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    phaseNumber = m_phaseNumber;
  }
  if (m_ui.AskLink(BLinkText(IDS_ABORT_PROMPT), BQuestion::YesNoWarning) != BAnswer::Yes) return;
  bool acted;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    // The job may have gone on or ended, or the link failed, while the
    // question was open: the user is told that nothing was stopped.
    acted = m_phaseNumber == phaseNumber &&
            (m_state == BLinkState::ReadingMemory || m_state == BLinkState::WritingMemory);
    if (acted) m_state = BLinkState::Idle;
    // The check of a siren that came back was not finished: nothing known
    // of it may be trusted.
    if (acted && m_phase == Phase::SampleReconnected) {
      m_shadow.Forget();
      ForgetSyncedLocked();
    }
  }
  if (!acted) {
    m_ui.ShowLinkStatus(BLinkText(IDS_ABORT_NOT_DONE));
    return;
  }
  m_ui.SetProgressPosition(0);
  m_ui.ShowLinkStatus(BLinkText(IDS_ABORTED));
  EnableAfterJob();
}
