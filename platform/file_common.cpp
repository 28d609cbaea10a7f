#include "platform/file.h"

#include <string>
#include <utility>

BFile::BFile(BFile&& other) noexcept { *this = std::move(other); }

BFile& BFile::operator=(BFile&& other) noexcept {
  if (this != &other) {
    Close();
#ifdef _WIN32
    m_handle = other.m_handle;
    other.m_handle = nullptr;
#else
    m_fd = other.m_fd;
    other.m_fd = -1;
#endif
  }
  return *this;
}

BFile::~BFile() { Close(); }

bool BFile::CreateTemporary(const std::string& targetPath, std::string& tempPath) {
  // Exclusive creation makes the name unique even against other processes;
  // leftovers of an earlier crash only move us to the next number.
  const int kAttempts = 1000;
  for (int number = 1; number <= kAttempts; ++number) {
    std::string candidate = targetPath + ".~" + std::to_string(number) + ".tmp";
    bool alreadyExists = false;
    if (CreateNew(candidate, alreadyExists)) {
      tempPath = candidate;
      return true;
    }
    if (!alreadyExists) return false;
  }
  return false;  // the last error says that the file exists
}
