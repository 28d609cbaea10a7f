// The local playback engine: owns the wave-out device and a playback thread
// that keeps ten 20 ms buffers queued, asks its owner for sound and reports
// progress through four callbacks.
//
// Threads and their contract:
//   - The owner's thread (the user-interface thread) calls Open, Close,
//     Play, Pause, Reset, GetErrorText and the buffer lock.
//   - The playback thread calls the four callbacks and nothing else of the
//     owner. A callback may call Play, Pause, Reset and the buffer lock (they
//     take no lock the callbacks hold), but never Open or Close.
//   - The callbacks must not block on the owner's thread: they reach the
//     windows by posting messages (PostMessage), never by sending them or by
//     showing a message box themselves. This keeps Close able to wait for the
//     thread to end instead of killing it.
//   - The owner must call Close before its own destructor ends, since the
//     thread calls the owner's overrides until Close has stopped it.
//
// Sound buffer hand-off: OnFillBuffer always runs inside the buffer lock
// and only while the player is running, and the filled buffer is queued to
// the device before the lock is left. Pause clears the running flag inside
// the same lock, so when Pause returns no fill is in progress, no filled
// buffer is still on its way to the device (a Reset then silences
// everything), and none starts before the next Play: the owner may then
// release or replace its sound. To change the sound while playing, it holds
// BufferLock. A callback that resumes play (Play) decides so under the same
// lock from the owner's own state, so that it cannot undo a stop made
// meanwhile.
//
// Positions: OnPosition gets the samples played since the previous report.
// Reset restarts the device's sample count; the first report after it counts
// from the Reset, so it never carries a difference taken across the Reset.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <string>

class BPlayer {
 public:
  BPlayer();
  virtual ~BPlayer();
  BPlayer(const BPlayer&) = delete;
  BPlayer& operator=(const BPlayer&) = delete;

  // Opens the device, the buffers and the thread, and leaves the player
  // paused. False with the error text when any of them fails.
  bool Open();
  // Ends the thread (waiting for it), resets and closes the device and frees
  // the buffers. Called on the playback thread it only asks the thread to end.
  void Close();
  // The thread queues new buffers only while running.
  void Play();
  // Stops new requests; the buffers already queued (about 200 ms) still play.
  // Waits for a fill in progress.
  void Pause();
  // Returns every queued buffer as done and restarts the sample count at 0.
  bool Reset();
  // The text of the last failure (a copy: the thread may set it).
  std::string GetErrorText() const;

  // Whether the device and the thread are open, and whether running is set.
  bool IsOpen() const { return m_device != nullptr; }
  bool IsRunning() const { return m_running; }

  // The lock OnFillBuffer runs in. Recursive, so a callback may take it too.
  void LockBuffer();
  void UnlockBuffer();
  class BufferLock {
   public:
    explicit BufferLock(BPlayer& player) : m_player(player) { m_player.LockBuffer(); }
    ~BufferLock() { m_player.UnlockBuffer(); }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;

   private:
    BPlayer& m_player;
  };

  // The messages the user sees for the player's error texts: the device
  // could not be opened, and the device failed while playing.
  static std::string OpenFailureMessage(const std::string& errorText);
  static std::string AccessFailureMessage(const std::string& errorText);

  // The device format: the siren's samples played as unsigned 8-bit PCM.
  static const WAVEFORMATEX& DeviceFormat();
  static constexpr int kBufferCount = 10;
  static constexpr uint32_t kBufferMilliseconds = 20;

 protected:
  // Called on the playback thread only.
  // The device failed; the thread ends after this call (the device stays open).
  virtual void OnError(const std::string& text) = 0;
  // Copies up to size bytes of sound into buffer and stores how many in
  // count; false (or no bytes) when there is nothing more to play.
  virtual bool OnFillBuffer(uint8_t* buffer, uint32_t size, uint32_t& count) = 0;
  // Every queued buffer has played and there is no more sound; running is
  // already cleared. Comes once per run.
  virtual void OnFinished() = 0;
  // The device has played this many more samples since the previous report.
  virtual void OnPosition(uint32_t samples) = 0;

 private:
  enum class FillOutcome { kNone, kQueued, kQueueFailed, kFinished };

  static DWORD WINAPI ThreadEntry(void* player);
  void RunPlayback();
  bool ServeBuffer(WAVEHDR& header);
  FillOutcome FillAndQueueBuffer(WAVEHDR& header, MMRESULT& queueResult);
  MMRESULT QueueBuffer(WAVEHDR& header);
  bool AllBuffersPlayed() const;
  bool EnterBufferLockUnlessStopping();
  void ReportPosition();
  void ReportDeviceError(const char* format, MMRESULT result);
  bool AllocateBuffers();
  void FreeBuffers();
  void SetErrorText(const std::string& text);
  static std::string DeviceErrorText(MMRESULT result);

  // Set by Open before the thread starts and cleared by Close after it has
  // ended, both on the owner's thread; the thread and Reset only read it.
  HWAVEOUT m_device = nullptr;
  // Created at construction, closed by the destructor; an event is safe to
  // signal and wait on from any thread.
  HANDLE m_stopEvent = nullptr;
  // Owner's thread only (Open, Close).
  HANDLE m_thread = nullptr;
  DWORD m_threadId = 0;
  // Set by Open before the thread starts and cleared by Close after it has
  // ended; the thread only reads it.
  uint32_t m_bufferSize = 0;
  // The buffer block and its headers: allocated by Open before the thread
  // starts, freed by Close after it has ended. While the thread runs only it
  // and the device touch them.
  uint8_t* m_buffers = nullptr;
  WAVEHDR* m_headers = nullptr;
  // Set by Play and Pause (owner's thread or a callback), cleared by the
  // thread before OnFinished; atomic. Pause and the thread's test before a
  // fill change or read it inside m_bufferLock.
  std::atomic<bool> m_running{false};
  // The hand-off of the owner's sound: held by the thread around each fill
  // and by Pause, and by the owner while it changes its sound.
  CRITICAL_SECTION m_bufferLock;
  // The device's sample count at the previous report. Read and written by the
  // thread and set to 0 by Reset (either thread), both inside
  // m_positionLock, so a position read before a Reset is never subtracted
  // from one read after it.
  uint32_t m_lastPosition = 0;
  CRITICAL_SECTION m_positionLock;
  // Written by the owner's operations and by the thread on a device error,
  // read by GetErrorText; guarded by m_errorLock.
  std::string m_errorText;
  mutable CRITICAL_SECTION m_errorLock;
};
