// Prints what the running Sirelta window shows, for the end-to-end tests:
//   window_probe status    the newest line of the status log
//   window_probe title     the window title
//   window_probe range     the marked range of the player: "start end"
//   window_probe rows      the number of rows of the fragment list
//   window_probe click ID  clicks the main window's button ID (posted, so
//                          that a dialog the click opens does not hold the probe)
//   window_probe texts     the texts of the main window's controls, one a line
//   window_probe menu      the menu bar, one item a line, submenus indented
//                          (read inside the program by window_probe_hook.dll)
//   window_probe command ID posts the menu command ID to the main window
//   window_probe dialog    the texts of the controls of the program's dialog
//                          (a visible window of its process besides the main one)
//   window_probe dialog-click ID  clicks that dialog's button ID (posted)
//   window_probe open PATH puts PATH into the name field of the program's open
//                          or save dialog and presses its OK button (typing it
//                          through the keyboard map loses letters of some scripts)
// Output is UTF-8; the exit code is 1 when there is no Sirelta window.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kStatusLogId = 1001;
const int kTrackbarId = 1022;
const int kFragmentListId = 1007;

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM found) {
  wchar_t title[256] = {};
  wchar_t className[64] = {};
  ::GetWindowTextW(hwnd, title, 256);
  ::GetClassNameW(hwnd, className, 64);
  // The main window is a dialog whose title begins with the program title and
  // which has a status log; message boxes have the same title but no log.
  if (std::wcsncmp(title, L"Sirelta", 7) != 0 || ::GetDlgItem(hwnd, kStatusLogId) == nullptr)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

void PrintUtf8(const std::wstring& text) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
}

// WM_GETTEXT is sent explicitly: GetWindowText does not ask controls of
// another process for their text.
std::wstring WindowText(HWND hwnd) {
  wchar_t text[8192] = {};
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &copied);
  return text;
}

BOOL CALLBACK CollectText(HWND control, LPARAM texts) {
  std::wstring text = WindowText(control);
  if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(text);
  return TRUE;
}

std::wstring g_menu;
bool g_menuCame = false;

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  g_menu.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
  if (!g_menu.empty() && g_menu.back() == L'\0') g_menu.pop_back();
  g_menuCame = true;
  return TRUE;
}

// The hook library beside this program reads the menu in the window's own
// thread and sends it to a hidden window of ours; false after 5 s without it.
bool ReadMenu(HWND window) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring library(path, length);
  library = library.substr(0, library.find_last_of(L"\\/") + 1) + L"window_probe_hook.dll";
  HMODULE hook = ::LoadLibraryW(library.c_str());
  if (hook == nullptr) return false;
  auto procedure = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void*>(::GetProcAddress(hook, "ProbeGetMessage")));
  WNDCLASSW receiverClass = {};
  receiverClass.lpfnWndProc = ReceiverProc;
  receiverClass.hInstance = ::GetModuleHandleW(nullptr);
  receiverClass.lpszClassName = L"SireltaWindowProbeReceiver";
  ::RegisterClassW(&receiverClass);
  HWND receiver = ::CreateWindowW(receiverClass.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  receiverClass.hInstance, nullptr);
  HHOOK installed = procedure == nullptr
                        ? nullptr
                        : ::SetWindowsHookExW(WH_GETMESSAGE, procedure, hook,
                                              ::GetWindowThreadProcessId(window, nullptr));
  if (installed != nullptr) {
    ::PostMessageW(window, ::RegisterWindowMessageW(L"SireltaWindowProbeMenu"),
                   reinterpret_cast<WPARAM>(receiver), 0);
    DWORD start = ::GetTickCount();
    while (!g_menuCame && ::GetTickCount() - start < 5000) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      ::Sleep(10);
    }
    ::UnhookWindowsHookEx(installed);
  }
  ::DestroyWindow(receiver);
  ::FreeLibrary(hook);
  return g_menuCame;
}

// The program's file dialog: a visible dialog of the program's process that
// is not its main window and has a file name field.
struct FileDialogSearch {
  DWORD process;
  HWND main;
  HWND found;
  bool fileDialog;  // only a dialog with a file name field
};

const int kFileNameCombo = 0x47C;  // cmb13
const int kFileNameEdit = 0x480;   // edt1

BOOL CALLBACK FindFileDialog(HWND hwnd, LPARAM search) {
  auto* s = reinterpret_cast<FileDialogSearch*>(search);
  DWORD process = 0;
  ::GetWindowThreadProcessId(hwnd, &process);
  if (process != s->process || hwnd == s->main || !::IsWindowVisible(hwnd)) return TRUE;
  if (s->fileDialog && ::GetDlgItem(hwnd, kFileNameCombo) == nullptr &&
      ::GetDlgItem(hwnd, kFileNameEdit) == nullptr)
    return TRUE;
  s->found = hwnd;
  return FALSE;
}

// Waits up to 10 s for a dialog of the program besides its main window.
HWND FindProgramDialog(HWND window, bool fileDialog) {
  FileDialogSearch search = {0, window, nullptr, fileDialog};
  ::GetWindowThreadProcessId(window, &search.process);
  for (int i = 0; i < 100 && search.found == nullptr; ++i) {
    ::EnumWindows(FindFileDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) ::Sleep(100);
  }
  return search.found;
}

// WM_SETTEXT carries its text to another process; the path comes from the
// wide command line, whatever its script.
bool EnterFile(HWND window) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count < 3) return false;
  const std::wstring path = arguments[2];
  ::LocalFree(arguments);
  HWND dialog = FindProgramDialog(window, true);
  if (dialog == nullptr) return false;
  DWORD_PTR result = 0;
  for (int id : {kFileNameCombo, kFileNameEdit}) {
    HWND field = ::GetDlgItem(dialog, id);
    if (field != nullptr)
      ::SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                            SMTO_ABORTIFHUNG, 2000, &result);
  }
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: window_probe status|title|range|rows|click ID|texts|menu|command "
                 "ID|dialog|open PATH\n");
    return 2;
  }
  HWND window = nullptr;
  ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&window));
  if (window == nullptr) return 1;
  if (std::strcmp(argv[1], "status") == 0) {
    PrintUtf8(WindowText(::GetDlgItem(window, kStatusLogId)));
  } else if (std::strcmp(argv[1], "range") == 0) {
    HWND trackbar = ::GetDlgItem(window, kTrackbarId);
    std::printf("%d %d\n", static_cast<int>(::SendMessageW(trackbar, TBM_GETSELSTART, 0, 0)),
                static_cast<int>(::SendMessageW(trackbar, TBM_GETSELEND, 0, 0)));
  } else if (std::strcmp(argv[1], "rows") == 0) {
    std::printf("%d\n", static_cast<int>(::SendMessageW(::GetDlgItem(window, kFragmentListId),
                                                        LVM_GETITEMCOUNT, 0, 0)));
  } else if (std::strcmp(argv[1], "click") == 0 && argc > 2) {
    ::PostMessageW(::GetDlgItem(window, std::atoi(argv[2])), BM_CLICK, 0, 0);
  } else if (std::strcmp(argv[1], "title") == 0) {
    PrintUtf8(WindowText(window));
  } else if (std::strcmp(argv[1], "texts") == 0) {
    std::vector<std::wstring> texts;
    ::EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    for (const std::wstring& text : texts) PrintUtf8(text);
  } else if (std::strcmp(argv[1], "command") == 0 && argc > 2) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), 0), 0);
  } else if (std::strcmp(argv[1], "dialog-click") == 0 && argc > 2) {
    HWND dialog = FindProgramDialog(window, false);
    if (dialog == nullptr) return 1;
    ::PostMessageW(::GetDlgItem(dialog, std::atoi(argv[2])), BM_CLICK, 0, 0);
  } else if (std::strcmp(argv[1], "dialog") == 0) {
    HWND dialog = FindProgramDialog(window, false);
    if (dialog == nullptr) return 1;
    std::vector<std::wstring> texts;
    ::EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    for (const std::wstring& text : texts) PrintUtf8(text);
  } else if (std::strcmp(argv[1], "open") == 0 && argc > 2) {
    if (!EnterFile(window)) return 1;
  } else if (std::strcmp(argv[1], "menu") == 0) {
    if (!ReadMenu(window)) return 1;
    if (!g_menu.empty() && g_menu.back() == L'\n') g_menu.pop_back();
    PrintUtf8(g_menu);
  } else {
    return 2;
  }
  return 0;
}
