// The player panel's and the waveform window's side of the main window: the
// operations forward to the panel (BPlayerPanel), which keeps the player's
// state and rules; the window shows what the panel says on the trackbar, the
// buttons, the time field, the memory view and the waveform window, and hands
// back the messages of the player's thread.
#include "main_window.h"

#include <commctrl.h>

#include <utility>

#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlg::PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) {
  HWND target = m_playerTarget;
  if (target != nullptr)
    ::PostMessageW(target, kPlayerRestarted + static_cast<UINT>(message), value,
                   static_cast<LPARAM>(run));
}

// The selection-change handler greys the panel first, which stops and empties it.
void BMainDlg::LoadSelectedFragment(bool afterEdit) {
  int slot = m_panels.SelectedFragment();
  OnFragmentSelChanged();
  if (slot < 0 || JobHoldsProfile()) return;
  m_playerPanel.LoadFragment(slot, afterEdit);
}

void BMainDlg::OnFragmentSelChanged() {
  EnablePlayer(false);
  m_panels.ShowSelectedBand();
  UpdateCommands();
}

void BMainDlg::OnPlayFragment() {
  if (m_panels.SelectedFragment() < 0 || JobHoldsProfile()) return;
  LoadFragmentIntoPlayer();
  OnPlayPause();
}

void BMainDlg::OnPlayPlaylist() {
  if (!JobHoldsProfile()) m_playerPanel.PlayPlaylist();
}

// The user moved the thumb: a drag or a page step also seeks. The waveform
// window follows every move, the trackbar's own repeat included.
void BMainDlg::OnHScroll(WPARAM wParam) {
  int code = LOWORD(wParam);
  m_playerPanel.OnThumbMoved(code == TB_PAGEUP || code == TB_PAGEDOWN || code == TB_THUMBTRACK);
  m_waveWindow.Refresh();
}

// ---- What the panel shows ------------------------------------------------------

uint32_t BMainDlg::ThumbPosition() {
  return static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
}

void BMainDlg::ShowThumb(uint32_t position) {
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
  m_waveWindow.Refresh();
}

void BMainDlg::ShowSoundLength(uint32_t samples) {
  ::SendMessageW(m_trackbar, TBM_SETRANGEMAX, FALSE, samples);
}

// The trackbar's selection is the marked range.
void BMainDlg::ShowRange(uint32_t start, uint32_t end) {
  if (start == 0 && end == 0) {
    ::SendMessageW(m_trackbar, TBM_CLEARSEL, TRUE, 0);
  } else {
    ::SendMessageW(m_trackbar, TBM_SETSELSTART, FALSE, start);
    ::SendMessageW(m_trackbar, TBM_SETSELEND, FALSE, end);
    ::InvalidateRect(m_trackbar, nullptr, TRUE);
  }
  m_waveWindow.Refresh();
}

void BMainDlg::ShowTimeText(const std::string& text) {
  ::SetDlgItemTextW(GetHwnd(), IDC_PLAY_TIME, Widen(text).c_str());
}

void BMainDlg::ShowMemoryMarker(int64_t address) {
  m_memoryView.SetMarker(static_cast<int>(address));
}

void BMainDlg::ShowPlayerError(const BText& text) {
  m_prompts->ShowMessageBox(FormatText(text), MB_ICONERROR);
}

// ---- The waveform window --------------------------------------------------------

// Created hidden at start-up where it was last, shown as it was.
void BMainDlg::CreateWaveWindow() {
  BWavePlacement placement;
  placement.Parse(m_settings.wave);  // a missing or bad value: hidden, placed by the window
  m_waveWindow.Create(GetInstance(), GetHwnd(), placement, LoadText(IDS_WAVE_TITLE),
                      LoadText(IDS_WAVE_EMPTY));
  UpdateWaveSound(false);
  if (placement.visible) ShowWaveWindow(true);
}

void BMainDlg::ShowWaveWindow(bool visible) {
  m_waveWindow.Show(visible);
  OnWavePlacementChanged();
}

void BMainDlg::OnWavePlacementChanged() {
  ::CheckMenuItem(::GetMenu(GetHwnd()), ID_VIEW_WAVE,
                  MF_BYCOMMAND | (m_waveWindow.IsShown() ? MF_CHECKED : MF_UNCHECKED));
  m_settings.wave = m_waveWindow.GetPlacement().Format();
  m_settings.SaveWave();
}

// The panel's sound. The view keeps its zoom and scroll when the same sound
// comes back after an edit (an edit empties the player and loads the
// fragment again) or a gain preview; any other sound is shown whole.
void BMainDlg::UpdateWaveSound(bool sameSound) {
  const BPlayBuffer& sound = m_playerPanel.Buffer();
  std::vector<BWaveSegment> segments;
  if (m_playerPanel.IsPlaylist()) {
    for (size_t i = 0; i < sound.Segments().size(); ++i) {
      int slot = m_profile.GetPlaylistEntry(static_cast<int>(i));
      segments.push_back({sound.Segments()[i].bufferStart, m_panels.FragmentName(slot)});
    }
  }
  m_waveWindow.SetSound(sound.Samples().data(), sound.Length(), sameSound, std::move(segments));
}

void BMainDlg::GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) {
  position = m_playerPanel.Position();
  if (!m_playerPanel.GetRange(rangeStart, rangeEnd)) rangeStart = rangeEnd = 0;
}

// As Ctrl+B at `start` and Ctrl+E at `end`.
void BMainDlg::OnWaveMark(uint32_t start, uint32_t end) {
  if (IsWaveMarkingAllowed()) m_playerPanel.MarkRange(start, end);
}

void BMainDlg::OnWaveMarkAll() {
  if (IsWaveMarkingAllowed()) m_playerPanel.MarkAll();
}

void BMainDlg::OnWaveCancelRange() {
  if (IsWaveMarkingAllowed()) OnCancelRange();
}
