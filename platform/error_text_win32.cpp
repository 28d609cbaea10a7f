// System error codes and texts on Windows.
#include "platform/error_text.h"

#include <cstdio>
#include <windows.h>

#include "platform/text.h"

unsigned long GetLastSystemError() { return GetLastError(); }

unsigned long OutOfMemorySystemError() { return ERROR_NOT_ENOUGH_MEMORY; }

unsigned long EndOfFileSystemError() { return ERROR_HANDLE_EOF; }

unsigned long InvalidHandleSystemError() { return ERROR_INVALID_HANDLE; }

std::string GetErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer) text = Narrow(std::wstring(buffer, length));
  if (buffer) LocalFree(buffer);

  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) {
    char unknown[64];
    std::snprintf(unknown, sizeof unknown, "Unknown error 0x%0lX", code);
    text = unknown;
  }
  return text;
}
