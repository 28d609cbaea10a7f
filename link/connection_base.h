// The transport without the port itself: the events, the send queue, the
// receive buffer, opening and closing, and the error text. A derived class
// opens the port (a COM port, BCOMConnection; a network server,
// BNetConnection) and runs the worker loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "link/com_handler.h"
#include "link/receive_buffer.h"
#include "link/send_queue.h"
#include "link/siren_protocol.h"

class BCOMConnectionBase {
 public:
  // The handler is not owned; the time-outs are in milliseconds. The read
  // time-out bounds the silence while a reply is awaited, the reply limit the
  // whole wait from the end of the request's write.
  BCOMConnectionBase(BCOMHandler& handler, DWORD readTimeoutMs, DWORD writeTimeoutMs,
                     DWORD replyLimitMs = kLinkReplyLimitMs);
  virtual ~BCOMConnectionBase();
  BCOMConnectionBase(const BCOMConnectionBase&) = delete;
  BCOMConnectionBase& operator=(const BCOMConnectionBase&) = delete;

  // Opens and configures the port and starts the worker. Call while closed,
  // on the user-interface thread. On failure the error text says why.
  virtual bool Open(const std::string& portName);
  // Stops the worker (waiting at most `timeoutMs`, then killing it) and closes
  // the port. Returns false when the worker had to be killed. Always leaves
  // the transport closed.
  virtual bool Close(DWORD timeoutMs);
  // Queues one request frame; never waits. From the user-interface thread or
  // from inside OnReceive on the worker.
  virtual void Send(uint8_t code, uint8_t length, const uint8_t* payload);
  virtual std::string GetErrorText() const;
  virtual bool IsOpen() const;

  // The system error code of the last failure, (DWORD)-1 after a stop
  // time-out, 0 after a successful Open.
  DWORD GetLastErrorCode() const { return m_lastError; }
  // The good reply frames dropped since the last call (or since Open)
  // because no request was waiting for them; any thread.
  uint32_t TakeStrayReplies() { return m_strayReplies.exchange(0); }
  // The CE_ error bits the port reported since the last call (or since
  // Open); any thread.
  uint32_t TakeLineErrors() { return m_lineErrors.exchange(0); }

  static constexpr DWORD kStopTimedOut = static_cast<DWORD>(-1);

 protected:
  // Opens and configures the port before the worker starts; on failure
  // sets the error (SetSystemError, SetErrorText) and returns false.
  virtual bool PreparePort(const std::string& portName) = 0;
  // The worker body; returns when the worker ends.
  virtual void ThreadProc() = 0;
  // Hands the reply to the request with the code `awaitedRequest` to the
  // handler once it is in the receive buffer, and counts the good frames
  // before it that answer nothing; true when the reply was delivered
  // (kAnyRequest: hands on every good frame; true when there was one).
  virtual bool ParseReceived(int awaitedRequest);
  // Empties the receive buffer, counting the good frames in it as strays.
  void DiscardReceived();

  // Step one of Close: sets the stop event, waits at most `timeoutMs` for the
  // worker and kills it after that (setting the error), then forgets the
  // thread. Returns false when it had to be killed. Does nothing without a
  // worker. The port stays open, so that a derived class can still settle
  // what the worker left pending on it.
  bool StopWorker(DWORD timeoutMs);

  // Stores the code and the system's text for it as the last error.
  void SetSystemError(DWORD code);
  // SetSystemError, then OnError with the text (worker thread).
  void ReportSystemError(DWORD code);
  // The same with a text of the transport's own.
  void SetErrorText(DWORD code, const std::string& text);
  void ReportError(DWORD code, const std::string& text);

  // Set on the user-interface thread by Open and Close only, while no worker
  // runs (Open starts it last, Close stops it first); the worker only reads
  // them, so they need no lock. m_port and m_settings are the COM port's.
  HANDLE m_port = INVALID_HANDLE_VALUE;
  HANDLE m_stopEvent = nullptr;  // manual-reset: every later wait sees it
  HANDLE m_sendEvent = nullptr;  // auto-reset: set per Send and per reply while frames wait
  DCB m_settings;
  BCOMHandler* m_handler;
  const DWORD m_readTimeoutMs;
  const DWORD m_writeTimeoutMs;
  const DWORD m_replyLimitMs;

  // Worker thread only (reset by Open before the worker starts).
  BReceiveBuffer m_received;
  // Both threads; the queue locks itself.
  BSendQueue m_sendQueue;
  // Counted by the worker, taken by the owner; atomic.
  std::atomic<uint32_t> m_strayReplies{0};
  std::atomic<uint32_t> m_lineErrors{0};

 private:
  static DWORD WINAPI ThreadStart(LPVOID connection);
  // Closes every handle Open made, without touching the error.
  void ReleaseHandles();

  // Written by the worker on its failures and by Open and Close; read by the
  // owner only after Open failed or the worker reported a failure and ended,
  // or after Close, so the two threads never use them at the same time.
  DWORD m_lastError = 0;
  std::string m_errorText;

  // User-interface thread only.
  bool m_isOpen = false;
  HANDLE m_thread = nullptr;
  // Written by Open (through CreateThread) and Close on the user-interface
  // thread; Send reads it on both threads. The worker's Sends come from its
  // handler calls, which follow the owner's first Send, so Open's write is
  // long done and Close clears it only after the worker has ended.
  DWORD m_threadId = 0;
};
