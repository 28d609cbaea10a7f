#include "audio/file_stream.h"

#include <cstdio>

#include "platform/error_text.h"

bool BFileStream::Open(const std::string& path) {
  Close();
  unsigned long long size = 0;
  if (!m_file.OpenReadShared(path) || !m_file.GetSize(size)) return Fail();
  m_size = size;
  return true;
}

void BFileStream::Close() {
  m_file.Close();
  m_position = 0;
  m_size = 0;
}

bool BFileStream::Fail() {
  m_error = GetLastSystemError();
  return false;
}

long BFileStream::Read(void* buffer, std::size_t size) {
  const long got = m_file.Read(buffer, size);
  if (got < 0) {
    Fail();
    return -1;
  }
  m_position += static_cast<uint64_t>(got);
  return got;
}

bool BFileStream::Seek(uint64_t position) {
  if (!m_file.Seek(position)) return Fail();
  m_position = position;
  return true;
}

bool BFileStream::SeekFrom(int64_t offset, int whence) {
  const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(m_position)
                       : whence == SEEK_END ? static_cast<int64_t>(m_size)
                                            : 0;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return false;
  if (offset < -base) return false;
  return Seek(static_cast<uint64_t>(base + offset));
}
