// BFile on Windows: the wide file functions, the program's UTF-8 names widened.
#include "platform/file.h"

#include <windows.h>

#include "platform/text.h"

namespace {

HANDLE ToHandle(void* handle) {
  return handle ? static_cast<HANDLE>(handle) : INVALID_HANDLE_VALUE;
}

void* FromHandle(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

const DWORD kMaxChunk = 1u << 30;  // ReadFile and WriteFile take a DWORD count

}  // namespace

bool BFile::OpenRead(const std::string& path) {
  Close();
  m_handle = FromHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return m_handle != nullptr;
}

bool BFile::OpenReadShared(const std::string& path) {
  Close();
  m_handle =
      FromHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return m_handle != nullptr;
}

bool BFile::Create(const std::string& path) {
  Close();
  m_handle = FromHandle(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  return m_handle != nullptr;
}

bool BFile::OpenAppend(const std::string& path) {
  Close();
  m_handle = FromHandle(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  return m_handle != nullptr;
}

bool BFile::CreateNew(const std::string& path, bool& alreadyExists) {
  Close();
  m_handle = FromHandle(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (m_handle) return true;
  DWORD error = GetLastError();
  alreadyExists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  SetLastError(error);
  return false;
}

long BFile::Read(void* buffer, std::size_t size) {
  if (!m_handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  DWORD want = size > kMaxChunk ? kMaxChunk : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(ToHandle(m_handle), buffer, want, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

long BFile::Write(const void* data, std::size_t size) {
  if (!m_handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  const char* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    std::size_t rest = size - done;
    DWORD want = rest > kMaxChunk ? kMaxChunk : static_cast<DWORD>(rest);
    DWORD put = 0;
    if (!WriteFile(ToHandle(m_handle), bytes + done, want, &put, nullptr)) return -1;
    if (put == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return -1;
    }
    done += put;
  }
  return static_cast<long>(done);
}

bool BFile::Flush() {
  if (!m_handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return FlushFileBuffers(ToHandle(m_handle)) != FALSE;
}

bool BFile::Seek(unsigned long long position) {
  if (!m_handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (position > 0x7FFFFFFFFFFFFFFFull) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(ToHandle(m_handle), distance, nullptr, FILE_BEGIN) != FALSE;
}

bool BFile::GetSize(unsigned long long& size) {
  if (!m_handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  LARGE_INTEGER value;
  if (!GetFileSizeEx(ToHandle(m_handle), &value)) return false;
  size = static_cast<unsigned long long>(value.QuadPart);
  return true;
}

bool BFile::Close() {
  if (!m_handle) return true;
  BOOL closed = CloseHandle(ToHandle(m_handle));
  m_handle = nullptr;
  return closed != FALSE;
}

bool BFile::IsOpen() const { return m_handle != nullptr; }

bool BFile::Remove(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != FALSE; }

bool BFile::Exists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool BFile::Replace(const std::string& source, const std::string& target) {
  // Windows refuses to replace a read-only file, but not every
  // implementation of MoveFileEx does (Wine does not): make it so everywhere.
  DWORD attributes = GetFileAttributesW(Widen(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return MoveFileExW(Widen(source).c_str(), Widen(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
