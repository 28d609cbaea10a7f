// The player panel's side of the main window: its operations forward to the
// panel (BPlayerPanel), which keeps the player's state and rules; the window
// shows what the panel says on the trackbar, the buttons, the time field,
// the memory view and the playlist, and hands back the messages of the
// player's thread.
#include "main_window_base.h"

#include <commctrl.h>

#include "string_ids.h"
#include "toolkit/list_controls.h"
#include "toolkit/ui_text.h"

// The player's thread posts its messages here, tagged with their run; the
// panel drops those of an earlier run.
void BMainDlgBase::AddPlayerRoutes() {
  for (UINT message = kPlayerRestarted; message <= kPlayerError; ++message)
    AddRoute(
        {message, 0, 0, kAnyCode, [](BMainDlgBase& w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
           w.m_playerPanel.HandleMessage(static_cast<BPlayerMessage>(msg - kPlayerRestarted),
                                         static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
           return 0;
         }});
}

void BMainDlgBase::PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) {
  HWND target = m_linkMessageTarget;
  if (target != nullptr)
    ::PostMessageW(target, kPlayerRestarted + static_cast<UINT>(message), value,
                   static_cast<LPARAM>(run));
}

// ---- The operations ----------------------------------------------------------

// Without a sound device the program goes on; the panel then plays nothing.
void BMainDlgBase::OpenWaveOutput() { m_playerPanel.OpenDevice(); }

void BMainDlgBase::EnablePlayer(bool enable) { m_playerPanel.Enable(enable); }

void BMainDlgBase::ReleasePlayBuffer() { m_playerPanel.Release(); }

void BMainDlgBase::ShowPlayTime(uint32_t position) { m_playerPanel.ShowPlayTime(position); }

void BMainDlgBase::SetPlayPosition(int64_t position) { m_playerPanel.ShowPlayPosition(position); }

void BMainDlgBase::LoadFragmentIntoPlayer() { LoadSelectedFragment(false); }

void BMainDlgBase::ReloadEditedFragment() { LoadSelectedFragment(true); }

// The selection-change handler greys the panel first, which stops and empties it.
void BMainDlgBase::LoadSelectedFragment(bool afterEdit) {
  int row = SelectedRow(m_fragmentList);
  OnFragmentSelChanged();
  if (row < 0 || JobHoldsProfile()) return;
  m_playerPanel.LoadFragment(static_cast<int>(RowData(m_fragmentList, row)), afterEdit);
}

void BMainDlgBase::OnPlayFragment() {
  if (SelectedRow(m_fragmentList) < 0 || JobHoldsProfile()) return;
  LoadFragmentIntoPlayer();
  OnPlayPause();
}

void BMainDlgBase::OnPlayPlaylist() {
  if (!JobHoldsProfile()) m_playerPanel.PlayPlaylist();
}

void BMainDlgBase::OnLoopPlay() { m_playerPanel.LoopPlay(); }

void BMainDlgBase::OnPlayPause() { m_playerPanel.PlayPause(); }

void BMainDlgBase::OnStop() { m_playerPanel.Stop(); }

// The user moved the thumb: a drag or a page step also seeks. The waveform
// window follows every move, the trackbar's own repeat included.
void BMainDlgBase::OnHScroll(WPARAM wParam, LPARAM lParam) {
  if (reinterpret_cast<HWND>(lParam) != m_trackbar) return;
  int code = LOWORD(wParam);
  m_playerPanel.OnThumbMoved(code == TB_PAGEUP || code == TB_PAGEDOWN || code == TB_THUMBTRACK);
  m_waveWindow.Refresh();
}

// ---- What the panel shows ------------------------------------------------------

uint32_t BMainDlgBase::ThumbPosition() {
  return static_cast<uint32_t>(::SendMessageW(m_trackbar, TBM_GETPOS, 0, 0));
}

void BMainDlgBase::ShowThumb(uint32_t position) {
  ::SendMessageW(m_trackbar, TBM_SETPOS, TRUE, position);
  m_waveWindow.Refresh();
}

void BMainDlgBase::ShowSoundLength(uint32_t samples) {
  ::SendMessageW(m_trackbar, TBM_SETRANGEMAX, FALSE, samples);
}

// The trackbar's selection is the marked range.
void BMainDlgBase::ShowRange(uint32_t start, uint32_t end) {
  if (start == 0 && end == 0) {
    ::SendMessageW(m_trackbar, TBM_CLEARSEL, TRUE, 0);
  } else {
    ::SendMessageW(m_trackbar, TBM_SETSELSTART, FALSE, start);
    ::SendMessageW(m_trackbar, TBM_SETSELEND, FALSE, end);
    ::InvalidateRect(m_trackbar, nullptr, TRUE);
  }
  m_waveWindow.Refresh();
}

void BMainDlgBase::ShowTimeText(const std::string& text) {
  ::SetDlgItemTextW(GetHwnd(), IDC_PLAY_TIME, Widen(text).c_str());
}

void BMainDlgBase::SetPlayButtonState(bool stopped) {
  HANDLE icon =
      ::LoadImageW(GetInstance(), MAKEINTRESOURCEW(stopped ? IDI_PLAY : IDI_PAUSE), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  ::SendMessageW(GetItem(IDC_PLAY_PAUSE), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

void BMainDlgBase::EnablePlayerControls(bool enable) {
  for (int id : {IDC_TRACKBAR, IDC_PLAY_PAUSE, IDC_STOP, IDC_PLAY_TIME}) EnableControl(id, enable);
}

void BMainDlgBase::EnableLoopButton(bool enable) { EnableControl(IDC_LOOP_PLAY, enable); }

void BMainDlgBase::ShowMemoryMarker(int64_t address) {
  m_memoryView.SetMarker(static_cast<int>(address));
}

void BMainDlgBase::RepaintMemoryView() {
  ::InvalidateRect(GetItem(IDC_MEMORY_VIEW), nullptr, TRUE);
}

// The row being heard is the only one selected, and its band is highlighted.
void BMainDlgBase::ShowPlaylistRow(int row) {
  if (SelectedRow(m_playlist) != row) {
    for (int other = 0; other < RowCount(m_playlist); ++other) {
      LVITEMW item = {};
      item.stateMask = LVIS_SELECTED;
      ::SendMessageW(m_playlist, LVM_SETITEMSTATE, other, reinterpret_cast<LPARAM>(&item));
    }
    SelectRow(m_playlist, row);
  }
  m_memoryView.SetSelectedBand(RowOfFragment(static_cast<int>(RowData(m_playlist, row))));
}

void BMainDlgBase::SoundChanged(bool sameSound) { UpdateWaveSound(sameSound); }

void BMainDlgBase::ShowPlayerStatus(const BText& text) {
  InsertStatusLine(FormatText(text), false);
}

void BMainDlgBase::ShowPlayerError(const BText& text) {
  ShowMessageBox(FormatText(text), MB_ICONERROR);
}
