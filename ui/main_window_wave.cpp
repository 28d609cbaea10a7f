// The waveform window's side of the main window: what it shows (the play
// buffer, the trackbar's position and range), what the user does in it (seek
// and mark, by the trackbar's rules), and its place in the settings.
#include "main_window_base.h"

#include <commctrl.h>

#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlgBase::CreateWaveWindow() {
  m_trackbarWatch.Attach(m_trackbar);
  BWavePlacement placement;
  placement.Parse(m_settings.wave);  // a missing or bad value: hidden, placed by the window
  m_waveWindow.Create(GetInstance(), GetHwnd(), placement, LoadText(IDS_WAVE_TITLE),
                      LoadText(IDS_WAVE_EMPTY));
  UpdateWaveSound();
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

// The sound of the play buffer; the view keeps its zoom and scroll while the
// same fragment comes back (an edit releases the buffer and loads the fragment
// again), and shows another sound whole.
void BMainDlgBase::UpdateWaveSound() {
  bool keepView = false;
  if (!m_playBuffer.IsEmpty()) {
    int shows = -1;  // the playlist
    if (!m_playlistMode) {
      int row = SelectedRow(m_fragmentList);
      shows = row < 0 ? -2 : static_cast<int>(RowData(m_fragmentList, row));
    }
    keepView = shows == m_waveShows;
    m_waveShows = shows;
  }
  std::vector<BWaveSegment> segments;
  if (m_playlistMode) {
    for (size_t i = 0; i < m_playBuffer.Segments().size(); ++i) {
      int fragment = static_cast<int>(RowData(m_playlist, static_cast<int>(i)));
      segments.push_back({m_playBuffer.Segments()[i].bufferStart, FragmentName(fragment)});
    }
  }
  m_waveWindow.SetSound(m_playBuffer.Samples().data(), m_playBuffer.Length(), keepView,
                        std::move(segments));
}

void BMainDlgBase::UnlockPlayBuffer() {
  m_player.UnlockBuffer();
  UpdateWaveSound();
}

void BMainDlgBase::GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) {
  position = static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
  if (!RangeMarked(rangeStart, rangeEnd)) rangeStart = rangeEnd = 0;
}

// The range commands' rules: a fragment in the player, no playlist, no job.
bool BMainDlgBase::IsWaveMarkingAllowed() {
  LONG_PTR style = ::GetWindowLongPtrW(m_trackbar, GWL_STYLE);
  return !m_playBuffer.IsEmpty() && !m_playlistMode && (style & TBS_ENABLESELRANGE) != 0 &&
         ::IsWindowEnabled(m_trackbar) && !m_link.IsJobRunning();
}

// As a drag of the thumb to that place: the displays follow, and while
// playing the sound goes on from there.
void BMainDlgBase::OnWaveSeek(uint32_t sample) {
  if (m_playBuffer.IsEmpty() || !::IsWindowEnabled(m_trackbar)) return;
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, sample);
  OnHScroll(MAKEWPARAM(TB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(m_trackbar));
}

// As Ctrl+B at `start` and Ctrl+E at `end`.
void BMainDlgBase::OnWaveMark(uint32_t start, uint32_t end) {
  if (!IsWaveMarkingAllowed()) return;
  ::SendMessageW(m_trackbar, TBM_SETSELSTART, FALSE, start);
  ::SendMessageW(m_trackbar, TBM_SETSELEND, FALSE, end);
  ::InvalidateRect(m_trackbar, nullptr, TRUE);
}

void BMainDlgBase::OnWaveMarkAll() { OnWaveMark(0, m_playBuffer.Length()); }

void BMainDlgBase::OnWaveCancelRange() {
  if (IsWaveMarkingAllowed()) OnCancelRange();
}
