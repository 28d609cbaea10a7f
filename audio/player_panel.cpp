#include "audio/player_panel.h"

#include "audio/audio_string_ids.h"

namespace {

class EngineLock {
 public:
  explicit EngineLock(BPlayerEngine& engine) : m_engine(engine) { m_engine.LockBuffer(); }
  ~EngineLock() { m_engine.UnlockBuffer(); }
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;

 private:
  BPlayerEngine& m_engine;
};

}  // namespace

BPlayerPanel::BPlayerPanel(const BProfile& profile, BPlayerEngine& engine, BPlayerView& view)
    : m_profile(profile), m_engine(engine), m_view(view) {}

// ---- The device -----------------------------------------------------------------

void BPlayerPanel::OpenDevice() {
  if (m_engine.Open()) return;
  m_deviceError = m_engine.GetErrorText();
  m_view.ShowPlayerError(BText(IDS_WAVE_DEVICE_OPEN_FAILED, {m_deviceError}));
}

// Without a sound device the panel stays stopped; the reason goes to the log.
bool BPlayerPanel::DeviceReady() {
  if (m_engine.IsOpen()) return true;
  m_view.ShowPlayerStatus(BText(IDS_WAVE_DEVICE_OPEN_FAILED, {m_deviceError}));
  return false;
}

void BPlayerPanel::Enable(bool enable) {
  m_enabled = enable;
  m_rangeCommands = enable;
  m_view.PlayerStateChanged();
  if (enable) return;
  Stop();
  Release();
  m_view.ShowTimeText("");
  m_view.ShowThumb(0);
  ShowPlayPosition(-1);
  m_view.SetPlayButtonState(true);
}

void BPlayerPanel::EnableRangeCommands(bool enable) {
  m_rangeCommands = enable;
  m_view.PlayerStateChanged();
}

// ---- Runs -------------------------------------------------------------------------

// Called inside the engine's lock whenever this thread moves, loads, releases
// or stops the sound: whatever the engine's thread reported before belongs to
// the past.
void BPlayerPanel::BeginRun() { m_run = m_run + 1; }

void BPlayerPanel::MoveTo(uint32_t position) {
  EngineLock lock(m_engine);
  m_buffer.SetPosition(position);
  BeginRun();
}

// ---- Loading and releasing ------------------------------------------------------

void BPlayerPanel::LoadFragment(int index, bool afterEdit) {
  Enable(true);
  m_playlistMode = false;
  {
    EngineLock lock(m_engine);
    m_buffer.LoadFragment(m_profile, index);
    BeginRun();
  }
  ShowLoadedSound(afterEdit);
}

void BPlayerPanel::PlayPlaylist() {
  Stop();
  Release();
  bool loaded;
  {
    EngineLock lock(m_engine);
    loaded = m_buffer.LoadPlaylist(m_profile);
    BeginRun();
  }
  if (!loaded) return;
  m_playlistMode = true;
  Enable(true);
  EnableRangeCommands(false);
  ShowLoadedSound(false);
  PlayPause();
}

void BPlayerPanel::LoadPreview(const std::vector<uint8_t>& samples) {
  Stop();
  m_playlistMode = false;
  {
    EngineLock lock(m_engine);
    m_buffer.LoadSound(samples);
    BeginRun();
  }
  SetRange(0, 0);
  ShowLoadedSound(false);
}

// The thumb, the time field, the memory marker and the waveform start from
// the beginning of the sound just loaded.
void BPlayerPanel::ShowLoadedSound(bool sameSound) {
  m_view.ShowThumb(0);
  ShowPlayPosition(0);
  m_view.ShowSoundLength(m_buffer.Length());
  ShowPlayTime(0);
  m_view.SoundChanged(sameSound);
  m_view.PlayerStateChanged();  // whether the range is offered follows the sound
}

// Every path that frees the buffer stops playback first.
void BPlayerPanel::Release() {
  {
    EngineLock lock(m_engine);
    m_buffer.Release();
    BeginRun();
  }
  SetRange(0, 0);
  m_view.SoundChanged(false);
  m_view.PlayerStateChanged();
}

void BPlayerPanel::UnlockPlayBuffer() {
  m_engine.UnlockBuffer();
  m_view.SoundChanged(true);
}

// ---- Play, pause, loop, stop --------------------------------------------------

// Inside a marked range the thumb counts only when it lies within it.
void BPlayerPanel::ApplyStartPosition() {
  uint32_t thumb = m_view.ThumbPosition();
  uint32_t start = 0, end = 0;
  GetRange(start, end);
  uint32_t position = PlayStartPosition(thumb, start, end);
  MoveTo(position);
  m_lastReportedPosition = position;
  if (position != thumb) m_view.ShowThumb(position);
}

void BPlayerPanel::LoopPlay() {
  if (!DeviceReady()) return;
  ApplyStartPosition();
  m_engine.Play();
  m_playing = true;
  m_looping = true;
  m_view.PlayerStateChanged();
  m_view.SetPlayButtonState(false);
}

// Pausing keeps the looping flag; playing again from a pause plays once.
void BPlayerPanel::PlayPause() {
  if (!m_playing && !DeviceReady()) return;
  ApplyStartPosition();
  if (m_playing) {
    m_engine.Pause();
    m_playing = false;
    ShowStopped();
    return;
  }
  m_engine.Play();
  m_playing = true;
  m_looping = false;
  m_view.PlayerStateChanged();
  m_view.SetPlayButtonState(false);
}

void BPlayerPanel::ShowStopped() {
  m_view.PlayerStateChanged();
  m_view.SetPlayButtonState(true);
}

// Back to the range's start, or to the beginning.
void BPlayerPanel::Stop() {
  uint32_t start = 0, end = 0;
  bool marked = GetRange(start, end);
  m_engine.Pause();
  m_engine.Reset();
  uint32_t position = marked ? start : 0;
  MoveTo(position);
  m_view.RepaintMemoryView();
  m_view.ShowThumb(position);
  ShowPlayPosition(m_buffer.IsEmpty() ? -1 : position);
  m_playing = false;
  m_looping = false;
  if (m_buffer.IsEmpty()) return;
  ShowStopped();
  ShowPlayTime(position);
}

void BPlayerPanel::SetPlaying(bool on) {
  if (on && !m_playing) LoopPlay();
  if (!on && m_playing) Stop();
}

void BPlayerPanel::OnThumbMoved(bool seek) {
  if (m_buffer.IsEmpty()) return;
  uint32_t position = m_view.ThumbPosition();
  ShowPlayTime(position);
  ShowPlayPosition(position);
  if (!m_playing || !seek) return;
  m_engine.Pause();
  MoveTo(position);
  m_engine.Play();
}

void BPlayerPanel::Seek(uint32_t position) {
  if (m_buffer.IsEmpty() || !m_enabled) return;
  m_view.ShowThumb(position);
  OnThumbMoved(true);
}

// ---- The range ------------------------------------------------------------------

bool BPlayerPanel::GetRange(uint32_t& start, uint32_t& end) const {
  start = m_rangeStart;
  end = m_rangeEnd;
  return end > start;
}

bool BPlayerPanel::CanMarkRange() const {
  return m_enabled && m_rangeCommands && !m_playlistMode && !m_buffer.IsEmpty();
}

// As a trackbar's selection: the end is cut at the end of the sound.
void BPlayerPanel::SetRange(uint32_t start, uint32_t end) {
  m_rangeStart = start;
  m_rangeEnd = end < m_buffer.Length() ? end : m_buffer.Length();
  m_view.ShowRange(m_rangeStart, m_rangeEnd);
}

void BPlayerPanel::MarkRangeStart() {
  if (m_rangeCommands) SetRange(m_view.ThumbPosition(), m_rangeEnd);
}

void BPlayerPanel::MarkRangeEnd() {
  if (m_rangeCommands) SetRange(m_rangeStart, m_view.ThumbPosition());
}

void BPlayerPanel::MarkRange(uint32_t start, uint32_t end) {
  if (m_rangeCommands) SetRange(start, end);
}

void BPlayerPanel::MarkAll() { MarkRange(0, m_buffer.Length()); }

void BPlayerPanel::InvertRange() {
  uint32_t start = 0, end = 0;
  if (!m_rangeCommands || !GetRange(start, end)) return;
  if (start != 0)
    SetRange(0, start);
  else if (end == m_buffer.Length())
    SetRange(0, 0);
  else
    SetRange(end, m_buffer.Length());
}

void BPlayerPanel::CancelRange() { SetRange(0, 0); }

// ---- Displays ---------------------------------------------------------------------

void BPlayerPanel::ShowPlayTime(uint32_t position) {
  m_view.ShowTimeText(PlayTimeText(position, m_buffer.Length()));
}

// In playlist mode the row being heard is shown with the marker.
void BPlayerPanel::ShowPlayPosition(int64_t position) {
  int64_t address = position < 0 ? -1 : m_buffer.AddressAt(static_cast<uint32_t>(position));
  int segment = position < 0 ? -1 : m_buffer.SegmentAt(static_cast<uint32_t>(position));
  if (m_playlistMode && segment >= 0) m_view.ShowPlaylistRow(segment);
  m_view.ShowMemoryMarker(address);
}

// ---- The engine's thread --------------------------------------------------------

// Inside the engine's lock, where the run cannot change: the run read here is
// the one this sound belongs to, and the reports that follow this fill
// belong to it too.
bool BPlayerPanel::OnPlayerFill(uint8_t* buffer, uint32_t size, uint32_t& count) {
  m_filledRun = m_run;
  BPlayBuffer::Filled filled = m_buffer.Fill(buffer, size, m_looping);
  if (filled.restarted) m_view.PostPlayerMessage(BPlayerMessage::Restarted, 0, m_filledRun);
  count = filled.count;
  return count > 0;
}

void BPlayerPanel::OnPlayerFinished() {
  m_view.PostPlayerMessage(BPlayerMessage::Finished, 0, m_filledRun);
}

void BPlayerPanel::OnPlayerPosition(uint32_t samples) {
  m_view.PostPlayerMessage(BPlayerMessage::Position, samples, m_filledRun);
}

void BPlayerPanel::OnPlayerError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(m_errorLock);
    m_engineError = text;
  }
  m_view.PostPlayerMessage(BPlayerMessage::Error, 0, 0);
}

// ---- The engine's messages --------------------------------------------------------

void BPlayerPanel::HandleMessage(BPlayerMessage message, uint32_t value, uint32_t run) {
  if (message == BPlayerMessage::Error) {
    OnError();
    return;
  }
  if (run != m_run) return;  // from before the sound moved, changed or stopped
  switch (message) {
    case BPlayerMessage::Restarted:
      OnRestarted();
      break;
    case BPlayerMessage::Finished:
      OnFinished();
      break;
    case BPlayerMessage::Position:
      OnPosition(value);
      break;
    case BPlayerMessage::Error:
      break;
  }
}

void BPlayerPanel::OnRestarted() {
  m_view.RepaintMemoryView();
  m_view.ShowThumb(0);
}

void BPlayerPanel::OnFinished() {
  if (!m_playing) return;  // stopped meanwhile
  uint32_t start = 0, end = 0;
  uint32_t position = GetRange(start, end) ? start : 0;
  MoveTo(position);
  m_view.RepaintMemoryView();
  m_view.ShowThumb(position);
  ShowPlayPosition(position);
  ShowPlayTime(position);
  m_lastReportedPosition = position;
  if (m_looping) {
    m_engine.Play();
    return;
  }
  m_engine.Reset();
  m_playing = false;
  ShowStopped();
}

// The thumb follows what was heard, up to the end of the sound; leaving a
// marked range stops or loops.
void BPlayerPanel::OnPosition(uint32_t samples) {
  if (!m_playing) return;  // a report from before a stop
  uint32_t thumb = m_view.ThumbPosition();
  uint32_t length = m_buffer.Length();
  uint32_t position = thumb < length && samples < length - thumb ? thumb + samples : length;
  if (position < m_lastReportedPosition) m_view.RepaintMemoryView();
  uint32_t start = 0, end = 0;
  if (GetRange(start, end) && (position < start || position >= end)) {
    m_engine.Pause();
    MoveTo(start);
    if (m_looping) {
      m_engine.Play();
    } else {
      m_playing = false;
      ShowStopped();
    }
    m_view.RepaintMemoryView();
    position = start;
  }
  m_view.ShowThumb(position);
  ShowPlayPosition(position);
  ShowPlayTime(position);
  m_lastReportedPosition = position;
}

void BPlayerPanel::OnError() {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(m_errorLock);
    text = m_engineError;
  }
  m_view.ShowPlayerError(BText(IDS_WAVE_DEVICE_ACCESS_FAILED, {text}));
}
