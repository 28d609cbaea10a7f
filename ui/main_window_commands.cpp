// Commands and notifications that are routed to the main window already but
// whose work comes with the local player and the editing features. Until those exist they do nothing.
#include "main_window_base.h"

void BMainDlgBase::OnMarkRangeStart() {}
void BMainDlgBase::OnMarkRangeEnd() {}
void BMainDlgBase::OnInvertRange() {}
void BMainDlgBase::OnCancelRange() {}
void BMainDlgBase::OnDeleteRange() {}
void BMainDlgBase::OnAmplify() {}
void BMainDlgBase::OnEditUndo() {}
void BMainDlgBase::OnEditRedo() {}
void BMainDlgBase::OnPlayFragment() {}
void BMainDlgBase::OnPlayPlaylist() {}
void BMainDlgBase::OnLoopPlay() {}
void BMainDlgBase::OnPlayPause() {}
void BMainDlgBase::OnStop() {}
void BMainDlgBase::OnHScroll(WPARAM, LPARAM) {}
void BMainDlgBase::ClearHistory() {}
void BMainDlgBase::RenumberHistory(int) {}
void BMainDlgBase::LoadFragmentIntoPlayer() {}
