// Connecting, detection, memory size, play and stop on the siren, the reply
// handler and the dispatch of the link messages. The jobs are in siren_jobs.cpp.
#include "link/siren_link.h"

#include <cstdio>

#include "ui/string_ids.h"

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
    : m_profile(profile), m_port(port), m_ui(ui) {}

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
  m_port.Send(code, static_cast<uint8_t>(payload.size()), payload.begin());
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
  m_ui.EnableSirenCommands(false);
  m_ui.EnableAbort(false);
  m_ui.EnableFileCommands(true);
  m_ui.EnableEditing(true);
  if (m_port.IsOpen()) {
    Disconnect();
  } else {
    m_portName = portName;
    Connect();
  }
}

void BSirenLink::Disconnect() {
  m_ui.SetProgressRange(0);
  m_port.Close(kLinkCloseTimeoutMs);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = BLinkState::Disconnected;
    m_profile.SetICCount(0);
  }
  m_ui.SetConnectCommandText(false);
  m_ui.SetAvailableSize(kImageSize);
  m_ui.ShowLinkStatus(BLinkText(IDS_DISCONNECTED));
  m_ui.EnablePortMenu(true);
}

void BSirenLink::Connect() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile.ResetLinkState();
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
  m_ui.EnablePortMenu(false);
  m_ui.EnableSirenCommands(true);
  m_ui.ShowLinkStatus(BLinkText(IDS_SEARCHING_SIREN));
  Send(BLinkState::Detecting, CMD_DETECT, {});
}

// After a link error or time-out: disconnect, and leave the profile commands on.
void BSirenLink::EndAfterLinkFailure() {
  if (m_port.IsOpen()) OnConnect(m_portName);
  m_ui.EnableSirenCommands(false);
  m_ui.EnableAbort(false);
  m_ui.EnableFileCommands(true);
  m_ui.EnableEditing(true);
}

// ---- Play and stop on the siren --------------------------------------------

void BSirenLink::PlayFragment() {
  int index = m_ui.SelectedFragment();
  if (index < 0 || index >= kMaxFragments) return;
  if (!m_profile.GetFragment(index).synced &&
      m_ui.AskLink(BLinkText(IDS_FRAGMENT_NOT_SYNCED_PROMPT), BQuestion::YesNoWarning) !=
          BAnswer::Yes)
    return;
  m_playedFragment = static_cast<uint8_t>(index);
  Send(BLinkState::PlayingFragment, CMD_PLAY_FRAGMENT, {m_playedFragment});
}

void BSirenLink::PlayPlaylist() {
  if (!m_profile.IsPlaylistSynced() && m_ui.AskLink(BLinkText(IDS_PLAYLIST_NOT_SYNCED_PROMPT),
                                                    BQuestion::YesNoWarning) != BAnswer::Yes)
    return;
  Send(BLinkState::PlayingPlaylist, CMD_PLAY_PLAYLIST, {});
}

void BSirenLink::StopPlayback() {
  m_playedFragment = kStopPlayback;
  Send(BLinkState::PlayingFragment, CMD_PLAY_FRAGMENT, {kStopPlayback});
}

void BSirenLink::OnPlayReply(bool playlist) {
  uint8_t status;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    status = m_statusByte;
  }
  BLinkText reason;
  if (status == kStatusUnavailable)
    reason = BLinkText(IDS_MEMORY_UNAVAILABLE);
  else if (status == kStatusBadIndex && !playlist)
    reason = BLinkText(IDS_BAD_FRAGMENT_INDEX);
  if (!reason.IsEmpty()) {
    if (playlist)
      m_ui.ShowLinkError(BLinkText(IDS_PLAY_PLAYLIST_ON_SIREN_FAILED, {reason}));
    else
      m_ui.ShowLinkError(
          BLinkText(IDS_PLAY_FRAGMENT_ON_SIREN_FAILED, {int(m_playedFragment), reason}));
  }
  SetState(BLinkState::Idle);
}

// ---- The transport's callbacks (worker thread) -----------------------------

void BSirenLink::OnError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_linkError = BLinkText::Literal(text);
  }
  m_ui.PostLinkMessage(WM_LINK_ERROR);
}

void BSirenLink::OnTimeout() { m_ui.PostLinkMessage(WM_LINK_TIMEOUT); }

void BSirenLink::OnReceive(uint8_t code, uint8_t length, const uint8_t* data) {
  if (length < MinimumLength(code)) return;
  std::lock_guard<std::mutex> lock(m_lock);
  switch (code) {
    case kDetectReply:
      if (m_state != BLinkState::Detecting) return;
      m_state = BLinkState::QueryingSize;
      m_ui.PostLinkMessage(WM_SIREN_DETECTED);
      SendLocked(CMD_MEMORY_SIZE, {});
      return;
    case CMD_MEMORY_SIZE:
      if (m_state == BLinkState::QueryingSize) ReceiveMemorySize(data[0]);
      return;
    case kAlternativePlayReply:
    case CMD_PLAY_FRAGMENT:
      if (m_state != BLinkState::PlayingFragment) return;
      m_statusByte = data[1];
      m_ui.PostLinkMessage(WM_FRAGMENT_REPLY);
      return;
    case CMD_WRITE_FRAGMENT:
      if (m_state != BLinkState::WritingFragment) return;
      m_statusByte = data[1];
      if (m_statusByte == kStatusOk) m_profile.SetFragmentSynced(m_profile.GetJobCursor(), true);
      m_ui.PostLinkMessage(WM_FRAGMENT_REPLY);
      return;
    case CMD_WRITE_PLAYLIST:
    case CMD_PLAY_PLAYLIST:
      if (m_state != BLinkState::WritingPlaylist && m_state != BLinkState::PlayingPlaylist) return;
      m_statusByte = data[0];
      m_ui.PostLinkMessage(WM_PLAYLIST_REPLY);
      return;
    case CMD_READ_FRAGMENT:
      if (m_state != BLinkState::ReadingFragments) return;
      ReceiveFragmentEntry(data);
      m_ui.PostLinkMessage(WM_FRAGMENT_READ);
      return;
    case CMD_READ_PLAYLIST:
      if (m_state != BLinkState::ReadingPlaylist) return;
      m_profile.SetPlaylistEntry(m_profile.GetJobCursor(), data[0]);
      m_ui.PostLinkMessage(WM_PLAYLIST_READ);
      return;
    case CMD_READ_BUTTON:
      if (m_state != BLinkState::ReadingButtons) return;
      m_profile.SetButton(m_profile.GetJobCursor(), data[0]);
      m_ui.PostLinkMessage(WM_BUTTON_READ);
      return;
    case CMD_WRITE_BUTTON:
      if (m_state != BLinkState::WritingButton) return;
      m_statusByte = data[0];
      m_ui.PostLinkMessage(WM_BUTTON_WRITTEN);
      return;
    case CMD_READ_BYTE:
      if (m_state == BLinkState::ReadingMemory) ReceiveMemoryByte(data[0], data[1]);
      return;
    case CMD_WRITE_BYTE:
      if (m_state == BLinkState::WritingMemory) ReceiveMemoryWritten(data[0]);
      return;
    default:
      return;
  }
}

void BSirenLink::ReceiveMemorySize(uint8_t count) {
  m_state = BLinkState::Idle;
  int chips = static_cast<int8_t>(count);
  if (chips < 1 || chips > kMaxChips) {
    m_linkError = BLinkText(IDS_BAD_MEMORY_SIZE, {int(count)});
    m_ui.PostLinkMessage(WM_SIREN_BAD_MEMORY_SIZE);
    return;
  }
  m_profile.SetICCount(chips);
  m_ui.PostLinkMessage(WM_SIREN_MEMORY_SIZE);
}

// ---- The link messages (user-interface thread) -----------------------------

void BSirenLink::HandleMessage(unsigned message) {
  BLinkState state = GetState();
  // A message posted before the user disconnected belongs to a closed link.
  if (state == BLinkState::Disconnected) return;
  switch (message) {
    case WM_LINK_ERROR: {
      BLinkText error;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        error = m_linkError;
      }
      m_ui.ShowLinkStatus(error);
      EndAfterLinkFailure();
      m_ui.ShowLinkError(BLinkText(IDS_PORT_ACCESS_FAILED, {m_portName, error}));
      return;
    }
    case WM_LINK_TIMEOUT:
      EndAfterLinkFailure();
      m_ui.ShowLinkError(BLinkText(IDS_SIREN_NOT_RESPONDING, {m_portName}));
      return;
    case WM_SIREN_DETECTED:
      m_ui.ShowLinkStatus(BLinkText(IDS_SIREN_DETECTED));
      m_ui.ShowLinkStatus(BLinkText(IDS_QUERYING_MEMORY_SIZE));
      return;
    case WM_SIREN_MEMORY_SIZE:
      OnMemorySize();
      return;
    case WM_SIREN_BAD_MEMORY_SIZE: {
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
  m_ui.EnableSirenCommands(true);
  m_ui.SetAvailableSize(chips * kChipSize);
}
