// BSerialPort: the emulator's end of the line (POSIX). Either the master side
// of a new pseudo-terminal, whose slave path the other side opens, or a named
// serial device, set to raw 115200 baud 8N1.
//
// The emulator never keeps the pseudo-terminal's slave open itself: while no
// one has it open, the master reports a hang-up (POLLHUP, reads fail with
// EIO), which is how the emulator sees the other side come and go. On every
// hang-up both queues are flushed, so that nothing the emulator wrote for a
// program that has gone is read by the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class BSerialPort {
 public:
  enum class ReadResult { Data, NoData, HungUp, Failed };

  BSerialPort() = default;
  ~BSerialPort();
  BSerialPort(const BSerialPort&) = delete;
  BSerialPort& operator=(const BSerialPort&) = delete;

  bool OpenPseudoTerminal();
  bool OpenDevice(const std::string& path);
  void Close();

  int Descriptor() const { return m_fd; }
  // The path the other side opens: the slave of the pseudo-terminal, or the device.
  const std::string& FarEndPath() const { return m_farEnd; }
  bool IsPseudoTerminal() const { return m_pseudoTerminal; }

  // Reads what is waiting without blocking.
  ReadResult Read(uint8_t* buffer, std::size_t size, std::size_t& received);
  // Writes all bytes, waiting while the line is full; false on failure
  // (including a hang-up of the other side while writing).
  bool Write(const uint8_t* bytes, std::size_t count);
  // Throws away everything queued in either direction.
  void Flush();

  const std::string& GetErrorText() const { return m_errorText; }

 private:
  static bool ClaimAsControllingTerminal();
  bool SetRaw(int fd);
  bool Fail(const std::string& what);

  int m_fd = -1;
  bool m_pseudoTerminal = false;
  std::string m_farEnd;
  std::string m_errorText;
};
