#include "running_instance.h"

#include <shellapi.h>

#include <vector>

#include "platform/text.h"

namespace {

const wchar_t kMainWindowProperty[] = L"Sirelta.MainWindow";
const wchar_t kStartingMutex[] = L"Local\\Sirelta.Starting";
// The WM_COPYDATA kind of a handed profile path ("SZPF").
const ULONG_PTR kProfilePathData = 0x535A5046;
const UINT kHandOverTimeoutMs = 5000;
// Longer than any path Windows takes, with room for its zero.
const size_t kMaxPathChars = 32768;

BOOL CALLBACK FindMarked(HWND hwnd, LPARAM found) {
  if (::GetPropW(hwnd, kMainWindowProperty) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

HWND FindMarkedWindow() {
  HWND found = nullptr;
  ::EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

void BRunningInstance::Mark(HWND window) {
  ::SetPropW(window, kMainWindowProperty, reinterpret_cast<HANDLE>(1));
}

void BRunningInstance::Unmark(HWND window) { ::RemovePropW(window, kMainWindowProperty); }

// The mutex is held by a start from its check until its window is marked
// (and by the running instance for ever after): a start that finds it held
// but no window yet waits for the window.
HWND BRunningInstance::Find(DWORD waitMs) {
  HANDLE starting = ::CreateMutexW(nullptr, FALSE, kStartingMutex);
  const bool another = starting != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  HWND window = FindMarkedWindow();
  for (DWORD waited = 0; another && window == nullptr && waited < waitMs; waited += 100) {
    ::Sleep(100);
    window = FindMarkedWindow();
  }
  // The running instance's own handle keeps the mutex; this process's goes
  // with it when it ends (and stays while this start becomes the instance).
  if (window != nullptr && starting != nullptr) ::CloseHandle(starting);
  return window;
}

bool BRunningInstance::HandOver(HWND window, const std::wstring& path) {
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  ::SetForegroundWindow(window);
  if (path.empty()) return true;
  COPYDATASTRUCT data = {};
  data.dwData = kProfilePathData;
  data.cbData = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(path.c_str());
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, kHandOverTimeoutMs, &result) != 0 &&
         result == TRUE;
}

// The data comes from another process: its size and its zero are checked.
bool BRunningInstance::ReadHandedPath(LPARAM copyData, std::string& path) {
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(copyData);
  if (data == nullptr || data->dwData != kProfilePathData || data->lpData == nullptr) return false;
  const size_t chars = data->cbData / sizeof(wchar_t);
  if (chars < 2 || chars > kMaxPathChars || data->cbData % sizeof(wchar_t) != 0) return false;
  const auto* text = static_cast<const wchar_t*>(data->lpData);
  if (text[chars - 1] != L'\0') return false;
  path = Narrow(std::wstring(text, chars - 1));
  return !path.empty();
}

// The first argument after the program's name; relative to the folder the
// program was started in.
std::wstring BRunningInstance::CommandLineProfile() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return std::wstring();
  std::wstring argument = count > 1 ? arguments[1] : L"";
  ::LocalFree(arguments);
  if (argument.empty()) return argument;
  std::vector<wchar_t> full(kMaxPathChars, L'\0');
  DWORD length =
      ::GetFullPathNameW(argument.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return argument;
  return std::wstring(full.data(), length);
}
