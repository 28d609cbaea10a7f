// System error codes and texts on POSIX systems.
#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

namespace {

// strerror_r comes in two flavours (XSI returns int, GNU returns the text).
[[maybe_unused]] const char* PickText(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* PickText(const char* text, const char*) { return text; }

}  // namespace

unsigned long GetLastSystemError() { return static_cast<unsigned long>(errno); }

unsigned long OutOfMemorySystemError() { return ENOMEM; }

unsigned long EndOfFileSystemError() { return ENODATA; }

unsigned long InvalidHandleSystemError() { return EBADF; }

std::string GetErrorText(unsigned long code) {
  char buffer[256] = {};
  const char* text = PickText(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
  if (text && *text) return text;
  return "Unknown error " + std::to_string(code);
}
