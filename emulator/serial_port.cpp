#include "emulator/serial_port.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

BSerialPort::~BSerialPort() { Close(); }

bool BSerialPort::Fail(const std::string& what) {
  m_errorText = what + ": " + std::strerror(errno);
  return false;
}

bool BSerialPort::SetRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return Fail("tcgetattr");
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, B115200);
  cfsetospeed(&settings, B115200);
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return Fail("tcsetattr");
  return true;
}

bool BSerialPort::OpenPseudoTerminal() {
  Close();
  m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_fd < 0) return Fail("posix_openpt");
  if (grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) return Fail("grantpt/unlockpt");
  const char* slave = ptsname(m_fd);
  if (slave == nullptr) return Fail("ptsname");
  m_farEnd = slave;
  m_pseudoTerminal = true;
  // The line discipline settings live with the pair; the slave has to be
  // open once to set them. The other side may change them when it opens.
  // Opened by a session leader, the line also becomes the emulator's
  // controlling terminal, so that it cannot become that of whoever opens it
  // next (Wine's server opens it that way; a hang-up of its controlling
  // terminal makes that server dump its state to its output).
  const int slaveFd = open(slave, O_RDWR | (ClaimAsControllingTerminal() ? 0 : O_NOCTTY));
  if (slaveFd < 0) return Fail(std::string("open ") + slave);
  const bool raw = SetRaw(slaveFd);
  close(slaveFd);
  return raw;
}

// Makes the emulator a session leader without a controlling terminal, if it
// can (it cannot when it already leads a process group, e.g. a shell job).
bool BSerialPort::ClaimAsControllingTerminal() {
  if (setsid() < 0) return false;
  std::signal(SIGHUP, SIG_IGN);
  return true;
}

bool BSerialPort::OpenDevice(const std::string& path) {
  Close();
  m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_fd < 0) return Fail("open " + path);
  m_farEnd = path;
  m_pseudoTerminal = false;
  return SetRaw(m_fd);
}

void BSerialPort::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

BSerialPort::ReadResult BSerialPort::Read(uint8_t* buffer, std::size_t size,
                                          std::size_t& received) {
  received = 0;
  const ssize_t count = read(m_fd, buffer, size);
  if (count > 0) {
    received = static_cast<std::size_t>(count);
    return ReadResult::Data;
  }
  if (count == 0) return ReadResult::HungUp;
  if (errno == EAGAIN || errno == EINTR) return ReadResult::NoData;
  if (errno == EIO) return ReadResult::HungUp;  // no one has the slave open
  Fail("read");
  return ReadResult::Failed;
}

bool BSerialPort::Write(const uint8_t* bytes, std::size_t count) {
  std::size_t written = 0;
  while (written < count) {
    const ssize_t n = write(m_fd, bytes + written, count - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd entry{m_fd, POLLOUT, 0};
      const int ready = poll(&entry, 1, 1000);
      if (ready == 0) {
        errno = ETIMEDOUT;  // the other side reads nothing
        return Fail("write");
      }
      if (ready < 0 && errno != EINTR) return Fail("poll");
      if (ready > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0) {
        errno = EIO;
        return Fail("write");
      }
      continue;
    }
    return Fail("write");
  }
  return true;
}

void BSerialPort::Flush() { tcflush(m_fd, TCIOFLUSH); }
