// Commands and notifications that are routed to the main window already but
// whose work comes with the local player, the panels and the editing
// features. Until those exist they do nothing.
#include "main_window_base.h"

void BMainDlgBase::OnDefragment() {}
void BMainDlgBase::OnMarkRangeStart() {}
void BMainDlgBase::OnMarkRangeEnd() {}
void BMainDlgBase::OnInvertRange() {}
void BMainDlgBase::OnCancelRange() {}
void BMainDlgBase::OnDeleteRange() {}
void BMainDlgBase::OnAmplify() {}
void BMainDlgBase::OnEditUndo() {}
void BMainDlgBase::OnEditRedo() {}
void BMainDlgBase::OnAddFragment() {}
void BMainDlgBase::OnDeleteFragment() {}
void BMainDlgBase::OnPlayFragment() {}
void BMainDlgBase::OnRemoveFromPlaylist() {}
void BMainDlgBase::OnPlayPlaylist() {}
void BMainDlgBase::OnLoopPlay() {}
void BMainDlgBase::OnPlayPause() {}
void BMainDlgBase::OnStop() {}
void BMainDlgBase::OnButtonComboChanged(int) {}
void BMainDlgBase::OnHScroll(WPARAM, LPARAM) {}
void BMainDlgBase::OnMouseMove(WPARAM, LPARAM) {}
void BMainDlgBase::OnLButtonUp(WPARAM, LPARAM) {}
void BMainDlgBase::OnActivate(WPARAM, LPARAM) {}
LRESULT BMainDlgBase::OnFragmentListNotify(NMHDR*) { return 0; }
LRESULT BMainDlgBase::OnPlaylistNotify(NMHDR*) { return 0; }
void BMainDlgBase::FillPanels() {}
void BMainDlgBase::ClearPanels() {}
void BMainDlgBase::ClearHistory() {}
