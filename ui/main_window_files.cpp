// File commands of the main window: new, open, save, save as, exit, and
// sound files dropped on the window.
#include "main_window.h"

#include "about_dlg.h"
#include "platform/file.h"
#include "resource.h"
#include "running_instance.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

// Asks whether to save unsaved changes: IDYES, IDNO or IDCANCEL; IDNO when
// there is nothing to save.
int BMainDlg::AskToSaveChanges() {
  if (!m_document.IsModified()) return IDNO;
  return ShowMessage(IDS_SAVE_CHANGES_PROMPT, MB_YESNOCANCEL | MB_ICONWARNING);
}

// New and Open go on only on "No": "Yes" saves and ends the command.
void BMainDlg::OnFileNew() {
  if (!MayReplaceProfile()) return;
  EnablePlayer(false);
  m_document.New();
}

bool BMainDlg::MayReplaceProfile() {
  if (JobHoldsProfile()) return false;
  int answer = AskToSaveChanges();
  if (answer == IDYES) OnFileSave();
  return answer == IDNO;
}

void BMainDlg::OnFileOpen() {
  if (!MayReplaceProfile()) return;
  std::string path;
  if (m_prompts->AskOpenPath(path)) OpenProfileFile(path);
}

// A file that is gone leaves the list with a word; any other failure of the
// open is told as for Open and keeps the entry.
void BMainDlg::OnRecentProfile(size_t index) {
  if (index >= m_recent.Paths().size()) return;
  const std::string path = m_recent.Paths()[index];
  if (!BFile::Exists(path)) {
    m_recent.Remove(path);
    ShowRecent();
    ShowMessage(IDS_RECENT_PROFILE_MISSING, MB_ICONWARNING, Widen(path).c_str());
    return;
  }
  if (MayReplaceProfile()) OpenProfileFile(path);
}

void BMainDlg::OpenProfileFile(const std::string& path) {
  EnablePlayer(false);
  m_memoryView.SetSelectedBand(-1);
  BDroppedReferences dropped;
  // A failed open keeps the profile and its history as they were.
  if (m_document.Open(path, &dropped)) {
    // References to empty slots that the load took out are no edit of the
    // user's: the status log says what went, and the next save leaves them out.
    ReportDroppedReferences(dropped);
    RememberRecent(path);
    SaveSettings();
  } else {
    ShowMessage(IDS_PROFILE_LOAD_FAILED, MB_ICONERROR, Widen(path).c_str(),
                ProfileErrorText().c_str());
  }
  m_memoryView.Repaint();
}

// Answers at once; the open itself comes with the posted message, so that
// the second start does not wait for the questions it may bring.
LRESULT BMainDlg::OnHandedProfile(LPARAM copyData) {
  std::string path;
  if (!BRunningInstance::ReadHandedPath(copyData, path)) return FALSE;
  m_pendingProfile = path;
  ::PostMessageW(GetHwnd(), kOpenPendingProfile, 0, 0);
  return TRUE;
}

// A box or dialog of the window (which disables it) has the user's answer
// first: the open waits for it to close.
void BMainDlg::OpenPendingProfile() {
  ::KillTimer(GetHwnd(), kPendingProfileTimer);
  if (m_pendingProfile.empty()) return;
  if (!::IsWindowEnabled(GetHwnd())) {
    ::SetTimer(GetHwnd(), kPendingProfileTimer, 300, nullptr);
    return;
  }
  const std::string path = m_pendingProfile;
  m_pendingProfile.clear();
  if (MayReplaceProfile()) OpenProfileFile(path);
}

void BMainDlg::OnAbout() {
  BAboutDlg about;
  about.DoModal(GetInstance(), GetHwnd());
}

void BMainDlg::RememberRecent(const std::string& path) {
  m_recent.Add(path);
  ShowRecent();
}

void BMainDlg::ShowRecent() {
  m_settings.recent = m_recent.Paths();
  m_settings.SaveRecent();
  m_recentMenu.Show(m_recent.Paths());
}

// A profile without a file gets a name first, whether or not it was changed.
bool BMainDlg::SaveProfile() {
  if (JobHoldsProfile()) return false;
  if (m_document.Path().empty()) return SaveProfileAs();
  EnablePlayer(false);
  m_memoryView.SetSelectedBand(-1);
  return SaveProfileTo(m_document.Path());
}

bool BMainDlg::SaveProfileAs() {
  if (JobHoldsProfile()) return false;
  std::string path;
  if (!m_prompts->AskSavePath(path)) return false;
  EnablePlayer(false);
  m_memoryView.SetSelectedBand(-1);
  if (!SaveProfileTo(path)) return false;
  SaveSettings();
  return true;
}

bool BMainDlg::SaveProfileTo(const std::string& path) {
  if (m_document.SaveAs(path)) {
    UpdateTitle();
    RememberRecent(path);
    return true;
  }
  ShowMessage(IDS_PROFILE_SAVE_FAILED, MB_ICONERROR, Widen(path).c_str(),
              ProfileErrorText().c_str());
  return false;
}

// Closes the window unless the user cancels, or asked to save and the save
// did not succeed: unsaved changes are never thrown away by accident. The
// siren stays connected until the window really goes (OnDestroy closes the
// link); a save is refused while a job holds the profile.
void BMainDlg::OnAppExit() {
  int answer = AskToSaveChanges();
  if (answer == IDCANCEL) return;
  if (answer == IDYES && !SaveProfile()) return;
  Destroy();
}

void BMainDlg::OnCancelCommand() {
  if (m_drag && m_drag->IsDragging())
    m_drag->Cancel();
  else
    OnAppExit();
}

// The reason of the last failed load or save, as the user reads it: the
// program's own texts come straight from the string table as wide strings.
std::wstring BMainDlg::ProfileErrorText() const {
  switch (m_profile.GetErrorKind()) {
    case BProfileError::NotProfile:
      return LoadText(IDS_NOT_A_PROFILE);
    case BProfileError::OtherVersion:
      return LoadText(IDS_UNSUPPORTED_PROFILE_VERSION);
    case BProfileError::UnexpectedEnd:
      return LoadText(IDS_UNEXPECTED_END_OF_FILE);
    default:
      return Widen(m_profile.GetErrorText());
  }
}

// The profile keeps its own copy of these texts for callers that only read
// its error text.
void BMainDlg::SetProfileMessages() {
  BProfileMessages messages;
  messages.notProfile = FormatUtf8Text(BText(IDS_NOT_A_PROFILE));
  messages.otherVersion = FormatUtf8Text(BText(IDS_UNSUPPORTED_PROFILE_VERSION));
  messages.unexpectedEnd = FormatUtf8Text(BText(IDS_UNEXPECTED_END_OF_FILE));
  m_profile.SetMessages(messages);
}

// The drop is always released; during a siren job nothing is imported.
void BMainDlg::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::vector<wchar_t> path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size()));
    paths.push_back(Narrow(path.data()));
  }
  ImportDroppedFiles(paths);
  ::DragFinish(drop);
}

// Each file in turn; the first that cannot be imported stops the rest.
// During a siren job nothing is imported and the controls stay as they are.
void BMainDlg::ImportDroppedFiles(const std::vector<std::string>& paths) {
  if (JobHoldsProfile()) return;
  EnablePlayer(false);
  for (const std::string& path : paths) {
    if (m_profile.GetFreeBlocks().empty()) {
      ShowMessage(IDS_NO_FREE_MEMORY, MB_ICONERROR);
      return;
    }
    if (m_profile.CountFragments() >= kMaxFragments) {
      ShowMessage(IDS_DROPPED_FILE_TOO_MANY_FRAGMENTS, MB_ICONERROR, Widen(path).c_str(),
                  kMaxFragments);
      return;
    }
    if (path.empty()) continue;
    if (!ImportFile(path)) return;
  }
}
