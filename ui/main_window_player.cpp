// The player panel: loading a fragment or the playlist into the player,
// play, pause, loop, stop, seeking with the trackbar, playback inside a
// marked range, the time field, and the player's callbacks.
#include "main_window_base.h"

#include <commctrl.h>

#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

// The restart, finished and position messages carry the run they belong to
// in lParam; those of an earlier run are dropped.
void BMainDlgBase::AddPlayerRoutes() {
  using W = BMainDlgBase;
  AddRoute({kPlayerRestarted, 0, 0, kAnyCode, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
              if (w.IsCurrentPlayerRun(lp)) w.OnPlayerRestarted();
              return 0;
            }});
  AddRoute({kPlayerFinished, 0, 0, kAnyCode, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
              if (w.IsCurrentPlayerRun(lp)) w.OnPlayerFinishedMessage();
              return 0;
            }});
  AddRoute({kPlayerPosition, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
              if (w.IsCurrentPlayerRun(lp)) w.OnPlayerPositionMessage(static_cast<uint32_t>(wp));
              return 0;
            }});
  AddRoute({kPlayerError, 0, 0, kAnyCode, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
              w.OnPlayerErrorMessage();
              return 0;
            }});
}

// ---- The player's thread ---------------------------------------------------

// Runs inside the buffer lock, where the run cannot change: the run read here
// is the one this sound belongs to, and the finished and position reports
// that follow this fill belong to it too.
bool BMainDlgBase::OnPlayerFill(uint8_t* buffer, uint32_t size, uint32_t& count) {
  m_filledRun = m_playerRun;
  BPlayBuffer::Filled filled = m_playBuffer.Fill(buffer, size, m_looping);
  if (filled.restarted) PostToWindow(kPlayerRestarted, 0, m_filledRun);
  count = filled.count;
  return count > 0;
}

void BMainDlgBase::OnPlayerFinished() { PostToWindow(kPlayerFinished, 0, m_filledRun); }

void BMainDlgBase::OnPlayerPosition(uint32_t samples) {
  PostToWindow(kPlayerPosition, samples, m_filledRun);
}

void BMainDlgBase::OnPlayerError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(m_playerErrorLock);
    m_playerError = text;
  }
  PostToWindow(kPlayerError, 0, 0);
}

void BMainDlgBase::PostToWindow(UINT message, WPARAM wParam, uint32_t run) {
  HWND target = m_linkMessageTarget;
  if (target != nullptr) ::PostMessageW(target, message, wParam, static_cast<LPARAM>(run));
}

// ---- Runs ----------------------------------------------------------------------

// Called inside the buffer lock whenever this thread moves, reloads or stops
// the sound: whatever the player's thread reported before belongs to the past.
void BMainDlgBase::BeginPlayerRun() { m_playerRun = m_playerRun + 1; }

bool BMainDlgBase::IsCurrentPlayerRun(LPARAM run) const {
  return static_cast<uint32_t>(run) == m_playerRun;
}

// Without a sound device the panel stays stopped; the reason goes to the log.
bool BMainDlgBase::SoundDeviceReady() {
  if (m_player.IsOpen()) return true;
  ShowStatus(IDS_WAVE_DEVICE_OPEN_FAILED, Widen(m_soundDeviceError).c_str());
  return false;
}

// ---- Controls ----------------------------------------------------------------

bool BMainDlgBase::RangeMarked(uint32_t& start, uint32_t& end) const {
  start = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETSELSTART, 0, 0));
  end = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETSELEND, 0, 0));
  return static_cast<int32_t>(end - start) > 0;
}

void BMainDlgBase::RepaintMemoryView() {
  ::InvalidateRect(GetItem(IDC_MEMORY_VIEW), nullptr, TRUE);
}

void BMainDlgBase::SetPlayButtonState(bool stopped) {
  HANDLE icon =
      ::LoadImageW(GetInstance(), MAKEINTRESOURCEW(stopped ? IDI_PLAY : IDI_PAUSE), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  ::SendMessageW(GetItem(IDC_PLAY_PAUSE), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

void BMainDlgBase::ShowPlayTime(uint32_t position) {
  ::SetDlgItemTextW(GetHwnd(), IDC_PLAY_TIME,
                    Widen(PlayTimeText(position, m_playBuffer.Length())).c_str());
}

// The play marker in the memory view; in playlist mode also the row being
// heard and its band.
void BMainDlgBase::SetPlayPosition(int64_t position) {
  int64_t address = position < 0 ? -1 : m_playBuffer.AddressAt(static_cast<uint32_t>(position));
  int segment = position < 0 ? -1 : m_playBuffer.SegmentAt(static_cast<uint32_t>(position));
  if (m_playlistMode && segment >= 0) {
    if (SelectedRow(m_playlist) != segment) {
      for (int row = 0; row < RowCount(m_playlist); ++row) {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        ::SendMessageW(m_playlist, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
      }
      SelectRow(m_playlist, segment);
    }
    m_memoryView.SetSelectedBand(RowOfFragment(static_cast<int>(RowData(m_playlist, segment))));
  }
  m_memoryView.SetMarker(static_cast<int>(address));
}

// Every path that frees the play buffer stops playback first.
void BMainDlgBase::ReleasePlayBuffer() {
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.Release();
    BeginPlayerRun();
  }
  ::SendMessageW(m_trackbar, TBM_CLEARSEL, FALSE, 0);
  UpdateWaveSound();
}

// ---- Loading -------------------------------------------------------------------

void BMainDlgBase::LoadFragmentIntoPlayer() {
  int row = SelectedRow(m_fragmentList);
  OnFragmentSelChanged();
  if (row < 0 || JobHoldsProfile()) return;
  EnablePlayer(true);
  m_playlistMode = false;
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.LoadFragment(m_profile, static_cast<int>(RowData(m_fragmentList, row)));
    BeginPlayerRun();
  }
  ShowLoadedSound();
}

// A sound was just loaded: the thumb, the time field, the memory marker and
// the waveform start from its beginning.
void BMainDlgBase::ShowLoadedSound() {
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, 0);
  SetPlayPosition(0);
  ::SendMessageW(m_trackbar, TBM_SETRANGEMAX, FALSE, m_playBuffer.Length());
  ShowPlayTime(0);
  UpdateWaveSound();
}

void BMainDlgBase::OnPlayFragment() {
  if (SelectedRow(m_fragmentList) < 0 || JobHoldsProfile()) return;
  LoadFragmentIntoPlayer();
  OnPlayPause();
}

void BMainDlgBase::OnPlayPlaylist() {
  if (JobHoldsProfile()) return;
  OnStop();
  ReleasePlayBuffer();
  bool loaded;
  {
    BPlayer::BufferLock lock(m_player);
    loaded = m_playBuffer.LoadPlaylist(m_profile);
    BeginPlayerRun();
  }
  if (!loaded) return;
  m_playlistMode = true;
  EnablePlayer(true);
  EnableRangeCommands(false);
  ShowLoadedSound();
  OnPlayPause();
}

// ---- Play, pause, loop, stop ------------------------------------------------------

// Inside a marked range the thumb counts only when it lies within it.
void BMainDlgBase::ApplyStartPosition() {
  uint32_t thumb = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
  uint32_t start = 0, end = 0;
  RangeMarked(start, end);
  uint32_t position = PlayStartPosition(thumb, start, end);
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.SetPosition(position);
    BeginPlayerRun();
  }
  m_lastReportedPosition = position;
  if (position != thumb) ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
}

void BMainDlgBase::OnLoopPlay() {
  if (!SoundDeviceReady()) return;
  ApplyStartPosition();
  m_player.Play();
  m_playing = true;
  m_looping = true;
  EnableLoopButton(false);
  SetPlayButtonState(false);
}

void BMainDlgBase::OnPlayPause() {
  if (!m_playing && !SoundDeviceReady()) return;
  ApplyStartPosition();
  if (m_playing) {
    m_player.Pause();
    m_playing = false;
    EnableLoopButton(true);
    SetPlayButtonState(true);
    return;
  }
  m_player.Play();
  m_playing = true;
  m_looping = false;
  EnableLoopButton(false);
  SetPlayButtonState(false);
}

void BMainDlgBase::OnStop() {
  uint32_t start = 0, end = 0;
  bool marked = RangeMarked(start, end);
  m_player.Pause();
  m_player.Reset();
  uint32_t position = marked ? start : 0;
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.SetPosition(position);
    BeginPlayerRun();
  }
  RepaintMemoryView();
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
  SetPlayPosition(m_playBuffer.IsEmpty() ? -1 : position);
  m_playing = false;
  m_looping = false;
  if (m_playBuffer.IsEmpty()) return;
  EnableLoopButton(true);
  SetPlayButtonState(true);
  ShowPlayTime(position);
}

void BMainDlgBase::SetPlaying(bool on) {
  if (on && !m_playing) OnLoopPlay();
  if (!on && m_playing) OnStop();
}

// The thumb moved: the displays follow; a drag or a page step also seeks.
void BMainDlgBase::OnHScroll(WPARAM wParam, LPARAM lParam) {
  if (reinterpret_cast<HWND>(lParam) != m_trackbar || m_playBuffer.IsEmpty()) return;
  uint32_t position = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
  ShowPlayTime(position);
  SetPlayPosition(position);
  int code = LOWORD(wParam);
  if (!m_playing || (code != TB_PAGEUP && code != TB_PAGEDOWN && code != TB_THUMBTRACK)) return;
  m_player.Pause();
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.SetPosition(position);
    BeginPlayerRun();
  }
  m_player.Play();
}

// ---- The player's messages ----------------------------------------------------

void BMainDlgBase::OnPlayerRestarted() {
  RepaintMemoryView();
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, 0);
}

void BMainDlgBase::OnPlayerFinishedMessage() {
  if (!m_playing) return;  // stopped meanwhile
  uint32_t start = 0, end = 0;
  uint32_t position = RangeMarked(start, end) ? start : 0;
  {
    BPlayer::BufferLock lock(m_player);
    m_playBuffer.SetPosition(position);
    BeginPlayerRun();
  }
  RepaintMemoryView();
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
  SetPlayPosition(position);
  ShowPlayTime(position);
  m_lastReportedPosition = position;
  if (m_looping) {
    m_player.Play();
    return;
  }
  m_player.Reset();
  m_playing = false;
  SetPlayButtonState(true);
  EnableLoopButton(true);
}

// The thumb follows what was heard, up to the end of the sound; leaving a
// marked range stops or loops.
void BMainDlgBase::OnPlayerPositionMessage(uint32_t samples) {
  if (!m_playing) return;  // a report from before a stop
  uint32_t thumb = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
  uint32_t length = m_playBuffer.Length();
  uint32_t position = thumb < length && samples < length - thumb ? thumb + samples : length;
  if (position < m_lastReportedPosition) RepaintMemoryView();
  uint32_t start = 0, end = 0;
  if (RangeMarked(start, end) && (position < start || position >= end)) {
    m_player.Pause();
    {
      BPlayer::BufferLock lock(m_player);
      m_playBuffer.SetPosition(start);
      BeginPlayerRun();
    }
    if (m_looping) {
      m_player.Play();
    } else {
      m_playing = false;
      SetPlayButtonState(true);
      EnableLoopButton(true);
    }
    RepaintMemoryView();
    position = start;
  }
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
  SetPlayPosition(position);
  ShowPlayTime(position);
  m_lastReportedPosition = position;
}

void BMainDlgBase::OnPlayerErrorMessage() {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(m_playerErrorLock);
    text = m_playerError;
  }
  ShowMessage(IDS_WAVE_DEVICE_ACCESS_FAILED, MB_ICONERROR, Widen(text).c_str());
}
