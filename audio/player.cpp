// The local playback engine over wave-out: see player.h for the threads.
#include "audio/player.h"

#include "audio/audio_string_ids.h"
#include "model/geometry.h"
#include "platform/error_text.h"
#include "platform/text.h"

#include <cstdio>

namespace {

WAVEFORMATEX MakeDeviceFormat() {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kSirenRate;
  format.wBitsPerSample = 8;
  format.nBlockAlign = 1;
  format.nAvgBytesPerSec = kSirenRate;
  format.cbSize = 0;
  return format;
}

}  // namespace

BPlayer::BPlayer() {
  m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  InitializeCriticalSection(&m_bufferLock);
  InitializeCriticalSection(&m_positionLock);
  InitializeCriticalSection(&m_errorLock);
}

BPlayer::~BPlayer() {
  Close();
  if (m_stopEvent) CloseHandle(m_stopEvent);
  DeleteCriticalSection(&m_errorLock);
  DeleteCriticalSection(&m_positionLock);
  DeleteCriticalSection(&m_bufferLock);
}

const WAVEFORMATEX& BPlayer::DeviceFormat() {
  static const WAVEFORMATEX format = MakeDeviceFormat();
  return format;
}

std::string BPlayer::OpenFailureMessage(const std::string& errorText) {
  return FormatUtf8Text(BText(IDS_WAVE_DEVICE_OPEN_FAILED, {errorText}));
}

std::string BPlayer::AccessFailureMessage(const std::string& errorText) {
  return FormatUtf8Text(BText(IDS_WAVE_DEVICE_ACCESS_FAILED, {errorText}));
}

std::string BPlayer::DeviceErrorText(MMRESULT result) {
  wchar_t text[MAXERRORLENGTH] = {};
  if (waveOutGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) return std::string();
  return Narrow(text);
}

void BPlayer::SetErrorText(const std::string& text) {
  EnterCriticalSection(&m_errorLock);
  m_errorText = text;
  LeaveCriticalSection(&m_errorLock);
}

std::string BPlayer::GetErrorText() const {
  EnterCriticalSection(&m_errorLock);
  std::string text = m_errorText;
  LeaveCriticalSection(&m_errorLock);
  return text;
}

bool BPlayer::Open() {
  Close();
  const WAVEFORMATEX& format = DeviceFormat();
  m_bufferSize = format.nAvgBytesPerSec * kBufferMilliseconds / 1000;

  if (waveOutGetNumDevs() == 0) {
    SetErrorText("No wave out device found.");
    m_bufferSize = 0;
    return false;
  }
  MMRESULT result = waveOutOpen(nullptr, 0, &format, 0, 0, WAVE_FORMAT_QUERY);
  if (result == MMSYSERR_NOERROR) result = waveOutOpen(&m_device, 0, &format, 0, 0, CALLBACK_NULL);
  if (result != MMSYSERR_NOERROR) {
    m_device = nullptr;
    SetErrorText(DeviceErrorText(result));
    Close();
    return false;
  }
  if (!AllocateBuffers()) {
    SetErrorText("No memory.");
    Close();
    return false;
  }

  ResetEvent(m_stopEvent);
  EnterCriticalSection(&m_positionLock);
  m_lastPosition = 0;
  LeaveCriticalSection(&m_positionLock);
  m_thread = CreateThread(nullptr, 0, &BPlayer::ThreadEntry, this, 0, &m_threadId);
  if (!m_thread) {
    SetErrorText(::GetErrorText(GetLastError()));
    Close();
    return false;
  }
  Pause();
  return true;
}

bool BPlayer::AllocateBuffers() {
  const SIZE_T blockSize = static_cast<SIZE_T>(kBufferCount) * m_bufferSize;
  m_buffers = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, blockSize));
  if (!m_buffers) return false;
  m_headers = static_cast<WAVEHDR*>(GlobalAlloc(GMEM_FIXED, kBufferCount * sizeof(WAVEHDR)));
  if (!m_headers) return false;

  ZeroMemory(m_buffers, blockSize);
  for (int i = 0; i < kBufferCount; ++i) {
    WAVEHDR& header = m_headers[i];
    ZeroMemory(&header, sizeof(header));
    header.lpData = reinterpret_cast<LPSTR>(m_buffers + i * m_bufferSize);
    header.dwBufferLength = m_bufferSize;
  }
  return true;
}

void BPlayer::FreeBuffers() {
  if (m_headers) GlobalFree(m_headers);
  if (m_buffers) GlobalFree(m_buffers);
  m_headers = nullptr;
  m_buffers = nullptr;
}

void BPlayer::Close() {
  SetEvent(m_stopEvent);
  m_running = false;
  if (m_thread && GetCurrentThreadId() == m_threadId) {
    // A callback cannot wait for its own thread: the stop event ends the
    // thread after the callback, and the owner's next Close cleans up.
    return;
  }
  if (m_thread) {
    // The callbacks never wait for this thread, so the wait always ends.
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_threadId = 0;
  }
  if (m_device) {
    waveOutReset(m_device);
    // The device has returned every buffer; release them before the memory goes.
    for (int i = 0; m_headers && i < kBufferCount; ++i) {
      if (m_headers[i].dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
    }
    waveOutClose(m_device);
    m_device = nullptr;
  }
  FreeBuffers();
  m_bufferSize = 0;
}

void BPlayer::Play() { m_running = true; }

void BPlayer::Pause() {
  LockBuffer();
  m_running = false;
  UnlockBuffer();
}

bool BPlayer::Reset() {
  EnterCriticalSection(&m_positionLock);
  MMRESULT result = waveOutReset(m_device);
  if (result == MMSYSERR_NOERROR) m_lastPosition = 0;
  LeaveCriticalSection(&m_positionLock);
  if (result == MMSYSERR_NOERROR) return true;

  char text[1200];
  std::snprintf(text, sizeof(text), "waveOutReset error: %s", DeviceErrorText(result).c_str());
  SetErrorText(text);
  return false;
}

void BPlayer::LockBuffer() { EnterCriticalSection(&m_bufferLock); }

void BPlayer::UnlockBuffer() { LeaveCriticalSection(&m_bufferLock); }

// ---- The playback thread ----

DWORD WINAPI BPlayer::ThreadEntry(void* player) {
  static_cast<BPlayer*>(player)->RunPlayback();
  return 0;
}

void BPlayer::RunPlayback() {
  int current = 0;
  for (;;) {
    WAVEHDR& header = m_headers[current];
    if (header.dwFlags & WHDR_DONE) {
      MMRESULT result = waveOutUnprepareHeader(m_device, &header, sizeof(WAVEHDR));
      if (result != MMSYSERR_NOERROR) {
        ReportDeviceError("waveOutUnprepareHeader error: %s", result);
        return;
      }
      header.dwFlags = 0;
    }
    if (m_running && header.dwFlags == 0) {
      MMRESULT queueResult = MMSYSERR_NOERROR;
      switch (FillAndQueueBuffer(header, queueResult)) {
        case FillOutcome::kQueued:
          current = (current + 1) % kBufferCount;
          ReportPosition();
          break;
        case FillOutcome::kQueueFailed:
          // A failed write reports the same text as a failed prepare.
          ReportDeviceError("waveOutPrepareHeader error: %s", queueResult);
          return;
        case FillOutcome::kFinished:
          OnFinished();
          break;
        case FillOutcome::kNone:
          break;
      }
    }
    if (WaitForSingleObject(m_stopEvent, 1) == WAIT_OBJECT_0) return;
  }
}

// Asks the owner for sound and hands it to the device, both inside the buffer
// lock: once Pause has returned, no buffer is on its way to the device, so a
// Reset after it silences the whole run. When there is no sound and every
// buffer has played, running is cleared in the same lock, so a Pause and Play
// in between cannot be lost.
BPlayer::FillOutcome BPlayer::FillAndQueueBuffer(WAVEHDR& header, MMRESULT& queueResult) {
  if (!EnterBufferLockUnlessStopping()) return FillOutcome::kNone;
  FillOutcome outcome = FillOutcome::kNone;
  if (m_running) {
    uint32_t count = 0;
    bool filled = OnFillBuffer(reinterpret_cast<uint8_t*>(header.lpData), m_bufferSize, count);
    if (filled && count > 0) {
      header.dwBufferLength = count < m_bufferSize ? count : m_bufferSize;
      queueResult = QueueBuffer(header);
      outcome = queueResult == MMSYSERR_NOERROR ? FillOutcome::kQueued : FillOutcome::kQueueFailed;
    } else if (AllBuffersPlayed()) {
      m_running = false;
      outcome = FillOutcome::kFinished;
    }
  }
  UnlockBuffer();
  return outcome;
}

// The owner may hold the buffer lock while it calls Close; waiting in small
// steps on the stop event keeps the thread from blocking that Close.
bool BPlayer::EnterBufferLockUnlessStopping() {
  while (!TryEnterCriticalSection(&m_bufferLock)) {
    if (WaitForSingleObject(m_stopEvent, 1) == WAIT_OBJECT_0) return false;
  }
  return true;
}

MMRESULT BPlayer::QueueBuffer(WAVEHDR& header) {
  MMRESULT result = waveOutPrepareHeader(m_device, &header, sizeof(WAVEHDR));
  if (result == MMSYSERR_NOERROR) result = waveOutWrite(m_device, &header, sizeof(WAVEHDR));
  return result;
}

// A buffer has played when it is idle or the device has marked it done.
// The device sets the flags from its own thread, hence the volatile reads.
bool BPlayer::AllBuffersPlayed() const {
  for (int i = 0; i < kBufferCount; ++i) {
    DWORD flags = *static_cast<volatile const DWORD*>(&m_headers[i].dwFlags);
    if (flags != 0 && !(flags & WHDR_DONE)) return false;
  }
  return true;
}

void BPlayer::ReportPosition() {
  MMTIME time = {};
  time.wType = TIME_SAMPLES;
  bool known = false;
  uint32_t played = 0;
  EnterCriticalSection(&m_positionLock);
  if (waveOutGetPosition(m_device, &time, sizeof(time)) == MMSYSERR_NOERROR) {
    // A device without a sample count gives bytes; one byte is one sample here.
    uint32_t samples = 0;
    if (time.wType == TIME_SAMPLES) {
      samples = time.u.sample;
      known = true;
    } else if (time.wType == TIME_BYTES) {
      samples = time.u.cb / DeviceFormat().nBlockAlign;
      known = true;
    }
    if (known) {
      played = samples - m_lastPosition;
      m_lastPosition = samples;
    }
  }
  LeaveCriticalSection(&m_positionLock);
  if (known) OnPosition(played);
}

void BPlayer::ReportDeviceError(const char* format, MMRESULT result) {
  char text[1200];
  std::snprintf(text, sizeof(text), format, DeviceErrorText(result).c_str());
  SetErrorText(text);
  OnError(text);
}
