// BFileStream: a file read through the callbacks of a decoding library
// (libFLAC, vorbisfile, opusfile): read, seek, the position and the size.
// The position is kept here, as the file itself does not report it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

class BFileStream {
 public:
  // Opens the file and learns its size; false with the system's error code.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return m_file.IsOpen(); }

  // The number of bytes read, 0 at the end, -1 on failure.
  long Read(void* buffer, std::size_t size);
  bool Seek(uint64_t position);
  // Seeks as fseek does: `whence` is SEEK_SET, SEEK_CUR or SEEK_END.
  bool SeekFrom(int64_t offset, int whence);
  uint64_t Position() const { return m_position; }
  uint64_t Size() const { return m_size; }
  // The system's code for the last failure.
  unsigned long Error() const { return m_error; }

 private:
  bool Fail();

  BFile m_file;
  uint64_t m_position = 0;
  uint64_t m_size = 0;
  unsigned long m_error = 0;
};
