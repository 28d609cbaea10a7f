// BFile: a plain sequential file, the only file access the portable code uses.
// File names are narrow strings in UTF-8 (widened for the system on Windows).
#pragma once

#include <cstddef>
#include <string>

class BFile {
 public:
  BFile() = default;
  ~BFile();  // closes the file, ignoring the result
  BFile(const BFile&) = delete;
  BFile& operator=(const BFile&) = delete;
  BFile(BFile&& other) noexcept;
  BFile& operator=(BFile&& other) noexcept;

  // Opens an existing file for reading; others may read it at the same time.
  bool OpenRead(const std::string& path);
  // The same for a sound file, which another program may still be writing
  // (a recorder): opened whatever others share, sharing reading and writing.
  bool OpenReadShared(const std::string& path);
  // Creates a file for writing, or empties an existing one. Not shared.
  bool Create(const std::string& path);
  // Opens a file for adding at its end, creating it when missing; every
  // Write lands at the end, also when another writer added meanwhile. Others
  // may read it at the same time.
  bool OpenAppend(const std::string& path);
  // Creates a new file for writing next to targetPath (same folder, a name
  // made of targetPath and a unique suffix) and returns its name in tempPath.
  // An existing file is never reused.
  bool CreateTemporary(const std::string& targetPath, std::string& tempPath);

  // Returns the number of bytes read (0 at the end of the file), or -1 on failure.
  long Read(void* buffer, std::size_t size);
  // Writes all bytes; returns size, or -1 on failure.
  long Write(const void* data, std::size_t size);
  // Pushes written data to the disk.
  bool Flush();
  // Moves the read/write position to `position` bytes from the start of the
  // file. A position past the end is allowed: reading there finds the end.
  bool Seek(unsigned long long position);
  // The size of the open file in bytes; the position does not move.
  bool GetSize(unsigned long long& size);
  // Closes the file; false when the system reports a failure (written data
  // may then be lost). Closing a closed file succeeds.
  bool Close();
  bool IsOpen() const;

  static bool Remove(const std::string& path);
  // True when `path` names a file (not a folder) that is there.
  static bool Exists(const std::string& path);
  // Replaces target by source in one step: target is either the old file or
  // the complete new one, never a mixture. Source disappears on success.
  static bool Replace(const std::string& source, const std::string& target);

 private:
  // Creates path only if it does not exist yet; alreadyExists tells why it failed.
  bool CreateNew(const std::string& path, bool& alreadyExists);

#ifdef _WIN32
  void* m_handle = nullptr;  // HANDLE; nullptr when closed
#else
  int m_fd = -1;
#endif
};
