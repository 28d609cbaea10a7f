#include "ui/about_dlg.h"

#include <shellapi.h>

#include <vector>

#include "toolkit/ui_text.h"
#include "ui/resource.h"
#include "ui/string_ids.h"

namespace {

// Every library linked into Sirelta.exe and the files of the release
// package that go with it; a library added to the program is added here.
struct Library {
  const wchar_t* name;
  UINT licence;           // string id of the licence's name
  const wchar_t* text;    // the licence text beside the program
  const wchar_t* source;  // the folder of its source, or nullptr
};

const Library kLibraries[] = {
    {L"LAME", IDS_LICENCE_LGPL, L"LAME-COPYING.txt", L"lame-source"},
    {L"libsoxr", IDS_LICENCE_LGPL, L"SOXR-COPYING.txt", L"soxr-source"},
    {L"libFLAC", IDS_LICENCE_BSD, L"FLAC-COPYING.txt", nullptr},
    {L"libogg", IDS_LICENCE_BSD, L"OGG-COPYING.txt", nullptr},
    {L"libvorbis", IDS_LICENCE_BSD, L"VORBIS-COPYING.txt", nullptr},
    {L"libopus", IDS_LICENCE_BSD, L"OPUS-COPYING.txt", nullptr},
    {L"opusfile", IDS_LICENCE_BSD, L"OPUSFILE-COPYING.txt", nullptr},
    {L"libebur128", IDS_LICENCE_MIT, L"EBUR128-COPYING.txt", nullptr},
    {L"MinGW-w64 runtime", IDS_LICENCE_MINGW, L"mingw-w64-runtime-copyright.txt", nullptr},
};

}  // namespace

INT_PTR BAboutDlg::DoModal(HINSTANCE instance, HWND owner) {
  return BDialogWindow::DoModal(instance, IDD_ABOUT, owner);
}

bool BAboutDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = FALSE;  // the focus set there: on OK, the list unselected
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_ABOUT_README) {
        OpenReadMe();
        return true;
      }
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(GetHwnd(), IDOK);
        return true;
      }
      return false;
    case WM_CLOSE:
      ::EndDialog(GetHwnd(), IDOK);
      return true;
    default:
      return false;
  }
}

std::wstring BAboutDlg::ProgramFolder() {
  std::vector<wchar_t> path(32768, L'\0');
  DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring folder(path.data(), length < path.size() ? length : 0);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring BAboutDlg::LibrariesText(const std::wstring& programFolder) {
  std::wstring text =
      FormatText(LoadText(IDS_ABOUT_FOLDER).c_str(), programFolder.c_str()) + L"\r\n\r\n";
  for (const Library& library : kLibraries) {
    const std::wstring licence = LoadText(library.licence);
    if (library.source != nullptr)
      text += FormatText(LoadText(IDS_ABOUT_LIBRARY_SOURCE).c_str(), library.name, licence.c_str(),
                         library.text, library.source);
    else
      text += FormatText(LoadText(IDS_ABOUT_LIBRARY).c_str(), library.name, licence.c_str(),
                         library.text);
    text += L"\r\n";
  }
  return text + L"\r\n" + LoadText(IDS_ABOUT_RELINK);
}

void BAboutDlg::OnInitDialog() {
  HANDLE icon =
      ::LoadImageW(GetInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
  ::SendMessageW(GetItem(IDC_ABOUT_ICON), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  ::SetWindowTextW(
      GetItem(IDC_ABOUT_VERSION),
      FormatText(LoadText(IDS_ABOUT_VERSION).c_str(), Widen(SIRELTA_VERSION).c_str()).c_str());
  ::SetWindowTextW(GetItem(IDC_ABOUT_LIBRARIES), LibrariesText(ProgramFolder()).c_str());
  ::SetFocus(GetItem(IDOK));
}

// The read-me of the interface's language, beside the program, in the
// program that opens texts; in Notepad where no program is associated with
// them (Notepad is on every Windows).
void BAboutDlg::OpenReadMe() {
  const std::wstring path = ProgramFolder() + LoadText(IDS_README_NAME);
  auto opened = [](HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; };
  if (opened(::ShellExecuteW(GetHwnd(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)))
    return;
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::wstring argument = L"\"" + path + L"\"";
    if (opened(::ShellExecuteW(GetHwnd(), L"open", L"notepad.exe", argument.c_str(), nullptr,
                               SW_SHOWNORMAL)))
      return;
  }
  ::MessageBoxW(GetHwnd(),
                FormatText(LoadText(IDS_README_OPEN_FAILED).c_str(), path.c_str()).c_str(),
                kProgramTitle, MB_OK | MB_ICONERROR);
}
