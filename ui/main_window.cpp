#include "main_window.h"

#include <commctrl.h>

#include "platform/language_resources.h"
#include "command_targets.h"
#include "running_instance.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

// Menu commands arrive with code 0 from the menu and 1 from an accelerator
// (any code); buttons with BN_CLICKED; the close box and Escape as IDCANCEL
// with code 0.
struct Command {
  UINT id;
  int code;
  void (BMainDlg::*member)();
};

}  // namespace

BMainDlg::BMainDlg() {
  AddRoutes();
  AddNotifications();
}

BMainDlg::~BMainDlg() {
  // The worker and player threads must be gone before what they use is.
  m_siren.Close();
  m_player.Close();
  Destroy();
}

void BMainDlg::AddRoutes() {
  using W = BMainDlg;
  const int menu = kAnyCode, button = BN_CLICKED;
  static const Command kCommands[] = {
      {ID_FILE_NEW, menu, &W::OnFileNew},
      {ID_FILE_OPEN, menu, &W::OnFileOpen},
      {ID_FILE_SAVE, menu, &W::OnFileSave},
      {ID_FILE_SAVE_AS, menu, &W::OnFileSaveAs},
      {ID_APP_ABOUT, menu, &W::OnAbout},
      {ID_EXPORT_FRAGMENT, menu, &W::OnExportFragment},
      {ID_APP_EXIT, menu, &W::OnAppExit},
      {IDCANCEL, 0, &W::OnCancelCommand},
      {ID_MARK_RANGE_START, menu, &W::OnMarkRangeStart},
      {ID_MARK_RANGE_END, menu, &W::OnMarkRangeEnd},
      {ID_INVERT_RANGE, menu, &W::OnInvertRange},
      {ID_CANCEL_RANGE, menu, &W::OnCancelRange},
      {ID_DELETE_RANGE, menu, &W::OnDeleteRange},
      {ID_AMPLIFY, menu, &W::OnAmplify},
      {ID_LEVEL_LOUDNESS, menu, &W::OnLevelLoudness},
      {ID_EDIT_UNDO, menu, &W::OnEditUndo},
      {ID_EDIT_REDO, menu, &W::OnEditRedo},
      {ID_MAKE_SIGNAL, menu, &W::OnMakeSignal},
      {ID_HIGH_QUALITY_CONVERSION, menu, &W::OnHighQualityConversion},
      {ID_CONNECT, menu, &W::OnConnect},
      {ID_OTHER_PORT, menu, &W::OnOtherPort},
      {ID_READ_SIREN, menu, &W::OnReadSiren},
      {ID_WRITE_SIREN, menu, &W::OnWriteSiren},
      {ID_WRITE_CHANGES, menu, &W::OnWriteChanges},
      {ID_ABORT, menu, &W::OnAbort},
      {ID_VERIFY_SIREN, menu, &W::OnVerifySiren},
      {ID_VERIFY_AFTER_WRITE, menu, &W::OnVerifyAfterWrite},
      {ID_FLEET_WRITE, menu, &W::OnFleetWrite},
      {ID_PLAY_FRAGMENT_ON_SIREN, menu, &W::OnPlayFragmentOnSiren},
      {ID_PLAY_PLAYLIST_ON_SIREN, menu, &W::OnPlayPlaylistOnSiren},
      {ID_STOP_ON_SIREN, menu, &W::OnStopOnSiren},
      {ID_DEFRAGMENT, menu, &W::OnDefragment},
      {ID_VIEW_WAVE, menu, &W::OnViewWave},
      {IDC_ADD_FRAGMENT, button, &W::OnAddFragment},
      {IDC_DELETE_FRAGMENT, button, &W::OnDeleteFragment},
      {IDC_PLAY_FRAGMENT, button, &W::OnPlayFragment},
      {IDC_ADD_TO_PLAYLIST, button, &W::OnAddToPlaylist},
      {IDC_REMOVE_FROM_PLAYLIST, button, &W::OnRemoveFromPlaylist},
      {IDC_PLAY_PLAYLIST, button, &W::OnPlayPlaylist},
      {IDC_PLAY_FRAGMENT_ON_SIREN, button, &W::OnPlayFragmentOnSiren},
      {IDC_PLAY_PLAYLIST_ON_SIREN, button, &W::OnPlayPlaylistOnSiren},
      {IDC_STOP_ON_SIREN, button, &W::OnStopOnSiren},
      {IDC_STOP_PLAYLIST_ON_SIREN, button, &W::OnStopOnSiren},
      {IDC_LOOP_PLAY, button, &W::OnLoopPlay},
      {IDC_PLAY_PAUSE, button, &W::OnPlayPause},
      {IDC_STOP, button, &W::OnStop},
  };
  for (const Command& command : kCommands)
    m_routes.AddCommand(command.id, command.code, command.member);

  m_routes.Add(WM_INITDIALOG,
               [](W& w, UINT, WPARAM, LPARAM) -> LRESULT { return w.OnInitDialog(); });
  m_routes.Add(WM_DESTROY, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnDestroy();
    return 0;
  });
  for (UINT message = kLinkMessageBase; message <= kLinkMessageLast; ++message)
    m_routes.Add(message, [](W& w, UINT msg, WPARAM, LPARAM) -> LRESULT {
      w.m_siren.OnLinkMessage(msg);
      return 0;
    });
  // The player's thread posts its messages here, tagged with their run; the
  // panel drops those of an earlier run.
  for (UINT message = kPlayerRestarted; message <= kPlayerError; ++message)
    m_routes.Add(message, [](W& w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      w.m_playerPanel.HandleMessage(static_cast<BPlayerMessage>(msg - kPlayerRestarted),
                                    static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
      return 0;
    });
  m_routes.Add(WM_TIMER, [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
    if (wp == kPendingProfileTimer)
      w.OpenPendingProfile();
    else
      w.m_siren.OnTimer(wp);
    return 0;
  });
  m_routes.Add(WM_COPYDATA, [](W& w, UINT, WPARAM, LPARAM lp) { return w.OnHandedProfile(lp); });
  m_routes.Add(kOpenPendingProfile, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OpenPendingProfile();
    return 0;
  });
  m_routes.Add(WM_HSCROLL, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
    if (reinterpret_cast<HWND>(lp) == w.m_trackbar) w.OnHScroll(wp);
    return 0;
  });
  // A drag of rows follows the mouse and ends when another window comes forward.
  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_ACTIVATE})
    m_routes.Add(message, [](W& w, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
      if (msg == WM_MOUSEMOVE) w.m_drag->OnMouseMove(lp);
      if (msg == WM_LBUTTONUP) w.m_drag->OnButtonUp();
      if (msg == WM_ACTIVATE) w.m_drag->OnActivate();
      return 0;
    });
  m_routes.Add(WM_DROPFILES, [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
    w.OnDropFiles(reinterpret_cast<HDROP>(wp));
    return 0;
  });
  m_routes.Add({WM_COMMAND, ID_PORT_FIRST, ID_PORT_LAST, kAnyCode,
                [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
                  w.OnPortCommand(LOWORD(wp) - ID_PORT_FIRST);
                  return 0;
                },
                nullptr});
  m_routes.Add({WM_COMMAND, ID_RECENT_FIRST, ID_RECENT_LAST, kAnyCode,
                [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
                  w.OnRecentProfile(LOWORD(wp) - ID_RECENT_FIRST);
                  return 0;
                },
                nullptr});
  m_routes.Add({WM_COMMAND, ID_LANGUAGE_RUSSIAN, ID_LANGUAGE_ENGLISH, kAnyCode,
                [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
                  w.m_languageMenu.Choose(LOWORD(wp), ::GetMenu(w.GetHwnd()), *w.m_prompts);
                  return 0;
                },
                nullptr});
  m_routes.Add({WM_COMMAND, IDC_BUTTON1_COMBO, IDC_BUTTON4_COMBO, CBN_SELCHANGE,
                [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
                  w.OnButtonComboChanged(LOWORD(wp) - IDC_BUTTON1_COMBO);
                  return 0;
                },
                nullptr});
}

// The list views are Unicode windows: they send the wide label-edit notifications.
void BMainDlg::AddNotifications() {
  using W = BMainDlg;
  m_routes.AddNotify(IDC_FRAGMENT_LIST, LVN_ENDLABELEDITW, [](W& w, UINT, WPARAM, LPARAM lp) {
    return static_cast<LRESULT>(w.OnFragmentLabelEdited(reinterpret_cast<NMLVDISPINFOW*>(lp)));
  });
  // The edit field takes no more than a profile can store.
  m_routes.AddNotify(IDC_FRAGMENT_LIST, LVN_BEGINLABELEDITW, [](W& w, UINT, WPARAM, LPARAM) {
    HWND edit =
        reinterpret_cast<HWND>(::SendMessageW(w.m_panels.FragmentList(), LVM_GETEDITCONTROL, 0, 0));
    if (edit != nullptr) ::SendMessageW(edit, EM_LIMITTEXT, kMaxNameLength, 0);
    return LRESULT(FALSE);
  });
  m_routes.AddNotify(IDC_FRAGMENT_LIST, LVN_KEYDOWN, [](W& w, UINT, WPARAM, LPARAM lp) {
    WORD key = reinterpret_cast<NMLVKEYDOWN*>(lp)->wVKey;
    if (key == VK_INSERT) w.OnAddFragment();
    if (key == VK_DELETE) w.OnDeleteFragment();
    return LRESULT(0);
  });
  m_routes.AddNotify(IDC_PLAYLIST, LVN_KEYDOWN, [](W& w, UINT, WPARAM, LPARAM lp) {
    WORD key = reinterpret_cast<NMLVKEYDOWN*>(lp)->wVKey;
    if (key == VK_INSERT) w.OnAddToPlaylist();
    if (key == VK_DELETE) w.OnRemoveFromPlaylist();
    return LRESULT(0);
  });
  m_routes.AddNotify(IDC_FRAGMENT_LIST, LVN_ITEMCHANGED, [](W& w, UINT, WPARAM, LPARAM) {
    w.OnFragmentSelChanged();
    return LRESULT(0);
  });
  m_routes.AddNotify(IDC_FRAGMENT_LIST, NM_DBLCLK, [](W& w, UINT, WPARAM, LPARAM) {
    w.LoadFragmentIntoPlayer();
    return LRESULT(0);
  });
  for (UINT list : {IDC_FRAGMENT_LIST, IDC_PLAYLIST}) {
    m_routes.AddNotify(list, LVN_BEGINDRAG, [](W& w, UINT, WPARAM, LPARAM lp) {
      const NMLISTVIEW* info = reinterpret_cast<NMLISTVIEW*>(lp);
      w.m_drag->Begin(info->hdr.hwndFrom, *info);
      return LRESULT(0);
    });
    for (UINT code : {LVN_INSERTITEM, LVN_DELETEITEM, LVN_DELETEALLITEMS})
      m_routes.AddNotify(list, code, [](W& w, UINT, WPARAM, LPARAM) {
        if (w.m_drag) w.m_drag->OnListRowsChanged();
        return LRESULT(0);
      });
  }
  m_routes.AddNotify(0, TTN_GETDISPINFOW, [](W& w, UINT, WPARAM, LPARAM lp) {
    w.m_toolTips.FillText(reinterpret_cast<NMTTDISPINFOW*>(lp), w.IsPlaying());
    return LRESULT(0);
  });
}

// The dialog manager keeps and restores the focus on activation: it must
// see WM_ACTIVATE as unhandled.
bool BMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if ((message == WM_MOUSEMOVE || message == WM_LBUTTONUP || message == WM_ACTIVATE) && !m_drag)
    return false;
  return m_routes.Dispatch(*this, message, wParam, lParam, result) && message != WM_ACTIVATE;
}

// While a fragment's name is being typed, Ctrl+Z, Ctrl+D and the other
// editing keys belong to the edit box, not to the window's commands.
BOOL BMainDlg::PreTranslateMessage(MSG* message) {
  if (GetHwnd() == nullptr) return FALSE;
  bool renaming = ::SendMessageW(m_panels.FragmentList(), LVM_GETEDITCONTROL, 0, 0) != 0;
  if (m_accelerators != nullptr && !renaming &&
      ::TranslateAcceleratorW(GetHwnd(), m_accelerators, message))
    return TRUE;
  return ::IsDialogMessageW(GetHwnd(), message);
}

BOOL BMainDlg::OnInitDialog() {
  m_memoryView.Attach(GetItem(IDC_MEMORY_VIEW));
  m_trackbar = GetItem(IDC_TRACKBAR);
  m_log.Attach(GetItem(IDC_STATUS_LOG));
  m_panels.Attach(GetHwnd());
  m_drag.reset(new BRowDrag(GetHwnd(), m_panels.FragmentList(), m_panels.Playlist(), *this));
  m_siren.Attach(GetHwnd(), GetItem(IDC_PROGRESS), *m_prompts);
  m_playerTarget = GetHwnd();
  m_toolTips.Create(GetInstance(), GetHwnd());
  m_accelerators = LoadLanguageAccelerators(GetInstance(), IDR_ACCELERATORS);
  m_icons.Apply(GetInstance(), GetHwnd());
  m_settings.Load();
  m_recent = BRecentProfiles(m_settings.recent);
  m_recentMenu.Attach(::GetSubMenu(::GetMenu(GetHwnd()), 0));
  ShowRecent();
  ApplyVerifySetting();
  ApplyConversionSetting();
  m_languageMenu.ShowIn(::GetMenu(GetHwnd()));
  OnPortCommand(m_portMenu.Build(::GetSubMenu(::GetMenu(GetHwnd()), 2), m_settings.port));
  SetProfileMessages();
  // What the load took out is reported once the link has started, since
  // connecting empties the status log.
  // A profile named on the command line comes in place of the last one,
  // once the window is up, so that a failure can be told in a box.
  BDroppedReferences dropped;
  if (!m_pendingProfile.empty())
    ::PostMessageW(GetHwnd(), kOpenPendingProfile, 0, 0);
  else if (!m_settings.profile.empty())
    m_document.Open(m_settings.profile, &dropped);
  m_memoryView.SetMemorySize(kImageSize);
  m_memoryView.SetAvailableSize(kImageSize);
  ::SendMessageW(m_trackbar, TBM_SETRANGEMIN, FALSE, 0);
  m_playerPanel.OpenDevice();
  EnablePlayer(false);
  m_panels.Fill();
  UpdateTitle();
  CreateWaveWindow();
  UpdateCommands();
  OnConnect();
  ReportDroppedReferences(dropped);
  BRunningInstance::Mark(GetHwnd());
  return TRUE;
}

void BMainDlg::OnDestroy() {
  BRunningInstance::Unmark(GetHwnd());
  ::KillTimer(GetHwnd(), kPendingProfileTimer);
  m_playerTarget = nullptr;
  m_siren.Close();
  m_player.Close();
  OnStop();
  m_playerPanel.Release();
  m_document.ClearHistory();
  m_drag.reset();
  m_toolTips.Destroy();
  if (m_accelerators != nullptr) ::DestroyAcceleratorTable(m_accelerators);
  m_accelerators = nullptr;
  ::PostQuitMessage(2);
}

void BMainDlg::SetPrompts(BPrompts& prompts) {
  m_prompts = &prompts;
  m_siren.SetPrompts(prompts);
}

int BMainDlg::ShowMessage(UINT stringId, UINT type, ...) {
  va_list arguments;
  va_start(arguments, type);
  std::wstring text = FormatTextV(LoadText(stringId).c_str(), arguments);
  va_end(arguments);
  return m_prompts->ShowMessageBox(text, type);
}

void BMainDlg::ShowStatus(UINT stringId, ...) {
  va_list arguments;
  va_start(arguments, stringId);
  m_log.Show(FormatTextV(LoadText(stringId).c_str(), arguments));
  va_end(arguments);
}

// The snapshot comes from the objects themselves, never from the controls.
void BMainDlg::UpdateCommands() {
  const BSirenLink& link = m_siren.Link();
  BProgramState state;
  state.connected = link.IsConnected();
  state.jobRunning = link.IsJobRunning();
  state.abortable = link.IsAbortable();
  state.canUndo = m_document.CanUndo();
  state.canRedo = m_document.CanRedo();
  if (!state.jobRunning) {  // the job's worker writes the profile meanwhile
    state.fragments = m_profile.CountFragments();
    state.playlistLength = m_profile.PlaylistLength();
    state.freeRoom = !m_profile.GetFreeBlocks().empty();
  }
  state.fragmentSelected = m_panels.SelectedFragment() >= 0;
  state.playerEnabled = m_playerPanel.IsEnabled();
  state.playing = m_playerPanel.IsPlaying();
  state.rangeOffered = m_playerPanel.CanMarkRange();
  ApplyDecision(DecideCommands(state), m_commandsShown ? &m_commands : nullptr);
}

void BMainDlg::ApplyDecision(const BCommandSet& commands, const BCommandSet* shown) {
  ApplyCommands(GetHwnd(), commands, shown);
  if (shown == nullptr || commands.portMenu != shown->portMenu)
    m_portMenu.Enable(commands.portMenu);
  if (shown == nullptr || commands.fileCommands != shown->fileCommands)
    m_recentMenu.Enable(commands.fileCommands);
  m_commands = commands;
  m_commandsShown = true;
}

void BMainDlg::SetModified(bool modified) {
  m_document.SetModified(modified);
  UpdateTitle();
}

void BMainDlg::UpdateTitle() {
  std::wstring title = kProgramTitle;
  if (!m_document.Path().empty()) title += L" [" + Widen(m_document.Path()) + L"]";
  if (m_document.IsModified()) title += L" *";
  ::SetWindowTextW(GetHwnd(), title.c_str());
}

// The profile remembered is the one open now; a profile that failed to load
// at start-up is forgotten.
void BMainDlg::SaveSettings() {
  m_settings.profile = m_document.Path();
  m_settings.Save();
}
