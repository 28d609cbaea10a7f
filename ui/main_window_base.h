// The main window's document side: it owns the profile and implements every
// command handler, the status log, the enabling of controls, the window title
// and the settings. BMainDlg adds the menu bar, tooltips and accelerators.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <atomic>

#include <commctrl.h>

#include "audio/player_panel.h"
#include "audio/player_view.h"
#include "audio/preview_player.h"
#include "link/com_handler.h"
#include "link/connection.h"
#include "link/link_ui.h"
#include "link/siren_link.h"
#include "model/document.h"
#include "model/document_view.h"
#include "model/profile.h"
#include "toolkit/dialog_window.h"
#include "toolkit/message_filter.h"
#include "connection_port.h"
#include "memory_view.h"
#include "resource.h"
#include "settings.h"
#include "wave_window.h"
#include "window_player.h"
#include "window_prompts.h"

class BMainDlgBase : public BDialogWindow,
                     public CMessageFilter,
                     public BCOMHandler,
                     public BLinkUi,
                     public BPlayerView,
                     public BPreviewPlayer,
                     public BWaveWindowHost,
                     public BDocumentView {
 public:
  BMainDlgBase();
  ~BMainDlgBase() override;

  BOOL PreTranslateMessage(MSG* message) override;

  // Document state, read by tests and by the other parts of the window.
  BProfile& GetProfile() { return m_profile; }
  BDocument& GetDocument() { return m_document; }
  const std::string& GetProfilePath() const { return m_document.Path(); }
  const std::string& GetPortName() const { return m_settings.port; }
  bool IsModified() const { return m_document.IsModified(); }
  // A Read stored the siren's content in the profile (true).
  void SetModified(bool modified);

  // The document's view: the panels, the player and the Edit menu follow it.
  void OnFragmentChanged(int slot) override;
  void OnProfileReplaced() override;
  void OnHistoryChanged() override;

  // Status log: the newest message is inserted at index 0 and selected.
  virtual void ShowStatus(UINT stringId, ...);
  virtual void ShowStatusText(const wchar_t* format, ...);
  virtual void ShowStatusV(UINT stringId, va_list arguments);
  virtual void ShowStatusTextV(const wchar_t* format, va_list arguments);
  virtual void ReplaceStatus(UINT stringId, ...);
  virtual void ReplaceStatusText(const wchar_t* format, ...);
  virtual void ReplaceStatusV(UINT stringId, va_list arguments);
  virtual void ReplaceStatusTextV(const wchar_t* format, va_list arguments);

  // What is enabled is decided in one place (DecideCommands, from the
  // document's and the link's state, never from the controls) and applied
  // after every change of that state.
  void UpdateCommands();
  void CommandsChanged() override { UpdateCommands(); }
  // The appliers of UpdateCommands: the control part; BMainDlg adds the menu part.
  virtual void EnableFileCommands(bool enable);
  virtual void EnableSirenCommands(bool enable);
  virtual void EnableAbort(bool enable) = 0;
  virtual void EnableEditing(bool enable);
  virtual void EnableUndo(bool enable) = 0;
  virtual void EnableRedo(bool enable) = 0;
  virtual void EnablePortMenu(bool enable) = 0;
  void EnableAddButtons(bool addFragment, bool addToPlaylist);
  void EnableRangeCommands(bool enable) override;
  // The Edit menu names the step Undo and Redo would take.
  virtual void ShowHistorySteps() {}
  virtual void EnablePlayer(bool enable);
  void EnableLoopButton(bool enable) override;

  virtual void UpdateTitle();

  // The transport's callbacks (worker thread), handed to the siren link.
  void OnError(const std::string& text) override;
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override;
  void OnTimeout() override;
  void OnGarbledReply() override;
  void OnStrayReply(uint8_t code) override;

  // What the siren link shows and switches.
  bool PostLinkMessage(unsigned message) override;
  std::string DefaultFragmentName(int number) override;
  void ShowLinkStatus(const BLinkText& text) override;
  void ReplaceLinkStatus(const BLinkText& text) override;
  void ClearStatusLog() override;
  void ShowLinkError(const BLinkText& text) override;
  void ShowLinkInformation(const BLinkText& text) override;
  BAnswer AskLink(const BLinkText& text, BQuestion question) override;
  void SetProgressRange(int total) override;
  void SetProgressPosition(int position) override;
  void SetConnectCommandText(bool connected) override;
  void SetAvailableSize(uint32_t bytes) override;
  void MarkProfileModified() override;
  int SelectedFragment() override;
  uint32_t TickCount() override;
  void DebugOutput(const std::string& text) override;
  BLinkState GetLinkState() const { return m_link.GetState(); }

  // Local playback: the player panel's operations (main_window_player.cpp).
  bool IsPlaying() const override { return m_playerPanel.IsPlaying(); }
  void SetPlaying(bool on) override { m_playerPanel.SetPlaying(on); }
  // The gain dialog's preview writes into the buffer under this lock: the
  // waveform window follows when it is released.
  void LockPlayBuffer() override { m_playerPanel.LockPlayBuffer(); }
  void UnlockPlayBuffer() override { m_playerPanel.UnlockPlayBuffer(); }
  void SetPlayButtonState(bool stopped) override;
  // The signal dialog's sound, heard in place of what the player held.
  void LoadPreview(const std::vector<uint8_t>& samples) override;
  virtual void ShowPlayTime(uint32_t position);
  virtual void SetPlayPosition(int64_t position);
  virtual void ReleasePlayBuffer();

  // What the player panel shows and asks; the player's thread posts through
  // PostPlayerMessage.
  void PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) override;
  uint32_t ThumbPosition() override;
  void ShowThumb(uint32_t position) override;
  void ShowSoundLength(uint32_t samples) override;
  void ShowRange(uint32_t start, uint32_t end) override;
  void ShowTimeText(const std::string& text) override;
  void EnablePlayerControls(bool enable) override;
  void ShowMemoryMarker(int64_t address) override;
  void RepaintMemoryView() override;
  void ShowPlaylistRow(int row) override;
  void SoundChanged(bool sameSound) override;
  void ShowPlayerStatus(const BText& text) override;
  void ShowPlayerError(const BText& text) override;

  // The waveform window (main_window_wave.cpp).
  void OnWaveSeek(uint32_t sample) override;
  void OnWaveMark(uint32_t start, uint32_t end) override;
  void OnWaveMarkAll() override;
  void OnWaveCancelRange() override;
  void OnWavePlacementChanged() override;
  void GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) override;
  bool IsWaveMarkingAllowed() override;
  bool IsWaveShown() const { return m_waveWindow.IsShown(); }
  const BWaveWindow& WaveWindow() const { return m_waveWindow; }

 protected:
  // Messages the player's thread posts to the window, in the order of
  // BPlayerMessage. Restarted, finished and position carry in lParam the run
  // they belong to (see BPlayerPanel).
  static constexpr UINT kPlayerRestarted = WM_APP + 1;
  static constexpr UINT kPlayerFinished = WM_APP + 2;
  static constexpr UINT kPlayerPosition = WM_APP + 3;
  static constexpr UINT kPlayerError = WM_APP + 4;

  // Message routing: one table maps a message (for WM_COMMAND the id range and
  // notification code, for WM_NOTIFY the sender and code) to a member.
  using RouteHandler = LRESULT (*)(BMainDlgBase& window, UINT message, WPARAM wParam,
                                   LPARAM lParam);
  static constexpr int kAnyCode = -1;
  struct MessageRoute {
    UINT message;
    UINT firstId;  // WM_COMMAND: command id range; WM_NOTIFY: sender id range
    UINT lastId;
    int code;  // notification code, or kAnyCode
    RouteHandler handler;
  };
  void AddRoute(const MessageRoute& route);
  // Routes refused because another already takes some of their commands or
  // notifications: a mistake of the program, which the tests check for.
  int RefusedRoutes() const { return m_refusedRoutes; }
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // The user's answers come through the prompts (BPrompts): the window's
  // own, or a test's fake.
  void SetPrompts(BPrompts& prompts) { m_prompts = &prompts; }
  int ShowMessageBox(const std::wstring& text, UINT type) {
    return m_prompts->ShowMessageBox(text, type);
  }
  int ShowMessage(UINT stringId, UINT type, ...);

  // Window lifetime.
  virtual BOOL OnInitDialog();
  virtual void OnDestroy();

  // File commands.
  virtual void OnFileNew();
  virtual void OnFileOpen();
  virtual void OnFileSave();
  virtual void OnFileSaveAs();
  virtual void OnAppExit();
  // IDCANCEL (Escape, the close box): ends a drag in progress, else Exit.
  void OnCancelCommand();
  int AskToSaveChanges();
  bool SaveProfile();
  bool SaveProfileAs();
  bool SaveProfileTo(const std::string& path);
  BDroppedReferences LoadStartupProfile();
  // A line in the status log when Load or Defragment took out references to
  // empty slots (nothing otherwise).
  void ReportDroppedReferences(const BDroppedReferences& dropped) override;
  std::wstring ProfileErrorText() const;
  void SetProfileMessages();

  // Commands routed now whose work comes with the link, the player, the
  // panels and the editing features; until then they do nothing.
  virtual void OnConnect() = 0;
  virtual void OnLinkMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnProgressTimer();
  static constexpr UINT_PTR kProgressTimer = 1;
  UINT m_pendingProgress = 0;  // a progress message waiting for the timer (this thread)
  virtual void OnReadSiren();
  virtual void OnWriteSiren();
  virtual void OnAbort();
  virtual void OnDefragment();
  virtual void OnMarkRangeStart();
  virtual void OnMarkRangeEnd();
  virtual void OnInvertRange();
  virtual void OnCancelRange();
  virtual void OnDeleteRange();
  virtual void OnAmplify();
  virtual void OnEditUndo();
  virtual void OnEditRedo();
  virtual void OnAddFragment();
  virtual void OnDeleteFragment();
  virtual void OnPlayFragment();
  virtual void OnAddToPlaylist() = 0;
  virtual void OnRemoveFromPlaylist();
  virtual void OnPlayPlaylist();
  virtual void OnPlayFragmentOnSiren();
  virtual void OnPlayPlaylistOnSiren();
  virtual void OnStopOnSiren();
  virtual void OnLoopPlay();
  virtual void OnPlayPause();
  virtual void OnStop();
  virtual void OnButtonComboChanged(int button);
  virtual void OnHScroll(WPARAM wParam, LPARAM lParam);
  virtual void OnMouseMove(WPARAM wParam, LPARAM lParam);
  virtual void OnLButtonUp(WPARAM wParam, LPARAM lParam);
  virtual void OnActivate(WPARAM wParam, LPARAM lParam);

  // The fragment list and the playlist.
  virtual BOOL OnFragmentLabelEdited(NMLVDISPINFOW* info);
  virtual BOOL OnFragmentBeginLabelEdit(NMLVDISPINFOW* info);
  virtual void OnFragmentKeyDown(NMLVKEYDOWN* key);
  virtual void OnFragmentSelChanged();
  virtual void LoadFragmentIntoPlayer();
  // The same after an edit of the fragment's bytes: the waveform keeps its view.
  void ReloadEditedFragment();
  void LoadSelectedFragment(bool afterEdit);
  virtual void OnFragmentBeginDrag(NMLISTVIEW* info);
  virtual void OnPlaylistKeyDown(NMLVKEYDOWN* key);
  virtual void OnPlaylistBeginDrag(NMLISTVIEW* info);
  virtual void DrawInsertMark(int index);
  virtual void EraseInsertMark(int index);

  // While a read or write job runs the profile belongs to the job: true then,
  // with a line in the status log, and the caller leaves the profile alone.
  bool JobHoldsProfile();

  // Importing sound files as fragments; the signal dialog places its
  // signals the same way.
  virtual bool ImportFile(const std::string& path);
  void ImportDroppedFiles(const std::vector<std::string>& paths);
  bool ReadyForNewFragment();
  bool ChooseBlockFor(const std::string& what, uint64_t neededBytes, uint32_t milliseconds,
                      BMemRange& block);
  int PlaceNewFragment(const std::string& name, const BMemRange& block, const uint8_t* samples,
                       uint32_t length, BEditKind kind);

  // Panels: the lists, the button combos and the memory view mirror the profile.
  virtual void FillPanels();
  virtual void ClearPanels();
  HWND ButtonCombo(int button) const { return GetItem(IDC_BUTTON1_COMBO + button); }
  std::wstring FragmentName(int index) const;
  void ShowBindings();
  // Rebuilds the playlist rows from the profile and selects `selected` (or
  // the last row when it is past the end; none for -1).
  void ShowPlaylist(int selected);
  // The fragment-list row a fragment in `slot` belongs in: rows follow the slots.
  int RowForSlot(int slot) const;
  // The panels brought in line with the profile after a change: the
  // fragment rows rebuilt when the slots in use changed (the selection kept
  // by slot, else by row), else updated in place; the playlist and the
  // bindings always.
  void SyncPanels();
  void SelectFragmentRow(int row);

  // The waveform window: created hidden at start-up where it was last, shown
  // as it was; the View command shows or hides it; it shows what the player
  // holds, refreshed after every change of the play buffer.
  void CreateWaveWindow();
  virtual void OnViewWave();
  void ShowWaveWindow(bool visible);
  void UpdateWaveSound(bool sameSound);

  // Settings.
  virtual void LoadSettings();
  virtual void SaveSettings();

  // Edit history: the document's.
  virtual void ClearHistory();
  // Stops and empties the player before the bytes it may play change.
  void ReleasePlayerCopies();
  bool HasUndo() const { return m_document.CanUndo(); }
  bool HasRedo() const { return m_document.CanRedo(); }
  // What the Edit menu says the next undo or redo takes back ("удаление «beep»").
  std::wstring StepText(const BStepName& step) const;
  int RowOfFragment(int fragment) const;

  // The player's messages and the sound device.
  void AddPlayerRoutes();
  virtual void OpenWaveOutput();

  // Start-up steps that BMainDlg runs before its own part of the initialisation.
  void AttachControls();
  void SetButtonIcons();

  void EnableControl(int id, bool enable);
  void BeginDrag(HWND list, const NMLISTVIEW& info, bool fromFragments);
  void EndDrag();
  // Ends a drag without a drop; `repaintNow` false only invalidates the
  // insert mark (inside a list's own update).
  void CancelDrag(bool repaintNow = true);
  void OnListRowsChanged();
  bool DraggedFragmentFitsPlaylist() const;
  void ShowDragOverPlaylist(POINT screenPoint);
  void DropOnPlaylist(int index);

  // The document owns the profile and its history; m_profile is the profile
  // as the player, the link and the panels read it (the link also stores
  // what the siren returns). Every change of the user's goes through the
  // document.
  BDocument m_document{*this};
  BProfile& m_profile = m_document.ProfileForLink();
  BSettings m_settings;

  // Local playback: the Windows player, whose thread calls the panel, and
  // the panel, which owns the sound and the player's state (its header says
  // which thread touches what). The player is closed before either goes.
  BWindowPlayer m_player{m_playerPanel};
  BPlayerPanel m_playerPanel{m_profile, m_player, *this};

  // The siren link. The connection's worker thread calls the link through
  // this window (BCOMHandler); the link posts to m_linkMessageTarget, which is
  // set while the window exists and read by the worker, hence atomic.
  BCOMConnection m_connection{*this, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BConnectionPort m_port{m_connection};
  BSirenLink m_link{m_profile, m_port, *this};
  std::atomic<HWND> m_linkMessageTarget{nullptr};

  BMemoryView m_memoryView;

  BWindowPrompts m_windowPrompts{*this, *this};
  BPrompts* m_prompts = &m_windowPrompts;

  // The waveform window: it shows the panel's sound, position and range.
  BWaveWindow m_waveWindow{*this};

  // Drag and drop of list rows (user-interface thread only).
  bool m_dragging = false;
  bool m_dragFromFragments = false;
  bool m_dragFromPlaylist = false;
  int m_dropIndex = -1;      // where the insert mark is shown, -1 for none
  int m_sourceIndex = -1;    // the dragged row
  LPARAM m_sourceData = -1;  // and its item data when the drag began
  HIMAGELIST m_dragImage = nullptr;
  HCURSOR m_fragmentDragCursor = nullptr;  // loaded on first use
  HCURSOR m_playlistDragCursor = nullptr;

  HWND m_statusLog = nullptr;
  HWND m_progress = nullptr;
  HWND m_fragmentList = nullptr;
  HWND m_playlist = nullptr;
  HWND m_trackbar = nullptr;

 private:
  void AddBaseRoutes();
  void AddCommand(UINT id, int code, RouteHandler handler);
  void InsertStatusLine(const std::wstring& text, bool replaceNewest);
  void SetWindowIcons();
  void SetupListColumns();

  std::vector<MessageRoute> m_routes;
  int m_refusedRoutes = 0;
  HICON m_bigIcon = nullptr;
  HICON m_smallIcon = nullptr;
};
