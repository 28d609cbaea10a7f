// The read and write jobs: the three table phases (fragment entries, playlist
// entries, button bindings), chained through the user-interface thread, and
// the memory phase, chained byte by byte on the worker thread. Write changes
// and Verify run through the same phases; what is their own is in
// siren_verify_jobs.cpp.
#include <cstdio>

#include "link/plan_bytes.h"
#include "link/siren_link.h"
#include "link/link_string_ids.h"

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

// Every command group back as it is outside a job; the replies that came
// without a request during the job are counted in the status log.
void BSirenLink::EnableAfterJob() {
  ShowStrayReplies();
  m_ui.EnableSirenCommands(true);
  m_ui.EnableAbort(false);
  m_ui.EnableEditing(true);
  m_ui.EnableFileCommands(true);
}

void BSirenLink::ShowStrayReplies() {
  uint32_t strays = m_port.TakeStrayReplies();
  if (strays > 0) m_ui.ShowLinkStatus(BLinkText(IDS_STRAY_REPLIES, {strays}));
}

void BSirenLink::EndJob() {
  SetState(BLinkState::Idle);
  EnableAfterJob();
}

BSirenLink::Job BSirenLink::GetJob() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_job;
}

// The start of every job: job cursor 0, the job's kind.
void BSirenLink::StartTableJob(Job job) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_profile.SetJobCursor(0);
  m_job = job;
  m_phase = Phase::Transfer;
}

// ---- Read -----------------------------------------------------------------

void BSirenLink::StartRead() {
  m_ui.EnablePlayer(false);
  m_ui.ClearHistory();
  m_ui.ClearPanels();
  m_ui.SetProgressRange(0);
  StartTableJob(Job::Read);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.Reset();
  }
  m_ui.MarkProfileModified();
  StartTableRead(Table::Fragments);
  m_ui.EnableSirenCommands(false);
  m_ui.EnableAbort(false);
  m_ui.EnableEditing(false);
  m_ui.EnableFileCommands(false);
}

void BSirenLink::StartTableRead(Table table) {
  const TablePhase& phase = PhaseOf(table);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.SetJobCursor(0);
  }
  Send(phase.readState, phase.readCommand, {0});
  m_ui.ShowLinkStatus(BLinkText(phase.readingLine, {0}));
}

// Worker: a fragment table entry; entries beyond the siren's memory hold no fragment.
void BSirenLink::ReceiveFragmentEntry(const uint8_t* data) {
  int index = data[0];
  m_profile.SetJobCursor(index);
  if (index >= kMaxFragments) return;
  if (m_job == Job::Verify) {  // kept as the siren has it, to compare with what Write sends
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

void BSirenLink::OnTableRead(Table table) {
  const TablePhase& phase = PhaseOf(table);
  int cursor = NextJobCursor();
  if (cursor < phase.count) {
    Send(phase.readState, phase.readCommand, {static_cast<uint8_t>(cursor)});
    m_ui.ShowLinkStatus(BLinkText(phase.readingLine, {cursor}));
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
      if (m_job != Job::Verify) m_profile.SetPlaylistSynced(!m_profile.TrimPlaylist());
    }
      m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
      StartTableRead(Table::Buttons);
      return;
    case Table::Buttons:
      if (GetJob() == Job::Verify) {
        m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
        StartVerifyMemory();
        return;
      }
      m_ui.FillPanels();
      m_ui.ShowLinkStatus(BLinkText(phase.readDoneLine));
      AskForMemoryPhase(false);
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
  m_ui.EnableSirenCommands(false);
  m_ui.EnableAbort(false);
  m_ui.EnableEditing(false);
  m_ui.EnableFileCommands(false);
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
    if (table == Table::Playlist) m_profile.SetPlaylistSynced(true);
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
  EndJob();
}

void BSirenLink::StartMemoryPhase(bool writing, uint32_t total) {
  m_progress.Start(m_ui.TickCount(), total);
  m_ui.SetProgressRange(static_cast<int>(total));
  if (writing) m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_WRITE_STARTED));
  m_progressPosted = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_phaseNumber;
    m_jobTotal = total;
    m_profile.SetJobCursor(0);
    m_state = writing ? BLinkState::WritingMemory : BLinkState::ReadingMemory;
    if (writing)
      SendWriteByte(0);
    else
      SendReadByte(0);
  }
  m_ui.EnableAbort(true);
  if (!writing) m_ui.ShowLinkStatus(BLinkText(IDS_MEMORY_READ_STARTED));
}

// With m_lock held: the plan byte that byte `jobByte` of the memory phase moves.
uint32_t BSirenLink::PlanIndexOf(uint32_t jobByte) const {
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
// ask for the next one at once.
unsigned BSirenLink::ReceiveMemoryByte(uint8_t status, uint8_t value) {
  if (status != kStatusOk) {
    m_linkError = BLinkText(IDS_READ_ADDRESS_FAILED, {m_addressInFlight});
    return WM_LINK_ERROR;
  }
  if (m_job == Job::Read && m_addressInFlight < kImageSize)
    m_profile.Image()[m_addressInFlight] = value;
  m_shadow.Confirm(m_addressInFlight, value);
  uint32_t cursor = static_cast<uint32_t>(m_profile.GetJobCursor()) + 1;
  m_profile.SetJobCursor(static_cast<int>(cursor));
  if (cursor >= m_jobTotal) return WM_MEMORY_READ_DONE;
  SendReadByte(cursor);
  return WM_MEMORY_READ_PROGRESS;
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
  BJobProgress::Report report =
      m_progress.OnProgress(static_cast<uint32_t>(cursor), m_ui.TickCount());
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
  Phase phase;
  Job job;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    phase = m_phase;
    job = m_job;
  }
  if (phase == Phase::SampleKnown) {
    FinishKnownSample();
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
  {
    std::lock_guard<std::mutex> lock(m_lock);
    // The job may have gone on or ended, or the link failed, while the question was open.
    if (m_phaseNumber != phaseNumber) return;
    if (m_state != BLinkState::ReadingMemory && m_state != BLinkState::WritingMemory) return;
    m_state = BLinkState::Idle;
  }
  m_ui.SetProgressPosition(0);
  m_ui.ShowLinkStatus(BLinkText(IDS_ABORTED));
  EnableAfterJob();
}
