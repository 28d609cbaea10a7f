#include "main_window_base.h"

#include <commctrl.h>

#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

// Small buttons and the icon each one shows.
struct ButtonIcon {
  int controlId;
  int iconId;
};
const ButtonIcon kButtonIcons[] = {
    {IDC_ADD_FRAGMENT, IDI_ADD},
    {IDC_DELETE_FRAGMENT, IDI_DELETE},
    {IDC_PLAY_FRAGMENT, IDI_PLAY},
    {IDC_PLAY_FRAGMENT_ON_SIREN, IDI_PLAY_ON_SIREN},
    {IDC_STOP_ON_SIREN, IDI_STOP_ON_SIREN},
    {IDC_ADD_TO_PLAYLIST, IDI_ADD},
    {IDC_REMOVE_FROM_PLAYLIST, IDI_DELETE},
    {IDC_PLAY_PLAYLIST, IDI_PLAY},
    {IDC_PLAY_PLAYLIST_ON_SIREN, IDI_PLAY_ON_SIREN},
    {IDC_STOP_PLAYLIST_ON_SIREN, IDI_STOP_ON_SIREN},
    {IDC_LOOP_PLAY, IDI_LOOP},
    {IDC_STOP, IDI_STOP},
};

const int kNameColumnWidth = 150;

}  // namespace

BMainDlgBase::BMainDlgBase() {
  AddBaseRoutes();
  AddPlayerRoutes();
}

BMainDlgBase::~BMainDlgBase() {
  // The worker and player threads must be gone before what they use is.
  m_connection.Close(kLinkCloseTimeoutMs);
  m_player.Close();
  Destroy();
  if (m_bigIcon != nullptr) ::DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) ::DestroyIcon(m_smallIcon);
}

BOOL BMainDlgBase::PreTranslateMessage(MSG* message) {
  return GetHwnd() != nullptr && ::IsDialogMessageW(GetHwnd(), message);
}

void BMainDlgBase::AddCommand(UINT id, int code, RouteHandler handler) {
  AddRoute({WM_COMMAND, id, id, code, handler});
}

// Menu commands arrive with code 0 from the menu and 1 from an accelerator;
// buttons with BN_CLICKED; the close box and Escape as IDCANCEL with code 0.
void BMainDlgBase::AddBaseRoutes() {
  using W = BMainDlgBase;
  auto menu = [this](UINT id, RouteHandler handler) { AddCommand(id, kAnyCode, handler); };
  auto button = [this](UINT id, RouteHandler handler) { AddCommand(id, BN_CLICKED, handler); };

  AddRoute({WM_INITDIALOG, 0, 0, kAnyCode,
            [](W& w, UINT, WPARAM, LPARAM) -> LRESULT { return w.OnInitDialog(); }});
  AddRoute({WM_DESTROY, 0, 0, kAnyCode, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
              w.OnDestroy();
              return 0;
            }});
  for (UINT message = kLinkMessageBase; message <= kLinkMessageLast; ++message)
    AddRoute({message, 0, 0, kAnyCode, [](W& w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
                w.OnLinkMessage(msg, wp, lp);
                return 0;
              }});
  AddRoute({WM_TIMER, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
              if (wp == kProgressTimer) w.OnProgressTimer();
              return 0;
            }});
  AddRoute({WM_HSCROLL, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
              w.OnHScroll(wp, lp);
              return 0;
            }});
  AddRoute({WM_MOUSEMOVE, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
              w.OnMouseMove(wp, lp);
              return 0;
            }});
  AddRoute({WM_LBUTTONUP, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
              w.OnLButtonUp(wp, lp);
              return 0;
            }});
  AddRoute({WM_ACTIVATE, 0, 0, kAnyCode, [](W& w, UINT, WPARAM wp, LPARAM lp) -> LRESULT {
              w.OnActivate(wp, lp);
              return 0;
            }});

  menu(ID_FILE_NEW, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnFileNew();
    return 0;
  });
  menu(ID_FILE_OPEN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnFileOpen();
    return 0;
  });
  menu(ID_FILE_SAVE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnFileSave();
    return 0;
  });
  menu(ID_FILE_SAVE_AS, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnFileSaveAs();
    return 0;
  });
  menu(ID_APP_EXIT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnAppExit();
    return 0;
  });
  AddCommand(IDCANCEL, 0, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnCancelCommand();
    return 0;
  });
  menu(ID_MARK_RANGE_START, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnMarkRangeStart();
    return 0;
  });
  menu(ID_MARK_RANGE_END, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnMarkRangeEnd();
    return 0;
  });
  menu(ID_INVERT_RANGE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnInvertRange();
    return 0;
  });
  menu(ID_CANCEL_RANGE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnCancelRange();
    return 0;
  });
  menu(ID_DELETE_RANGE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnDeleteRange();
    return 0;
  });
  menu(ID_AMPLIFY, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnAmplify();
    return 0;
  });
  menu(ID_VIEW_WAVE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnViewWave();
    return 0;
  });
  menu(ID_EDIT_UNDO, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnEditUndo();
    return 0;
  });
  menu(ID_EDIT_REDO, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnEditRedo();
    return 0;
  });
  menu(ID_CONNECT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnConnect();
    return 0;
  });
  menu(ID_READ_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnReadSiren();
    return 0;
  });
  menu(ID_WRITE_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnWriteSiren();
    return 0;
  });
  menu(ID_ABORT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnAbort();
    return 0;
  });
  menu(ID_PLAY_FRAGMENT_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayFragmentOnSiren();
    return 0;
  });
  menu(ID_PLAY_PLAYLIST_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayPlaylistOnSiren();
    return 0;
  });
  menu(ID_STOP_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnStopOnSiren();
    return 0;
  });
  menu(ID_DEFRAGMENT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnDefragment();
    return 0;
  });

  button(IDC_ADD_FRAGMENT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnAddFragment();
    return 0;
  });
  button(IDC_DELETE_FRAGMENT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnDeleteFragment();
    return 0;
  });
  button(IDC_PLAY_FRAGMENT, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayFragment();
    return 0;
  });
  button(IDC_ADD_TO_PLAYLIST, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnAddToPlaylist();
    return 0;
  });
  button(IDC_REMOVE_FROM_PLAYLIST, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnRemoveFromPlaylist();
    return 0;
  });
  button(IDC_PLAY_PLAYLIST, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayPlaylist();
    return 0;
  });
  button(IDC_PLAY_FRAGMENT_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayFragmentOnSiren();
    return 0;
  });
  button(IDC_PLAY_PLAYLIST_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayPlaylistOnSiren();
    return 0;
  });
  button(IDC_STOP_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnStopOnSiren();
    return 0;
  });
  button(IDC_STOP_PLAYLIST_ON_SIREN, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnStopOnSiren();
    return 0;
  });
  button(IDC_LOOP_PLAY, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnLoopPlay();
    return 0;
  });
  button(IDC_PLAY_PAUSE, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnPlayPause();
    return 0;
  });
  button(IDC_STOP, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnStop();
    return 0;
  });
  AddRoute({WM_COMMAND, IDC_BUTTON1_COMBO, IDC_BUTTON4_COMBO, CBN_SELCHANGE,
            [](W& w, UINT, WPARAM wp, LPARAM) -> LRESULT {
              w.OnButtonComboChanged(LOWORD(wp) - IDC_BUTTON1_COMBO);
              return 0;
            }});

  // The list views are Unicode windows: they send the wide label-edit notifications.
  auto notify = [this](UINT sender, UINT code, RouteHandler handler) {
    AddRoute({WM_NOTIFY, sender, sender, static_cast<int>(code), handler});
  };
  notify(IDC_FRAGMENT_LIST, LVN_ENDLABELEDITW, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    return w.OnFragmentLabelEdited(reinterpret_cast<NMLVDISPINFOW*>(lp));
  });
  notify(IDC_FRAGMENT_LIST, LVN_BEGINLABELEDITW, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    return w.OnFragmentBeginLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(lp));
  });
  notify(IDC_FRAGMENT_LIST, LVN_KEYDOWN, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    w.OnFragmentKeyDown(reinterpret_cast<NMLVKEYDOWN*>(lp));
    return 0;
  });
  notify(IDC_FRAGMENT_LIST, LVN_ITEMCHANGED, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.OnFragmentSelChanged();
    return 0;
  });
  notify(IDC_FRAGMENT_LIST, NM_DBLCLK, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
    w.LoadFragmentIntoPlayer();
    return 0;
  });
  notify(IDC_FRAGMENT_LIST, LVN_BEGINDRAG, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    w.OnFragmentBeginDrag(reinterpret_cast<NMLISTVIEW*>(lp));
    return 0;
  });
  notify(IDC_PLAYLIST, LVN_KEYDOWN, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    w.OnPlaylistKeyDown(reinterpret_cast<NMLVKEYDOWN*>(lp));
    return 0;
  });
  notify(IDC_PLAYLIST, LVN_BEGINDRAG, [](W& w, UINT, WPARAM, LPARAM lp) -> LRESULT {
    w.OnPlaylistBeginDrag(reinterpret_cast<NMLISTVIEW*>(lp));
    return 0;
  });
  for (UINT list : {IDC_FRAGMENT_LIST, IDC_PLAYLIST}) {
    for (UINT code : {LVN_INSERTITEM, LVN_DELETEITEM, LVN_DELETEALLITEMS})
      notify(list, code, [](W& w, UINT, WPARAM, LPARAM) -> LRESULT {
        w.OnListRowsChanged();
        return 0;
      });
  }
}

// A command or notification has one handler: a second route that would take
// some of the same ones is refused (and counted, which the tests check), so
// that it cannot compile and then never run. Any other message (a timer, a
// menu about to open) goes to every route that takes it.
void BMainDlgBase::AddRoute(const MessageRoute& route) {
  bool targeted = route.message == WM_COMMAND || route.message == WM_NOTIFY;
  for (const MessageRoute& other : m_routes) {
    if (!targeted || other.message != route.message) continue;
    // A notification route with sender 0 takes every sender.
    auto last = [](const MessageRoute& r) { return r.firstId == 0 ? UINT(-1) : r.lastId; };
    bool idsMeet = route.firstId <= last(other) && other.firstId <= last(route);
    bool codesMeet = route.code == kAnyCode || other.code == kAnyCode || route.code == other.code;
    if (idsMeet && codesMeet) {
      ++m_refusedRoutes;
      return;
    }
  }
  m_routes.push_back(route);
}

bool BMainDlgBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  bool handled = false;
  for (const MessageRoute& route : m_routes) {
    if (route.message != message) continue;
    if (message == WM_COMMAND) {
      UINT id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (id < route.firstId || id > route.lastId) continue;
      if (route.code != kAnyCode && route.code != code) continue;
    } else if (message == WM_NOTIFY) {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (route.firstId != 0 && (header->idFrom < route.firstId || header->idFrom > route.lastId))
        continue;
      if (route.code != kAnyCode && route.code != static_cast<int>(header->code)) continue;
    }
    result = route.handler(*this, message, wParam, lParam);
    handled = true;
  }
  // The dialog manager keeps and restores the focus on activation: it must
  // see WM_ACTIVATE as unhandled.
  return handled && message != WM_ACTIVATE;
}

void BMainDlgBase::AttachControls() {
  m_memoryView.Attach(GetItem(IDC_MEMORY_VIEW));
  m_statusLog = GetItem(IDC_STATUS_LOG);
  m_progress = GetItem(IDC_PROGRESS);
  m_trackbar = GetItem(IDC_TRACKBAR);
  m_fragmentList = GetItem(IDC_FRAGMENT_LIST);
  m_playlist = GetItem(IDC_PLAYLIST);
}

// The part of the initialisation that follows BMainDlg's menus and settings.
BOOL BMainDlgBase::OnInitDialog() {
  m_linkMessageTarget = GetHwnd();
  SetProfileMessages();
  SetWindowIcons();
  SetupListColumns();
  BDroppedReferences dropped = LoadStartupProfile();
  m_memoryView.SetMemorySize(kImageSize);
  m_memoryView.SetAvailableSize(kImageSize);
  ::SendMessageW(m_trackbar, TBM_SETRANGEMIN, FALSE, 0);
  OpenWaveOutput();
  EnablePlayer(false);
  ClearPanels();
  FillPanels();
  UpdateTitle();
  CreateWaveWindow();
  UpdateCommands();
  OnConnect();
  ReportDroppedReferences(dropped);
  return TRUE;
}

void BMainDlgBase::OnDestroy() {
  m_linkMessageTarget = nullptr;
  m_connection.Close(kLinkCloseTimeoutMs);
  m_player.Close();
  OnStop();
  ReleasePlayBuffer();
  ClearHistory();
  EndDrag();
  for (HCURSOR* cursor : {&m_fragmentDragCursor, &m_playlistDragCursor}) {
    if (*cursor != nullptr) ::DestroyCursor(*cursor);
    *cursor = nullptr;
  }
  ::PostQuitMessage(2);
}

void BMainDlgBase::SetButtonIcons() {
  int width = ::GetSystemMetrics(SM_CXSMICON);
  int height = ::GetSystemMetrics(SM_CYSMICON);
  for (const ButtonIcon& entry : kButtonIcons) {
    HANDLE icon = ::LoadImageW(GetInstance(), MAKEINTRESOURCEW(entry.iconId), IMAGE_ICON, width,
                               height, LR_SHARED);
    ::SendMessageW(GetItem(entry.controlId), BM_SETIMAGE, IMAGE_ICON,
                   reinterpret_cast<LPARAM>(icon));
  }
}

void BMainDlgBase::SetWindowIcons() {
  m_bigIcon = static_cast<HICON>(::LoadImageW(GetInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), 0));
  m_smallIcon = static_cast<HICON>(::LoadImageW(GetInstance(), MAKEINTRESOURCEW(IDI_APP),
                                                IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), 0));
  ::SendMessageW(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
  ::SendMessageW(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
}

void BMainDlgBase::SetupListColumns() {
  std::wstring name = LoadText(IDS_COLUMN_NAME);
  std::wstring duration = LoadText(IDS_COLUMN_DURATION);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = &name[0];
  column.cx = kNameColumnWidth;
  ::SendMessageW(m_fragmentList, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = &duration[0];
  column.cx = 0;
  ::SendMessageW(m_fragmentList, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
  ::SendMessageW(m_fragmentList, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);

  wchar_t empty[] = L"";
  column.pszText = empty;
  ::SendMessageW(m_playlist, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  ::SendMessageW(m_playlist, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);

  for (HWND list : {m_fragmentList, m_playlist})
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

int BMainDlgBase::ShowMessage(UINT stringId, UINT type, ...) {
  va_list arguments;
  va_start(arguments, type);
  std::wstring text = FormatTextV(LoadText(stringId).c_str(), arguments);
  va_end(arguments);
  return ShowMessageBox(text, type);
}

void BMainDlgBase::EnableControl(int id, bool enable) {
  ::EnableWindow(GetItem(id), enable ? TRUE : FALSE);
}

void BMainDlgBase::SetModified(bool modified) {
  m_document.SetModified(modified);
  UpdateTitle();
}

void BMainDlgBase::UpdateTitle() {
  std::wstring title = kProgramTitle;
  if (!m_document.Path().empty()) title += L" [" + Widen(m_document.Path()) + L"]";
  if (m_document.IsModified()) title += L" *";
  ::SetWindowTextW(GetHwnd(), title.c_str());
}

void BMainDlgBase::LoadSettings() { m_settings.Load(); }

// The profile remembered is the one open now; a profile that failed to load
// at start-up is forgotten.
void BMainDlgBase::SaveSettings() {
  m_settings.profile = m_document.Path();
  m_settings.Save();
}
