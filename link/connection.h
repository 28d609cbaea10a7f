// The serial link to the siren: a COM port opened for overlapped I/O and a
// worker thread that writes one queued request at a time and delivers the
// reply frames to a BCOMHandler. The chief header of the link.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "link/com_handler.h"
#include "link/connection_base.h"

// The name CreateFileA needs for a port: "COM" names longer than 4 characters
// (COM10 and up) get the device prefix \\.\ in front; any other name is kept.
std::string PortDevicePath(const std::string& portName);

class BCOMConnection : public BCOMConnectionBase {
 public:
  BCOMConnection(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs,
                 DWORD replyLimitMs = kLinkReplyLimitMs);
  ~BCOMConnection() override;

  bool Open(const std::string& portName) override;
  bool Close(DWORD timeoutMs) override;

  // True while an overlapped operation of the worker may still be under way.
  // False after Close, unless an operation that was cancelled never ended
  // (its records are then left to it, never reused).
  bool HasPendingIo() const;

 protected:
  bool PreparePort(const std::string& portName) override;
  // The port handle, or INVALID_HANDLE_VALUE.
  virtual HANDLE OpenPort(const std::string& portName);
  void ThreadProc() override;

 private:
  // What the worker does after a phase; Replied: a reply was delivered.
  enum class Next { Continue, Replied, EndWorker };

  // The two OVERLAPPED records and every buffer a pending operation on them
  // may write into or read from. It lives on the heap so that Close can leave
  // it to an operation that would not end even after its cancellation and
  // the closing of the port (it is then never freed), instead of freeing
  // memory that the system may still use.
  struct BIoRecords {
    OVERLAPPED read;   // the comm-event wait and the reads
    OVERLAPPED write;  // the writes
    // Set by the worker before it starts an operation and cleared when that
    // operation has ended; read by Close after the worker has gone (and by
    // HasPendingIo on any thread).
    std::atomic<bool> readPending{false};
    std::atomic<bool> writePending{false};
    DWORD eventMask = 0;         // filled by a pending WaitCommEvent
    uint8_t firstByte = 0;       // filled by the pending one-byte read
    std::vector<uint8_t> frame;  // the request being written
  };

  void RunWorker();
  // Drops whatever came in since the last reply: no request waits for it.
  // False after a failed read (reported; the worker ends).
  bool DropUnrequestedBytes();
  Next WriteFrame();
  Next AwaitReply();
  // One wait for the arrival of bytes, at most `waitMs`. Returns the
  // number of bytes that arrived and were read (0 when there were none), or
  // kTimedOut, kTimedOutStuck (the pending wait would not cancel), kStopped,
  // kFailed (reported; the worker ends) or kGaveUp (reported; the worker goes
  // on with the next request).
  int AwaitBytes(DWORD waitMs);
  int AwaitCommEvent(DWORD waitMs);
  int AwaitFirstByte(DWORD waitMs);
  // Reads the bytes waiting in the driver into the receive buffer; returns the
  // count, or kFailed.
  int ReadWaitingBytes();
  // Waits (blocking) for the read started last; false on a failure, with the
  // error code left for GetLastError.
  bool FinishRead(DWORD& count);
  // Cancels the pending read or comm-event wait and waits a little for it to
  // end; false when it is still pending (some drivers never end it).
  bool CancelPendingRead(DWORD& count);
  // Waits at most `timeoutMs` for every operation marked pending to end;
  // true when none is left.
  bool WaitForPendingIo(DWORD timeoutMs);
  // After the worker has gone (also when it was killed): cancels what it left
  // pending and waits for it, closing the port early if need be.
  void SettleWorkerIo();
  static constexpr int kTimedOut = -1;
  static constexpr int kStopped = -2;
  static constexpr int kFailed = -3;
  static constexpr int kGaveUp = -4;
  static constexpr int kTimedOutStuck = -5;
  static constexpr DWORD kCancelWaitMs = 500;
  void CloseOverlappedEvents();

  // Used by the worker only while it runs; made and closed by Open and Close
  // on the user-interface thread while no worker runs.
  BIoRecords* m_io = nullptr;
  // Worker only, reset by Open. Some drivers (Wine's, on a pseudo-terminal)
  // end every comm-event wait at once as cancelled; on such a port the worker
  // waits for the first byte of a reply with a one-byte read instead, which
  // the zero driver time-outs let wait until a byte comes.
  bool m_waitByReading = false;
};
