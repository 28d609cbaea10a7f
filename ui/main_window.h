// The main window of Sirelta. Its commands are forwards to the objects that
// hold the program's state and rules: the document (BDocument: the profile,
// its file and its history), the siren (BWindowSiren: the connection and the
// link), the player panel (BPlayerPanel) and the panels that show the profile
// (BProfilePanels). What is enabled is decided in one place (DecideCommands)
// from their state after every change. The user's answers come through the
// prompts (BPrompts): the window's own, or a test's fake.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "audio/player_panel.h"
#include "audio/player_view.h"
#include "audio/signal_form.h"
#include "model/command_rules.h"
#include "model/document.h"
#include "model/document_view.h"
#include "model/profile.h"
#include "model/recent_profiles.h"
#include "toolkit/dialog_window.h"
#include "toolkit/message_filter.h"
#include "toolkit/message_routes.h"
#include "language_menu.h"
#include "loudness_dlg.h"
#include "memory_view.h"
#include "port_menu.h"
#include "profile_panels.h"
#include "recent_menu.h"
#include "resource.h"
#include "row_drag.h"
#include "settings.h"
#include "status_log.h"
#include "tool_tips.h"
#include "wave_window.h"
#include "window_icons.h"
#include "window_player.h"
#include "window_prompts.h"
#include "window_siren.h"

class BMainDlg : public BDialogWindow,
                 public CMessageFilter,
                 public BDocumentView,
                 public BSirenHost,
                 public BPlayerView,
                 public BWaveWindowHost,
                 public BRowDragHost {
 public:
  BMainDlg();
  ~BMainDlg() override;

  BOOL PreTranslateMessage(MSG* message) override;

  BProfile& GetProfile() { return m_profile; }
  BDocument& GetDocument() { return m_document; }
  const std::string& GetProfilePath() const { return m_document.Path(); }
  const std::string& GetPortName() const { return m_settings.port; }
  bool IsModified() const { return m_document.IsModified(); }
  void SetModified(bool modified);
  bool IsPlaying() const { return m_playerPanel.IsPlaying(); }
  bool IsWaveShown() const { return m_waveWindow.IsShown(); }
  const BWaveWindow& WaveWindow() const { return m_waveWindow; }
  // A line in the status log from the string table.
  void ShowStatus(UINT stringId, ...);
  // Decides what is enabled from the state of the objects and applies it.
  void UpdateCommands();
  // The profile to open once the window is made, in place of the last one
  // (the program's command line); set before Create.
  void SetStartProfile(const std::string& path) { m_pendingProfile = path; }

  // The document's view (main_window_editing.cpp).
  void OnFragmentChanged(int slot) override;
  void OnProfileReplaced() override;
  void OnHistoryChanged() override;

  // What the siren link asks of the window (main_window_siren.cpp).
  void SirenCommandsChanged() override;
  void ShowConnected(bool connected) override;
  void ShowAvailableSize(uint32_t bytes) override { m_memoryView.SetAvailableSize(bytes); }
  void SirenReadStarts() override { m_document.BeginRead(); }
  void SirenReadEnded() override { m_document.EndRead(); }
  void StopPlayer() override { EnablePlayer(false); }
  // The lists lose their selection here without a notification.
  void ClearProfilePanels() override;
  void FillProfilePanels() override;
  void ReportDroppedReferences(const BDroppedReferences& dropped) override;
  void MarkProfileModified() override { SetModified(true); }
  int SelectedFragment() override { return m_panels.SelectedFragment(); }
  void SaveSettings() override;
  void PortFoundAgain(const std::string& port) override {
    m_portMenu.Show(m_settings.port = port, -1);
  }

  // What the player panel shows and asks (main_window_player.cpp); the
  // player's thread posts through PostPlayerMessage.
  void PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) override;
  uint32_t ThumbPosition() override;
  void ShowThumb(uint32_t position) override;
  void ShowSoundLength(uint32_t samples) override;
  void ShowRange(uint32_t start, uint32_t end) override;
  void ShowTimeText(const std::string& text) override;
  void SetPlayButtonState(bool stopped) override { m_icons.ShowPlayButton(stopped); }
  void PlayerStateChanged() override { UpdateCommands(); }
  void ShowMemoryMarker(int64_t address) override;
  void RepaintMemoryView() override { m_memoryView.Repaint(); }
  void ShowPlaylistRow(int row) override { m_panels.ShowHeardPlaylistRow(row); }
  void SoundChanged(bool sameSound) override { UpdateWaveSound(sameSound); }
  void ShowPlayerStatus(const BText& text) override { m_log.Show(FormatText(text)); }
  void ShowPlayerError(const BText& text) override;

  // The waveform window (main_window_player.cpp).
  void OnWaveSeek(uint32_t sample) override { m_playerPanel.Seek(sample); }
  void OnWaveMark(uint32_t start, uint32_t end) override;
  void OnWaveMarkAll() override;
  void OnWaveCancelRange() override;
  void OnWavePlacementChanged() override;
  void GetWaveCursor(uint32_t& position, uint32_t& rangeStart, uint32_t& rangeEnd) override;
  bool IsWaveMarkingAllowed() override { return m_commands.rangeCommands; }

  // Drag and drop of list rows (BRowDrag).
  bool MayDragRows() override;
  void DropFragment(int position, int slot) override;
  void MovePlaylistRow(int from, int to) override;

 protected:
  // Messages the player's thread posts to the window, in the order of
  // BPlayerMessage. Restarted, finished and position carry in lParam the run
  // they belong to (see BPlayerPanel).
  static constexpr UINT kPlayerRestarted = WM_APP + 1;
  static constexpr UINT kPlayerError = WM_APP + 4;
  // Opens the profile that waits in m_pendingProfile (posted, so that the
  // start or the second instance that asked for it is not held up).
  static constexpr UINT kOpenPendingProfile = WM_APP + 20;
  // Retries that open while a box or dialog of the window is up.
  static constexpr UINT_PTR kPendingProfileTimer = 20;

  using Routes = BMessageRoutes<BMainDlg>;
  static constexpr int kAnyCode = Routes::kAnyCode;
  int RefusedRoutes() const { return m_routes.Refused(); }
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  void SetPrompts(BPrompts& prompts);
  int ShowMessage(UINT stringId, UINT type, ...);

  // Window lifetime (main_window.cpp).
  BOOL OnInitDialog();
  void OnDestroy();

  // File commands (main_window_files.cpp).
  void OnFileNew();
  void OnFileOpen();
  void OnRecentProfile(size_t index);
  // A profile handed over by a second start of the program (WM_COPYDATA).
  LRESULT OnHandedProfile(LPARAM copyData);
  void OpenPendingProfile();
  // Asks about unsaved changes first: true when the profile may be replaced.
  bool MayReplaceProfile();
  void OpenProfileFile(const std::string& path);
  // The profile at the top of the recent list, which the File menu shows.
  void RememberRecent(const std::string& path);
  void ShowRecent();
  // The commands decided, applied to the menus and the controls; `shown`: the
  // decision shown before, whose unchanged groups are left alone.
  void ApplyDecision(const BCommandSet& commands, const BCommandSet* shown);
  void OnAbout();
  void OnFileSave() { SaveProfile(); }
  void OnFileSaveAs() { SaveProfileAs(); }
  void OnAppExit();
  // IDCANCEL (Escape, the close box): ends a drag in progress, else Exit.
  void OnCancelCommand();
  int AskToSaveChanges();
  bool SaveProfile();
  bool SaveProfileAs();
  bool SaveProfileTo(const std::string& path);
  std::wstring ProfileErrorText() const;
  void SetProfileMessages();
  void OnDropFiles(HDROP drop);
  void ImportDroppedFiles(const std::vector<std::string>& paths);

  // The siren (main_window_siren.cpp): the tests keep the start-up connection.
  virtual void OnConnect();
  void OnReadSiren() { m_siren.Link().StartRead(); }
  void OnWriteSiren() { m_siren.Link().StartWrite(); }
  void OnWriteChanges() { m_siren.Link().StartWriteChanges(); }
  void OnVerifySiren() { m_siren.Link().StartVerify(); }
  void OnAbort() { m_siren.Link().Abort(); }
  void OnPlayFragmentOnSiren() { m_siren.Link().PlayFragment(); }
  void OnPlayPlaylistOnSiren() { m_siren.Link().PlayPlaylist(); }
  void OnStopOnSiren() { m_siren.Link().StopPlayback(); }
  void OnVerifyAfterWrite();
  void OnFleetWrite();
  void ApplyVerifySetting();
  void OnExportFragment();
  void OnPortCommand(int index);
  void OnOtherPort();
  void OnHighQualityConversion();
  void ApplyConversionSetting();

  // Editing (main_window_editing.cpp).
  void OnMarkRangeStart() { m_playerPanel.MarkRangeStart(); }
  void OnMarkRangeEnd() { m_playerPanel.MarkRangeEnd(); }
  void OnInvertRange() { m_playerPanel.InvertRange(); }
  void OnCancelRange() { m_playerPanel.CancelRange(); }
  void OnDeleteRange();
  void OnAmplify();
  void OnEditUndo();
  void OnEditRedo();
  void OnDeleteFragment();
  void OnDefragment();
  void OnAddToPlaylist();
  void OnRemoveFromPlaylist();
  void OnButtonComboChanged(int button);
  BOOL OnFragmentLabelEdited(NMLVDISPINFOW* info);
  // While a read or write job runs the profile belongs to the job: true then,
  // with a line in the status log, and the caller leaves the profile alone.
  bool JobHoldsProfile();
  // Stops and empties the player before the bytes it may play change.
  void ReleasePlayerCopies();
  // What the Edit menu says the next undo or redo takes back ("удаление «beep»").
  std::wstring StepText(const BStepName& step) const;
  void ShowHistorySteps();

  // New fragments (main_window_import.cpp): imported sound files, made
  // signals; the levelling of fragments to one loudness.
  void OnAddFragment();
  bool ImportFile(const std::string& path);
  bool ReadyForNewFragment();
  bool ChooseBlockFor(const std::string& what, uint64_t neededBytes, uint32_t milliseconds,
                      BMemRange& block);
  int PlaceNewFragment(const std::string& name, const BMemRange& block, const uint8_t* samples,
                       uint32_t length, BEditKind kind);
  void OnMakeSignal();
  bool PlaceSignal(const BSignalForm& form);
  void OnLevelLoudness();
  void LevelFragments(const std::vector<int>& slots,
                      const std::vector<BLoudnessDlg::Fragment>& fragments,
                      const std::vector<bool>& chosen, double target);

  // Local playback (main_window_player.cpp).
  void EnablePlayer(bool enable) { m_playerPanel.Enable(enable); }
  void LoadFragmentIntoPlayer() { LoadSelectedFragment(false); }
  // The same after an edit of the fragment's bytes: the waveform keeps its view.
  void ReloadEditedFragment() { LoadSelectedFragment(true); }
  void LoadSelectedFragment(bool afterEdit);
  void OnFragmentSelChanged();
  void OnPlayFragment();
  void OnPlayPlaylist();
  void OnLoopPlay() { m_playerPanel.LoopPlay(); }
  void OnPlayPause() { m_playerPanel.PlayPause(); }
  void OnStop() { m_playerPanel.Stop(); }
  void OnHScroll(WPARAM wParam);
  void OnViewWave() { ShowWaveWindow(!m_waveWindow.IsShown()); }
  void ShowWaveWindow(bool visible);
  void UpdateWaveSound(bool sameSound);

  BLanguageMenu m_languageMenu;  // made first: it sets the language of the texts

  // The document owns the profile and its history; m_profile is the profile
  // as the player, the link and the panels read it (the link also stores
  // what the siren returns). Every change of the user's goes through the
  // document.
  BDocument m_document{*this};
  BProfile& m_profile = m_document.ProfileForLink();
  BSettings m_settings;
  BCommandSet m_commands;  // as last decided and shown
  bool m_commandsShown = false;

  BMemoryView m_memoryView;
  BProfilePanels m_panels{m_profile, m_memoryView};
  BStatusLog m_log;

  // Local playback: the Windows player, whose thread calls the panel, and
  // the panel, which owns the sound and the player's state (its header says
  // which thread touches what). The player is closed before either goes.
  BWindowPlayer m_player{m_playerPanel};
  BPlayerPanel m_playerPanel{m_profile, m_player, *this};
  std::atomic<HWND> m_playerTarget{nullptr};  // read by the player's thread

  BWindowPrompts m_windowPrompts{*this, m_playerPanel};
  BPrompts* m_prompts = &m_windowPrompts;

  BWindowSiren m_siren{m_profile, m_log, *this};
  BWaveWindow m_waveWindow{*this};
  std::unique_ptr<BRowDrag> m_drag;  // made with the window
  BPortMenu m_portMenu;
  BRecentProfiles m_recent;
  BRecentMenu m_recentMenu;
  std::string m_pendingProfile;  // UTF-8; empty: none waits
  BToolTips m_toolTips;
  HWND m_trackbar = nullptr;

 private:
  void AddRoutes();
  void AddNotifications();
  void CreateWaveWindow();
  void UpdateTitle();

  Routes m_routes;
  HACCEL m_accelerators = nullptr;
  BWindowIcons m_icons;
};
