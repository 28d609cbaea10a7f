// The serial link to the siren: a COM port opened for overlapped I/O and a
// worker thread that writes one queued request at a time and delivers the
// reply frames to a BCOMHandler. The chief header of the link.
#pragma once

#include <windows.h>

#include <string>

#include "link/com_handler.h"
#include "link/connection_base.h"

// The name CreateFileA needs for a port: "COM" names longer than 4 characters
// (COM10 and up) get the device prefix \\.\ in front; any other name is kept.
std::string PortDevicePath(const std::string& portName);

class BCOMConnection : public BCOMConnectionBase {
 public:
  BCOMConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs);
  ~BCOMConnection() override;

  bool Open(const std::string& portName) override;
  bool Close(DWORD timeoutMs) override;

 protected:
  HANDLE OpenPort(const std::string& portName) override;
  void ThreadProc() override;

 private:
  // What the worker does after a phase; Replied: a reply was delivered.
  enum class Next { Continue, Replied, EndWorker };

  void RunWorker();
  Next WriteFrame(const std::vector<uint8_t>& frame);
  Next AwaitReply();
  // One wait for the arrival of bytes, at most the read time-out. Returns the
  // number of bytes that arrived and were read (0 when there were none), or
  // kTimedOut, kTimedOutStuck (the pending wait would not cancel), kStopped,
  // kFailed (reported; the worker ends) or kGaveUp (reported; the worker goes
  // on with the next request).
  int AwaitBytes();
  int AwaitCommEvent();
  int AwaitFirstByte();
  // Reads the bytes waiting in the driver into the receive buffer; returns the
  // count, or kFailed.
  int ReadWaitingBytes();
  // Cancels the pending read or comm-event wait and waits a little for it to
  // end; false when it is still pending (some drivers never end it).
  bool CancelPendingRead(DWORD& count);
  static constexpr int kTimedOut = -1;
  static constexpr int kStopped = -2;
  static constexpr int kFailed = -3;
  static constexpr int kGaveUp = -4;
  static constexpr int kTimedOutStuck = -5;
  void CloseOverlappedEvents();

  // Used by the worker only while it runs; made and closed by Open and Close
  // on the user-interface thread while no worker runs.
  OVERLAPPED m_readOverlapped;   // the comm-event wait and the reads
  OVERLAPPED m_writeOverlapped;  // the writes
  // Filled by a pending WaitCommEvent, so it lives as long as the connection.
  DWORD m_eventMask = 0;
  // Worker only, reset by Open. Some drivers (Wine's, on a pseudo-terminal)
  // end every comm-event wait at once as cancelled; on such a port the worker
  // waits for the first byte of a reply with a one-byte read instead, which
  // the zero driver time-outs let wait until a byte comes.
  bool m_waitByReading = false;
};
