// BFile on POSIX systems.
#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <limits>
#include <unistd.h>

bool BFile::OpenReadShared(const std::string& path) { return OpenRead(path); }

bool BFile::OpenRead(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return m_fd >= 0;
}

bool BFile::Create(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

bool BFile::OpenAppend(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

bool BFile::CreateNew(const std::string& path, bool& alreadyExists) {
  Close();
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  alreadyExists = m_fd < 0 && errno == EEXIST;
  return m_fd >= 0;
}

long BFile::Read(void* buffer, std::size_t size) {
  if (m_fd < 0) {
    errno = EBADF;
    return -1;
  }
  for (;;) {
    ssize_t got = ::read(m_fd, buffer, size);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

long BFile::Write(const void* data, std::size_t size) {
  if (m_fd < 0) {
    errno = EBADF;
    return -1;
  }
  // write() may take only a part (a full disk reports its error on the next call).
  const char* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(m_fd, bytes + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (put == 0) {
      errno = EIO;
      return -1;
    }
    done += static_cast<std::size_t>(put);
  }
  return static_cast<long>(done);
}

bool BFile::Flush() {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  return ::fsync(m_fd) == 0;
}

bool BFile::Seek(unsigned long long position) {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  if (position > static_cast<unsigned long long>(std::numeric_limits<off_t>::max())) {
    errno = EINVAL;
    return false;
  }
  return ::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool BFile::GetSize(unsigned long long& size) {
  struct stat info;
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  if (::fstat(m_fd, &info) != 0) return false;
  size = static_cast<unsigned long long>(info.st_size);
  return true;
}

bool BFile::Close() {
  if (m_fd < 0) return true;
  int result = ::close(m_fd);
  m_fd = -1;
  return result == 0;
}

bool BFile::IsOpen() const { return m_fd >= 0; }

bool BFile::Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool BFile::Exists(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool BFile::Replace(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}
