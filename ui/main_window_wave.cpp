// The waveform window's side of the main window: what it shows (the player
// panel's sound, position and range), what the user does in it (seek and
// mark, by the panel's rules), and its place in the settings.
#include "main_window_base.h"

#include <commctrl.h>

#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlgBase::CreateWaveWindow() {
  BWavePlacement placement;
  placement.Parse(m_settings.wave);  // a missing or bad value: hidden, placed by the window
  m_waveWindow.Create(GetInstance(), GetHwnd(), placement, LoadText(IDS_WAVE_TITLE),
                      LoadText(IDS_WAVE_EMPTY));
  UpdateWaveSound(false);
  if (placement.visible) ShowWaveWindow(true);
}

void BMainDlgBase::OnViewWave() { ShowWaveWindow(!m_waveWindow.IsShown()); }

void BMainDlgBase::ShowWaveWindow(bool visible) {
  m_waveWindow.Show(visible);
  OnWavePlacementChanged();
}

void BMainDlgBase::OnWavePlacementChanged() {
  ::CheckMenuItem(::GetMenu(GetHwnd()), ID_VIEW_WAVE,
                  MF_BYCOMMAND | (m_waveWindow.IsShown() ? MF_CHECKED : MF_UNCHECKED));
  m_settings.wave = m_waveWindow.GetPlacement().Format();
  m_settings.SaveWave();
}

// The panel's sound. The view keeps its zoom and scroll when the same sound
// comes back after an edit (an edit empties the player and loads the
// fragment again) or a gain preview; any other sound is shown whole.
void BMainDlgBase::UpdateWaveSound(bool sameSound) {
  const BPlayBuffer& sound = m_playerPanel.Buffer();
  std::vector<BWaveSegment> segments;
  if (m_playerPanel.IsPlaylist()) {
    for (size_t i = 0; i < sound.Segments().size(); ++i) {
      int fragment = static_cast<int>(RowData(m_playlist, static_cast<int>(i)));
      segments.push_back({sound.Segments()[i].bufferStart, FragmentName(fragment)});
    }
  }
  m_waveWindow.SetSound(sound.Samples().data(), sound.Length(), sameSound, std::move(segments));
}

void BMainDlgBase::GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) {
  position = m_playerPanel.Position();
  if (!m_playerPanel.GetRange(rangeStart, rangeEnd)) rangeStart = rangeEnd = 0;
}

// The range commands' rules: a fragment in the player, no playlist, no job.
bool BMainDlgBase::IsWaveMarkingAllowed() {
  return m_playerPanel.CanMarkRange() && !m_link.IsJobRunning();
}

// As a drag of the thumb to that place: the displays follow, and while
// playing the sound goes on from there.
void BMainDlgBase::OnWaveSeek(uint32_t sample) { m_playerPanel.Seek(sample); }

// As Ctrl+B at `start` and Ctrl+E at `end`.
void BMainDlgBase::OnWaveMark(uint32_t start, uint32_t end) {
  if (IsWaveMarkingAllowed()) m_playerPanel.MarkRange(start, end);
}

void BMainDlgBase::OnWaveMarkAll() {
  if (IsWaveMarkingAllowed()) m_playerPanel.MarkAll();
}

void BMainDlgBase::OnWaveCancelRange() {
  if (IsWaveMarkingAllowed()) OnCancelRange();
}
