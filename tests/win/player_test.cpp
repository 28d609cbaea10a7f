// Tests of the playback engine against the real wave-out device (under Wine
// an ALSA null device, which takes sound faster than real time).
#include "audio/player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPatience = 10000;  // ms: a generous limit for anything to happen
constexpr uint32_t kBufferBytes = 195;

// Waits until the condition holds, polling; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kPatience) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(2);
  }
  return true;
}

// Runs the step on another thread; a step that does not end in time is a
// deadlock, and the test program stops there rather than hang.
void RunWithinPatience(const char* what, const std::function<void()>& step) {
  std::atomic<bool> done{false};
  std::thread runner([&] {
    step();
    done = true;
  });
  if (!WaitFor([&] { return done.load(); })) {
    ADD_FAILURE() << what << " did not end: deadlock";
    std::fprintf(stderr, "%s did not end: deadlock\n", what);
    std::fflush(stderr);
    ExitProcess(3);
  }
  runner.join();
}

// A sound whose pages become inaccessible when it is released, so that a
// fill reading it afterwards faults instead of reading stale bytes.
class GuardedSound {
 public:
  explicit GuardedSound(uint32_t size, uint8_t seed) : m_size(size) {
    m_bytes = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, size ? size : 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    for (uint32_t i = 0; i < size; ++i) m_bytes[i] = static_cast<uint8_t>(seed + i);
  }
  ~GuardedSound() { VirtualFree(m_bytes, 0, MEM_RELEASE); }
  const uint8_t* Bytes() const { return m_bytes; }
  uint32_t Size() const { return m_size; }

 private:
  uint8_t* m_bytes;
  uint32_t m_size;
};

// An owner that plays one sound and records what the engine asked and reported.
class TestPlayer : public BPlayer {
 public:
  ~TestPlayer() override { Close(); }

  // The sound and read position: changed by the test only inside the
  // buffer lock or while paused, read by the fill inside the lock.
  void SetSound(uint32_t size, uint8_t seed = 1) {
    BufferLock lock(*this);
    EXPECT_FALSE(inFill) << "the sound is replaced during a fill";
    m_sound.reset(size ? new GuardedSound(size, seed) : nullptr);
    m_readPosition = 0;
  }
  void ReleaseSoundWhilePaused() {
    EXPECT_FALSE(inFill) << "a fill runs after Pause returned";
    m_sound.reset();
    m_readPosition = 0;
  }
  void ResetCounters() {
    fills = 0;
    bytesFilled = 0;
    finished = 0;
    positionReports = 0;
    samplesReported = 0;
    bytesSinceReset = 0;
  }
  // The owner's own playing state, kept with the sound under the buffer
  // lock, so that a callback that resumes play cannot undo a stop the owner
  // made in the meantime.
  void Start() {
    BufferLock lock(*this);
    m_wantPlaying = true;
    Play();
  }
  void Stop() {
    BufferLock lock(*this);
    m_wantPlaying = false;
    Pause();
  }
  void PlayAgainIfWanted() {
    BufferLock lock(*this);
    if (m_wantPlaying) Play();
  }
  // Reset, with the bookkeeping of what was written since.
  bool ResetAndRestartCount() {
    bool ok = Reset();
    bytesSinceReset = 0;
    samplesReported = 0;
    return ok;
  }

  std::atomic<bool> inFill{false};
  std::atomic<int> fills{0};
  std::atomic<uint32_t> bytesFilled{0};
  std::atomic<uint32_t> bytesSinceReset{0};
  std::atomic<int> finished{0};
  std::atomic<int> positionReports{0};
  std::atomic<uint32_t> samplesReported{0};
  std::atomic<uint32_t> largestReport{0};
  std::atomic<int> errors{0};
  std::atomic<bool> fillOutsideRun{false};      // a fill while running was clear
  std::atomic<bool> reportAheadOfSound{false};  // more reported than written
  std::atomic<bool> finishedEarly{false};       // the device had not played everything
  std::atomic<bool> finishedWhileRunning{false};
  std::string errorText;
  std::vector<uint8_t> heard;  // every byte the engine took, in order (fill thread only)
  bool recordHeard = false;
  DWORD fillDelayMs = 0;                // a slow fill widens the windows of a race
  std::function<void()> afterPosition;  // extra work in the callback
  std::function<void()> afterFinished;
  HWND notify = nullptr;  // a window the callbacks post to, as the owner does

 protected:
  bool OnFillBuffer(uint8_t* buffer, uint32_t size, uint32_t& count) override {
    inFill = true;
    if (!IsRunning()) fillOutsideRun = true;
    ++fills;
    count = 0;
    if (m_sound && m_readPosition < m_sound->Size()) {
      count = std::min(size, m_sound->Size() - m_readPosition);
      std::memcpy(buffer, m_sound->Bytes() + m_readPosition, count);
      if (recordHeard) heard.insert(heard.end(), buffer, buffer + count);
      m_readPosition += count;
    }
    if (fillDelayMs) Sleep(fillDelayMs);
    bytesFilled += count;
    bytesSinceReset += count;
    inFill = false;
    return count > 0;
  }
  void OnFinished() override {
    if (IsRunning()) finishedWhileRunning = true;
    // Every written byte has played: the device's count has reached them all.
    ++finished;
    if (afterFinished) afterFinished();
    if (notify) PostMessageW(notify, WM_APP, 1, 0);
  }
  void OnPosition(uint32_t samples) override {
    ++positionReports;
    samplesReported += samples;
    if (samples > largestReport) largestReport = samples;
    if (samplesReported > bytesSinceReset) reportAheadOfSound = true;
    if (afterPosition) afterPosition();
    if (notify) PostMessageW(notify, WM_APP, 2, samples);
  }
  void OnError(const std::string& text) override {
    ++errors;
    errorText = text;
  }

 private:
  std::unique_ptr<GuardedSound> m_sound;
  uint32_t m_readPosition = 0;
  bool m_wantPlaying = false;
};

// Ten buffers' worth of 20 ms at 9765 samples per second.
TEST(Player, OpensPausedAndAsksForNothingBeforePlay) {
  TestPlayer player;
  player.SetSound(5000);
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  EXPECT_TRUE(player.IsOpen());
  EXPECT_FALSE(player.IsRunning());
  Sleep(300);
  EXPECT_EQ(player.fills, 0);
  EXPECT_EQ(player.positionReports, 0);
  EXPECT_EQ(player.finished, 0);

  // Opening again starts afresh, still paused.
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  Sleep(100);
  EXPECT_EQ(player.fills, 0);
  player.Close();
  EXPECT_FALSE(player.IsOpen());
}

TEST(Player, DeviceFormatIsTheSirenRateAsUnsignedBytes) {
  const WAVEFORMATEX& format = BPlayer::DeviceFormat();
  EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(format.nChannels, 1);
  EXPECT_EQ(format.nSamplesPerSec, 9765u);
  EXPECT_EQ(format.wBitsPerSample, 8);
  EXPECT_EQ(format.nBlockAlign, 1);
  EXPECT_EQ(format.nAvgBytesPerSec, 9765u);
  EXPECT_EQ(format.cbSize, 0);
}

TEST(Player, PlaysTheWholeSoundInOrderAndFinishesOnceAfterTheLastBuffer) {
  TestPlayer player;
  const uint32_t size = 9765 / 2 + 17;  // half a second and a partial buffer
  player.SetSound(size, 7);
  player.recordHeard = true;
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished > 0; })) << "no end of playback";
  Sleep(200);
  EXPECT_EQ(player.finished, 1);
  EXPECT_FALSE(player.IsRunning());
  EXPECT_FALSE(player.finishedWhileRunning);
  EXPECT_FALSE(player.fillOutsideRun);
  EXPECT_EQ(player.errors, 0) << player.errorText;
  EXPECT_EQ(player.bytesFilled, size);
  // Every buffer but the last was full: 195 bytes a request.
  EXPECT_EQ(player.positionReports, static_cast<int>((size + kBufferBytes - 1) / kBufferBytes));
  ASSERT_EQ(player.heard.size(), size);
  for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(player.heard[i], static_cast<uint8_t>(7 + i)) << i;
  EXPECT_LE(player.samplesReported, size);
  EXPECT_FALSE(player.reportAheadOfSound);

  // After the end nothing is asked until the next Play, which finishes again.
  int fillsAtEnd = player.fills;
  Sleep(100);
  EXPECT_EQ(player.fills, fillsAtEnd);
  player.SetSound(1000);
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished == 2; }));
  EXPECT_EQ(player.bytesFilled, size + 1000);
}

// The end comes only when the device has played every queued byte: the
// position the device reports after the end covers the whole sound.
TEST(Player, FinishesOnlyWhenTheDeviceHasPlayedEverything) {
  TestPlayer player;
  const uint32_t size = 9765;
  player.SetSound(size);
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  // A position report right after the end (from the callback, which the
  // engine gives only after a write) is forced by a one-byte sound.
  player.afterFinished = [&] {
    if (player.finished == 1) {
      player.SetSound(1);
      player.Play();
    }
  };
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished == 2; }));
  // The first report after the end includes everything of the first sound
  // that had not been reported: in total the device has played it all.
  EXPECT_GE(player.samplesReported, size);
  EXPECT_LE(player.samplesReported, size + 1);
}

TEST(Player, PauseStopsRequestsAndReportsAndPlayResumes) {
  TestPlayer player;
  const uint32_t size = 9765 * 3;
  player.SetSound(size);
  player.recordHeard = true;
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.positionReports >= 5; }));
  player.Pause();
  int fillsAtPause = player.fills;
  Sleep(300);  // a report of a write made just before the Pause may follow
  int reportsAfterPause = player.positionReports;
  Sleep(300);
  EXPECT_EQ(player.fills, fillsAtPause) << "a request after Pause";
  EXPECT_EQ(player.positionReports, reportsAfterPause) << "a report while paused";
  EXPECT_EQ(player.finished, 0);

  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished == 1; }));
  EXPECT_EQ(player.bytesFilled, size);
  ASSERT_EQ(player.heard.size(), size);
  for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(player.heard[i], static_cast<uint8_t>(1 + i)) << i;
  EXPECT_FALSE(player.reportAheadOfSound);
}

// After a Pause the owner may free its sound without the lock: no fill is
// in progress and none starts before Play. Slow fills catch a Pause that does
// not wait for the fill; a Pause made while the owner holds the lock catches
// a thread that tested running before it waited for the lock.
TEST(Player, SoundCanBeReleasedRightAfterPause) {
  TestPlayer player;
  player.fillDelayMs = 3;
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  for (int round = 0; round < 60; ++round) {
    player.SetSound(9765, static_cast<uint8_t>(round));
    player.Play();
    Sleep(5 + round % 3);
    if (round % 2) {
      BPlayer::BufferLock lock(player);
      Sleep(3);  // the thread has seen running and waits for the lock
      player.Pause();
    } else {
      player.Pause();
    }
    player.ReleaseSoundWhilePaused();
    Sleep(4);
  }
  EXPECT_GT(player.fills, 60);
  EXPECT_FALSE(player.fillOutsideRun);
  EXPECT_EQ(player.errors, 0) << player.errorText;
}

// The first report after a Reset counts from the Reset, never a difference
// taken across it (which would wrap to billions).
TEST(Player, ReportsAfterResetCountFromTheReset) {
  TestPlayer player;
  player.SetSound(9765 * 2);
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.samplesReported >= 3000; }));
  player.Pause();
  Sleep(300);  // the report of the last write is in
  ASSERT_TRUE(player.ResetAndRestartCount()) << player.GetErrorText();
  player.SetSound(2000);
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished == 1; }));
  EXPECT_FALSE(player.reportAheadOfSound);
  EXPECT_LE(player.largestReport, 9765u * 2);
  EXPECT_LE(player.samplesReported, 2000u);
  EXPECT_GT(player.samplesReported, 0u);

  // The same after the end of a play, as the owner resets there.
  ASSERT_TRUE(player.ResetAndRestartCount());
  player.SetSound(500);
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.finished == 2; }));
  EXPECT_FALSE(player.reportAheadOfSound);
  EXPECT_LE(player.samplesReported, 500u);
}

TEST(Player, ResetOfAClosedDeviceFailsWithTheDeviceText) {
  TestPlayer player;
  EXPECT_FALSE(player.Reset());
  std::string text = player.GetErrorText();
  EXPECT_EQ(text.rfind("waveOutReset error: ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("waveOutReset error: ").size()) << "no device text";
}

// Without a sound device Open fails with its own text and the player stays
// closed. CTest runs this case in a run of its own, with an ALSA
// configuration whose default device does not exist.
TEST(Player, OpenWithoutADeviceFails) {
  if (GetEnvironmentVariableA("SIRELTA_PLAYER_WITHOUT_DEVICE", nullptr, 0) == 0)
    GTEST_SKIP() << "runs only with the sound device hidden";
  TestPlayer player;
  EXPECT_FALSE(player.Open());
  EXPECT_EQ(player.GetErrorText(), "No wave out device found.");
  EXPECT_FALSE(player.IsOpen());
  player.Play();
  Sleep(50);
  player.Close();
  EXPECT_EQ(player.fills, 0);
  EXPECT_FALSE(player.Reset());
}

TEST(Player, UserMessagesCarryTheErrorText) {
  std::string open = BPlayer::OpenFailureMessage("No wave out device found.");
  std::string access = BPlayer::AccessFailureMessage("waveOutPrepareHeader error: x");
  EXPECT_NE(open.find("No wave out device found."), std::string::npos) << open;
  EXPECT_NE(access.find("waveOutPrepareHeader error: x"), std::string::npos) << access;
  EXPECT_NE(open, access);
  EXPECT_EQ(open.find("%s"), std::string::npos);
}

// Close while sound plays and the callbacks are busy: posting to a window
// nobody pumps, pausing and resuming from the position callback.
TEST(Player, CloseWhilePlayingEndsTheThreadPromptly) {
  HWND window =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  TestPlayer player;
  player.notify = window;
  player.SetSound(9765 * 20);
  player.afterPosition = [&] {
    player.Pause();
    player.Play();
  };
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  for (int round = 0; round < 20; ++round) {
    player.Play();
    ASSERT_TRUE(WaitFor([&] { return player.positionReports > round * 3; }));
    RunWithinPatience("Close while playing", [&] { player.Close(); });
    EXPECT_FALSE(player.IsOpen());
    int fillsAfterClose = player.fills;
    Sleep(20);
    EXPECT_EQ(player.fills, fillsAfterClose) << "a request after Close";
    ASSERT_TRUE(player.Open()) << player.GetErrorText();
  }
  player.Close();
  // The posted reports arrived.
  MSG message;
  int posted = 0;
  while (PeekMessageW(&message, window, WM_APP, WM_APP, PM_REMOVE)) ++posted;
  EXPECT_GT(posted, 0);
  EXPECT_EQ(player.errors, 0) << player.errorText;
  DestroyWindow(window);
}

// The owner may still hold the buffer lock when it closes the player.
TEST(Player, CloseWhileTheOwnerHoldsTheBufferLock) {
  TestPlayer player;
  player.SetSound(9765 * 10);
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.positionReports > 2; }));
  RunWithinPatience("Close under the buffer lock", [&] {
    BPlayer::BufferLock lock(player);
    Sleep(30);  // the thread is now waiting for the lock
    player.Close();
  });
  EXPECT_FALSE(player.IsOpen());
}

// Close called by a callback cannot wait for its own thread: it only stops
// the thread, and the owner's next Close finishes the job.
TEST(Player, CloseFromACallbackStopsTheThread) {
  TestPlayer player;
  player.SetSound(9765 * 10);
  player.afterPosition = [&] { player.Close(); };
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  player.Play();
  ASSERT_TRUE(WaitFor([&] { return player.positionReports > 0; }));
  Sleep(100);
  EXPECT_EQ(player.positionReports, 1);
  EXPECT_FALSE(player.IsRunning());
  RunWithinPatience("Close after a callback's Close", [&] { player.Close(); });
  EXPECT_FALSE(player.IsOpen());
}

// Thousands of rapid steps of an owner that behaves like the main window:
// play, pause, reset, replace the sound, close and reopen, while the
// callbacks loop, stop at a range end and reset at the end.
TEST(Player, StressOfRapidStepsKeepsTheContract) {
  TestPlayer player;
  player.SetSound(3000);
  std::atomic<bool> looping{false};
  player.afterFinished = [&] {
    if (looping) {
      player.PlayAgainIfWanted();
    } else {
      player.Reset();
    }
  };
  player.afterPosition = [&] {
    if (player.positionReports % 7 == 0) {
      player.Pause();
      if (looping) player.PlayAgainIfWanted();
    }
  };
  ASSERT_TRUE(player.Open()) << player.GetErrorText();
  std::mt19937 random(12345);
  int reopenings = 0;
  RunWithinPatience("the stress steps", [&] {
    for (int step = 0; step < 4000; ++step) {
      switch (random() % 8) {
        case 0:
        case 1:
          player.Start();
          break;
        case 2:
          player.Stop();
          break;
        case 3:
          player.Stop();
          player.Reset();
          break;
        case 4:
          player.SetSound(random() % 4000, static_cast<uint8_t>(step));
          break;
        case 5:
          player.Stop();
          player.ReleaseSoundWhilePaused();
          break;
        case 6:
          looping = !looping;
          break;
        case 7:
          if (random() % 10 == 0) {
            player.Close();
            ASSERT_TRUE(player.Open()) << player.GetErrorText();
            ++reopenings;
          }
          break;
      }
      if (random() % 4 == 0) Sleep(1);
    }
    player.Close();
  });
  EXPECT_GT(reopenings, 10);
  EXPECT_GT(player.fills, 100);
  EXPECT_GT(player.finished, 0);
  EXPECT_FALSE(player.fillOutsideRun);
  EXPECT_EQ(player.errors, 0) << player.errorText;
  // No difference taken across a Reset: a report never exceeds a few
  // seconds of sound.
  EXPECT_LT(player.largestReport, 9765u * 5);
}

}  // namespace
