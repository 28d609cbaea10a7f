// Connecting, detection, memory size, play and stop on the siren, the reply
// handler and the dispatch of the link messages. The jobs are in siren_jobs.cpp.
#include "link/siren_link.h"

#include <cstdio>

#include "link/link_string_ids.h"

namespace {

// The shortest data each reply code must carry (the transport checks the exact
// lengths; this keeps the handler safe when called directly).
uint8_t MinimumLength(uint8_t code) {
  switch (code) {
    case CMD_READ_FRAGMENT:
      return 7;
    case CMD_WRITE_FRAGMENT:
    case kAlternativePlayReply:
    case CMD_PLAY_FRAGMENT:
    case CMD_READ_BYTE:
    case CMD_READ_PLAYLIST:
    case CMD_READ_BUTTON:
      return 2;
    case kDetectReply:
      return 0;
    default:
      return 1;
  }
}

}  // namespace

BSirenLink::BSirenLink(BProfile& profile, BLinkPort& port, BLinkUi& ui)
    : m_profile(profile), m_port(port), m_ui(ui), m_random(std::random_device()()) {}

void BSirenLink::SetSampleSeed(uint32_t seed) { m_random.seed(seed); }

// Only a memory phase can be aborted; whatever changed, the window decides
// the commands anew.
void BSirenLink::SetAbortable(bool abortable) {
  m_abortable = abortable;
  m_ui.CommandsChanged();
}

BLinkState BSirenLink::GetState() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_state;
}

bool BSirenLink::IsJobRunning() const {
  switch (GetState()) {
    case BLinkState::ReadingMemory:
    case BLinkState::WritingMemory:
    case BLinkState::ReadingFragments:
    case BLinkState::WritingFragment:
    case BLinkState::ReadingPlaylist:
    case BLinkState::WritingPlaylist:
    case BLinkState::ReadingButtons:
    case BLinkState::WritingButton:
      return true;
    default:
      return false;
  }
}

void BSirenLink::SetState(BLinkState state) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_state = state;
}

void BSirenLink::SendLocked(uint8_t code, std::initializer_list<uint8_t> payload) {
  uint8_t length = static_cast<uint8_t>(payload.size());
  m_retry.Sent(code, length, payload.begin());
  m_port.Send(code, length, payload.begin());
}

// The state is set before the request leaves, so that even an immediate reply
// finds the state that accepts it.
void BSirenLink::Send(BLinkState state, uint8_t code, std::initializer_list<uint8_t> payload) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_state = state;
  SendLocked(code, payload);
}

// ---- Connect and disconnect ------------------------------------------------

void BSirenLink::OnConnect(const std::string& portName) {
  SetAbortable(false);
  // While the link tries to open a failed port again, the command stops it.
  if (m_port.IsOpen() || m_reconnect.IsActive()) {
    Disconnect();
  } else {
    m_portName = portName;
    Connect();
  }
}

void BSirenLink::Disconnect() {
  StopReconnecting();
  m_sirenAnswered = false;
  m_ui.SetProgressRange(0);
  m_port.Close(kLinkCloseTimeoutMs);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = BLinkState::Disconnected;
    m_profile.SetICCount(0);
    m_shadow.Forget();  // another program may change the siren before the next connection
  }
  EndOfJob();
  m_ui.SetConnectCommandText(false);
  m_ui.SetAvailableSize(kImageSize);
  m_ui.ShowLinkStatus(BLinkText(IDS_DISCONNECTED));
  SetAbortable(false);
}

void BSirenLink::Connect() {
  StopReconnecting();
  m_sirenAnswered = false;
  m_portName = m_ui.FindPort(m_portName);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_portFailed = false;
    m_profile.ResetLinkState();
    m_shadow.Forget();
    m_playsInFlight.clear();
    m_playReplies.clear();
    m_retry.Reset();
    m_strayCount = 0;
    m_job = Job::None;
  }
  m_ui.ClearStatusLog();
  m_ui.SetProgressRange(0);
  m_ui.ShowLinkStatus(BLinkText(IDS_OPENING_PORT, {m_portName}));
  if (!m_port.Open(m_portName)) {
    std::string reason = m_port.GetErrorText();
    m_ui.SetConnectCommandText(false);
    m_ui.ShowLinkStatus(BLinkText(IDS_PORT_OPEN_FAILED_STATUS, {m_portName, reason}));
    m_ui.ShowLinkError(BLinkText(IDS_PORT_OPEN_FAILED, {m_portName, reason}));
    return;
  }
  m_ui.SaveSettings();
  m_ui.SetConnectCommandText(true);
  SetAbortable(false);
  m_ui.ShowLinkStatus(BLinkText(IDS_SEARCHING_SIREN));
  Send(BLinkState::Detecting, CMD_DETECT, {});
}

// After a link error or time-out: disconnect, and leave the profile commands on.
void BSirenLink::EndAfterLinkFailure() {
  ShowStrayReplies();
  if (m_port.IsOpen()) OnConnect(m_portName);
  SetAbortable(false);
}

// ---- Play and stop on the siren --------------------------------------------

void BSirenLink::PlayFragment() {
  int index = m_ui.SelectedFragment();
  if (index < 0 || index >= kMaxFragments) return;
  if (!m_profile.GetFragment(index).synced &&
      m_ui.AskLink(BLinkText(IDS_FRAGMENT_NOT_SYNCED_PROMPT), BQuestion::YesNoWarning) !=
          BAnswer::Yes)
    return;
  SendPlay(static_cast<uint8_t>(index));
}

void BSirenLink::PlayPlaylist() {
  bool inStep;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    inStep = m_profile.IsPlaylistInStep();
  }
  if (!inStep && m_ui.AskLink(BLinkText(IDS_PLAYLIST_NOT_SYNCED_PROMPT), BQuestion::YesNoWarning) !=
                     BAnswer::Yes)
    return;
  Send(BLinkState::PlayingPlaylist, CMD_PLAY_PLAYLIST, {});
}

void BSirenLink::StopPlayback() { SendPlay(kStopPlayback); }

// The index goes with the request, so that a stop sent before a play is
// answered cannot change what the play's answer reports.
void BSirenLink::SendPlay(uint8_t index) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_state = BLinkState::PlayingFragment;
  m_playsInFlight.push_back(index);
  SendLocked(CMD_PLAY_FRAGMENT, {index});
}

void BSirenLink::OnPlayReply(bool playlist) {
  std::deque<BPlayReply> replies;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (playlist)
      replies.push_back({0, m_statusByte});
    else
      replies.swap(m_playReplies);
  }
  // Normally one answer; two when a stop was answered before the play's
  // message was handled (the state is Idle after this, so the stop's own
  // message is passed over).
  for (const BPlayReply& reply : replies) {
    BLinkText reason;
    if (reply.status == kStatusUnavailable)
      reason = BLinkText(IDS_MEMORY_UNAVAILABLE);
    else if (reply.status == kStatusBadIndex && !playlist)
      reason = BLinkText(IDS_BAD_FRAGMENT_INDEX);
    if (reason.IsEmpty()) continue;
    if (playlist)
      m_ui.ShowLinkError(BLinkText(IDS_PLAY_PLAYLIST_ON_SIREN_FAILED, {reason}));
    else
      m_ui.ShowLinkError(
          BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {int(reply.fragment), reason}));
  }
  SetState(BLinkState::Idle);
}

// ---- The transport's callbacks (worker thread) -----------------------------

void BSirenLink::OnError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_linkError = BLinkText::Literal(text);
    m_portFailed = true;
  }
  Post(WM_LINK_ERROR);
}

void BSirenLink::OnTimeout() { NoReply(false); }

void BSirenLink::OnGarbledReply() { NoReply(true); }

// A request that is safe to repeat goes again, at most twice; the transport
// drops what the line holds before it writes it. Outside a job or a query
// (Idle: an aborted job's request) there is nothing to repeat it for.
void BSirenLink::NoReply(bool garbled) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != BLinkState::Idle && m_state != BLinkState::Disconnected &&
        m_retry.TakeRetry(garbled)) {
      const std::vector<uint8_t>& payload = m_retry.Payload();
      m_port.Send(m_retry.Code(), static_cast<uint8_t>(payload.size()), payload.data());
      return;
    }
  }
  Post(WM_LINK_TIMEOUT);
}

void BSirenLink::OnReceive(uint8_t code, uint8_t length, const uint8_t* data) {
  if (length < MinimumLength(code)) return;
  unsigned message;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    message = ReceiveLocked(code, data);
    if (message != 0) m_retry.Answered();
  }
  if (message != 0) Post(message);
}

// Posting may wait for room in the window's queue, so it happens without
// m_lock, which the window needs to empty the queue.
void BSirenLink::Post(unsigned message) {
  if (message != WM_MEMORY_READ_PROGRESS && message != WM_MEMORY_WRITE_PROGRESS) {
    m_ui.PostLinkMessage(message);
    return;
  }
  // The window has not taken the last one yet: it will find the cursor
  // further on when it does.
  if (m_progressPosted.exchange(true)) return;
  if (!m_ui.PostLinkMessage(message)) m_progressPosted = false;
}

unsigned BSirenLink::ReceiveLocked(uint8_t code, const uint8_t* data) {
  switch (code) {
    case kDetectReply:
      if (m_markerPending) return ReceiveMarker();
      if (m_state != BLinkState::Detecting) return 0;
      m_state = BLinkState::QueryingSize;
      SendLocked(CMD_MEMORY_SIZE, {});
      return WM_SIREN_DETECTED;
    case CMD_MEMORY_SIZE:
      return m_state == BLinkState::QueryingSize ? ReceiveMemorySize(data[0]) : 0;
    case kAlternativePlayReply:
    case CMD_PLAY_FRAGMENT:
      return ReceivePlayReply(data[1]);
    case CMD_WRITE_FRAGMENT: {
      if (m_state != BLinkState::WritingFragment) return 0;
      m_statusByte = data[1];
      // The entry is stored; whether its bytes are is decided at the job's end.
      int slot = m_profile.GetJobCursor();
      m_profile.SetFragmentSynced(slot, m_statusByte == kStatusOk);
      if (slot >= 0 && slot < kMaxFragments) m_entryStatus[0][slot] = m_statusByte;
      return WM_FRAGMENT_REPLY;
    }
    case CMD_WRITE_PLAYLIST:
    case CMD_PLAY_PLAYLIST:
      if (m_state != BLinkState::WritingPlaylist && m_state != BLinkState::PlayingPlaylist)
        return 0;
      m_statusByte = data[0];
      if (m_state == BLinkState::WritingPlaylist) {
        int position = m_profile.GetJobCursor();
        if (position >= 0 && position < kMaxPlaylistEntries) m_entryStatus[1][position] = data[0];
      }
      return WM_PLAYLIST_REPLY;
    case CMD_READ_FRAGMENT:
    case CMD_READ_PLAYLIST:
    case CMD_READ_BUTTON:
      return ReceiveTableRead(code, data);
    case CMD_WRITE_BUTTON: {
      if (m_state != BLinkState::WritingButton) return 0;
      m_statusByte = data[0];
      int button = m_profile.GetJobCursor();
      if (button >= 0 && button < kButtonCount) m_entryStatus[2][button] = data[0];
      return WM_BUTTON_WRITTEN;
    }
    case CMD_READ_BYTE:
      return m_state == BLinkState::ReadingMemory ? ReceiveMemoryByte(data[0], data[1]) : 0;
    case CMD_WRITE_BYTE:
      return m_state == BLinkState::WritingMemory ? ReceiveMemoryWritten(data[0]) : 0;
    default:
      return 0;
  }
}

// Every play reply answers the oldest play request, also when the link state
// no longer waits for it (its message is then not posted).
unsigned BSirenLink::ReceivePlayReply(uint8_t status) {
  uint8_t fragment = kStopPlayback;
  if (!m_playsInFlight.empty()) {
    fragment = m_playsInFlight.front();
    m_playsInFlight.pop_front();
  }
  if (m_state != BLinkState::PlayingFragment) return 0;
  m_playReplies.push_back({fragment, status});
  return WM_FRAGMENT_REPLY;
}

unsigned BSirenLink::ReceiveMemorySize(uint8_t count) {
  m_state = BLinkState::Idle;
  int chips = static_cast<int8_t>(count);
  if (chips < 1 || chips > kMaxChips) {
    m_linkError = BLinkText(IDS_BAD_MEMORY_SIZE, {int(count)});
    return WM_SIREN_BAD_MEMORY_SIZE;
  }
  m_profile.SetICCount(chips);
  return WM_SIREN_MEMORY_SIZE;
}

// ---- The link messages (user-interface thread) -----------------------------

void BSirenLink::HandleMessage(unsigned message) {
  // The window has taken the progress message: the worker may post the next.
  if (message == WM_MEMORY_READ_PROGRESS || message == WM_MEMORY_WRITE_PROGRESS)
    m_progressPosted = false;
  BLinkState state = GetState();
  // A message posted before the user disconnected belongs to a closed link.
  if (state == BLinkState::Disconnected) return;
  switch (message) {
    case WM_LINK_ERROR: {
      BLinkText error;
      bool portFailed;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        error = m_linkError;
        portFailed = std::exchange(m_portFailed, false);
      }
      if (m_reconnect.IsAttemptUnderWay()) {
        AttemptFailed();
        return;
      }
      if (portFailed && m_sirenAnswered) {
        LosePort(error);
        return;
      }
      m_ui.ShowLinkStatus(error);
      EndAfterLinkFailure();
      m_ui.ShowLinkError(BLinkText(IDS_PORT_ACCESS_FAILED, {m_portName, error}));
      return;
    }
    case WM_LINK_TIMEOUT: {
      if (m_reconnect.IsAttemptUnderWay()) {
        AttemptFailed();
        return;
      }
      // Line errors make the siren look absent: say so, with the remedy.
      bool lineErrors = m_port.TakeLineErrors() != 0;
      EndAfterLinkFailure();
      m_ui.ShowLinkError(
          BLinkText(lineErrors ? IDS_SIREN_LINE_ERRORS : IDS_SIREN_NOT_RESPONDING, {m_portName}));
      return;
    }
    case WM_SIREN_DETECTED:
      if (m_reconnect.IsAttemptUnderWay()) return;  // said once the size is known
      m_sirenAnswered = true;
      m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_DETECTED));
      m_ui.ShowLinkStatus(BLinkText(IDS_QUERYING_MEMORY_SIZE));
      return;
    case WM_SIREN_MEMORY_SIZE:
      if (!OnReconnected()) OnMemorySize();
      return;
    case WM_SIREN_BAD_MEMORY_SIZE: {
      // A siren that came back with a memory size it cannot have is shown
      // as at any connection, and nothing known of it is kept.
      if (m_reconnect.IsAttemptUnderWay()) {
        StopReconnecting();
        m_sirenAnswered = true;
        ForgetWhatWasKnown();
        m_ui.SetConnectCommandText(true);
        SetAbortable(false);
      }
      BLinkText error;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        error = m_linkError;
      }
      m_ui.ShowLinkStatus(error);
      m_ui.ShowLinkError(error);
      return;
    }
    case WM_FRAGMENT_REPLY:
      if (state == BLinkState::PlayingFragment) OnPlayReply(false);
      if (state == BLinkState::WritingFragment) OnTableWritten(Table::Fragments);
      return;
    case WM_PLAYLIST_REPLY:
      if (state == BLinkState::PlayingPlaylist) OnPlayReply(true);
      if (state == BLinkState::WritingPlaylist) OnTableWritten(Table::Playlist);
      return;
    case WM_BUTTON_WRITTEN:
      if (state == BLinkState::WritingButton) OnTableWritten(Table::Buttons);
      return;
    case WM_FRAGMENT_READ:
      if (state == BLinkState::ReadingFragments) OnTableRead(Table::Fragments);
      return;
    case WM_PLAYLIST_READ:
      if (state == BLinkState::ReadingPlaylist) OnTableRead(Table::Playlist);
      return;
    case WM_BUTTON_READ:
      if (state == BLinkState::ReadingButtons) OnTableRead(Table::Buttons);
      return;
    case WM_MEMORY_READ_PROGRESS:
      if (state == BLinkState::ReadingMemory) OnMemoryProgress(false);
      return;
    case WM_MEMORY_WRITE_PROGRESS:
      if (state == BLinkState::WritingMemory) OnMemoryProgress(true);
      return;
    case WM_MEMORY_READ_DONE:
      if (state == BLinkState::ReadingMemory) OnMemoryDone(false);
      return;
    case WM_MEMORY_WRITE_DONE:
      if (state == BLinkState::WritingMemory) OnMemoryDone(true);
      return;
    default:
      return;
  }
}

void BSirenLink::OnMemorySize() {
  int chips;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    chips = m_profile.GetICCount();
  }
  m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_CONNECTED, {int(chips * kChipSize / 1024)}));
  SetAbortable(false);
  m_ui.SetAvailableSize(chips * kChipSize);
}
