// The player panel's rules, with a fake engine and a fake view. The test plays
// the engine's thread as BPlayer does (fill, report what was played, finish
// when nothing is left) and hands every posted message back as the window
// does, so whole playbacks run without a sound device or a window.
#include "audio/player_panel.h"
#include "model/command_rules.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "audio/gain_preview.h"

namespace {

class FakeEngine : public BPlayerEngine {
 public:
  bool open = false;
  bool running = false;
  int lockDepth = 0;
  bool Open() override { return open = true; }
  bool IsOpen() const override { return open; }
  void Play() override { running = true; }
  void Pause() override { running = false; }
  void Reset() override {}
  void LockBuffer() override { ++lockDepth; }
  void UnlockBuffer() override { --lockDepth; }
  std::string GetErrorText() const override { return std::string(); }
};

struct Posted {
  BPlayerMessage message;
  uint32_t value;
  uint32_t run;
};

class FakeView : public BPlayerView {
 public:
  std::deque<Posted> posted;
  uint32_t thumb = 0;
  uint32_t rangeStart = 0, rangeEnd = 0;
  std::string time;
  bool stopped = true;
  std::vector<int> rows;           // the playlist rows shown as heard
  std::vector<bool> soundChanges;  // whether each change kept the same sound

  void PostPlayerMessage(BPlayerMessage message, uint32_t value, uint32_t run) override {
    posted.push_back({message, value, run});
  }
  uint32_t ThumbPosition() override { return thumb; }
  void ShowThumb(uint32_t position) override { thumb = position; }
  void ShowSoundLength(uint32_t) override {}
  void ShowRange(uint32_t start, uint32_t end) override {
    rangeStart = start;
    rangeEnd = end;
  }
  void ShowTimeText(const std::string& text) override { time = text; }
  void SetPlayButtonState(bool isStopped) override { stopped = isStopped; }
  void PlayerStateChanged() override {}
  void ShowMemoryMarker(int64_t) override {}
  void RepaintMemoryView() override {}
  void ShowPlaylistRow(int row) override { rows.push_back(row); }
  void SoundChanged(bool sameSound) override { soundChanges.push_back(sameSound); }
  void ShowPlayerStatus(const BText&) override {}
  void ShowPlayerError(const BText&) override {}
};

class PlayerPanelTest : public ::testing::Test {
 protected:
  // Fragment 0: 500 bytes (k & 0x7F) at 1000; fragment 1: 9765 bytes at 5000;
  // the playlist plays 0, then 1.
  PlayerPanelTest() {
    std::vector<uint8_t> first(500), second(9765, 0x10);
    for (size_t k = 0; k < first.size(); ++k) first[k] = static_cast<uint8_t>(k & 0x7F);
    profile.PlaceFragment("first", {1000, 500}, first.data(), 500);
    profile.PlaceFragment("second", {5000, 9765}, second.data(), 9765);
    profile.AppendPlaylistEntry(0);
    profile.AppendPlaylistEntry(1);
    panel.OpenDevice();
  }

  // One pass of the engine's thread, and the window's handling of what it posted.
  void Pass() {
    if (engine.running) {
      uint8_t buffer[195];
      uint32_t count = 0;
      engine.LockBuffer();
      bool filled = panel.OnPlayerFill(buffer, sizeof buffer, count);
      engine.UnlockBuffer();
      if (filled) {
        panel.OnPlayerPosition(count);  // the device plays at once
      } else {
        engine.running = false;
        panel.OnPlayerFinished();
      }
    }
    Deliver();
  }
  void Deliver() {
    for (; !view.posted.empty(); view.posted.pop_front())
      panel.HandleMessage(view.posted.front().message, view.posted.front().value,
                          view.posted.front().run);
  }
  bool PlayUntilStopped(int passes = 1000) {
    for (int i = 0; i < passes && panel.IsPlaying(); ++i) Pass();
    return !panel.IsPlaying();
  }
  void Mark(uint32_t start, uint32_t end) {
    view.thumb = start;
    panel.MarkRangeStart();
    view.thumb = end;
    panel.MarkRangeEnd();
  }

  BProfile profile;
  FakeEngine engine;
  FakeView view;
  BPlayerPanel panel{profile, engine, view};

  // The loop button as the window decides it from the panel's state.
  bool LoopOffered() const {
    BProgramState state;
    state.playerEnabled = panel.IsEnabled();
    state.playing = panel.IsPlaying();
    return DecideCommands(state).loopButton;
  }
};

TEST_F(PlayerPanelTest, PlayRunsToTheEndLoopComesRoundAndPauseKeepsThePlace) {
  panel.LoadFragment(0, false);
  EXPECT_EQ("00.000/00.051", view.time);
  panel.PlayPause();
  EXPECT_FALSE(view.stopped);
  EXPECT_FALSE(LoopOffered());
  ASSERT_TRUE(PlayUntilStopped());
  EXPECT_EQ(0u, view.thumb) << "back at the start";
  EXPECT_TRUE(view.stopped);
  EXPECT_TRUE(LoopOffered());

  panel.LoopPlay();
  uint32_t highest = 0;
  bool cameRound = false;
  for (int i = 0; i < 12; ++i) {
    uint32_t before = view.thumb;
    Pass();
    highest = std::max(highest, view.thumb);
    cameRound = cameRound || view.thumb < before;
  }
  EXPECT_EQ(500u, highest) << "it reached the end";
  EXPECT_TRUE(cameRound);
  EXPECT_TRUE(panel.IsPlaying());
  panel.PlayPause();  // pause
  uint32_t paused = view.thumb;
  Pass();
  EXPECT_EQ(paused, view.thumb);
  panel.PlayPause();  // play again: once, without looping
  EXPECT_TRUE(PlayUntilStopped());
}

// Messages of an earlier run neither end the present one nor move its thumb,
// and the thumb never passes the end of the sound.
TEST_F(PlayerPanelTest, MessagesOfAnEarlierRunAreDropped) {
  panel.LoadFragment(1, false);
  panel.PlayPause();
  uint32_t earlier = panel.CurrentRun();
  panel.Stop();
  panel.PlayPause();
  ASSERT_NE(earlier, panel.CurrentRun());
  panel.HandleMessage(BPlayerMessage::Position, 5000, earlier);
  panel.HandleMessage(BPlayerMessage::Finished, 0, earlier);
  EXPECT_TRUE(panel.IsPlaying()) << "a late finished ended the new run";
  EXPECT_EQ(0u, view.thumb) << "a late position moved it";
  panel.HandleMessage(BPlayerMessage::Position, 10000000, panel.CurrentRun());
  EXPECT_EQ(9765u, view.thumb);
  EXPECT_EQ("01.000/01.000", view.time) << "the time stops at the end";
}

// Play starts at the range when the thumb is outside it, stops at its end
// back at its start, and loop play stays inside it.
TEST_F(PlayerPanelTest, LeavingTheMarkedRangeStopsOrLoops) {
  panel.LoadFragment(1, false);
  Mark(1000, 2000);
  view.thumb = 5000;
  panel.PlayPause();
  EXPECT_EQ(1000u, view.thumb);
  ASSERT_TRUE(PlayUntilStopped());
  EXPECT_EQ(1000u, view.thumb);
  EXPECT_TRUE(view.stopped);

  panel.LoopPlay();
  for (int i = 0; i < 40; ++i) {
    Pass();
    ASSERT_GE(view.thumb, 1000u);
    ASSERT_LT(view.thumb, 2000u);
  }
  EXPECT_TRUE(panel.IsPlaying());
  panel.Stop();
  EXPECT_EQ(1000u, view.thumb) << "stop goes to the range's start";
}

// A drag of the thumb moves playback along; an arrow key only moves the
// displays, and the next report counts from where the thumb is.
TEST_F(PlayerPanelTest, SeekingWhilePlaying) {
  panel.LoadFragment(1, false);
  panel.PlayPause();
  Pass();
  uint32_t run = panel.CurrentRun();
  view.thumb = 3000;
  panel.OnThumbMoved(false);
  EXPECT_EQ("00.307/01.000", view.time);
  EXPECT_EQ(run, panel.CurrentRun());
  EXPECT_EQ(195u, panel.Buffer().Position()) << "the sound goes on from its own place";
  view.thumb = 7000;
  panel.OnThumbMoved(true);
  EXPECT_EQ(7000u, panel.Buffer().Position());
  Pass();
  EXPECT_EQ(7195u, view.thumb);
  EXPECT_TRUE(panel.IsPlaying());

  panel.Enable(false);
  panel.Seek(100);
  EXPECT_EQ(0u, view.thumb) << "an empty panel does not seek";
}

TEST_F(PlayerPanelTest, ThePlaylistRowBeingHeardIsShown) {
  panel.PlayPlaylist();
  EXPECT_TRUE(panel.IsPlaying());
  EXPECT_EQ("00.000/01.051", view.time);
  EXPECT_FALSE(panel.CanMarkRange());
  Mark(10, 20);
  EXPECT_EQ(view.rangeStart, view.rangeEnd) << "no range in the playlist";
  ASSERT_FALSE(view.rows.empty());
  EXPECT_EQ(0, view.rows.front());
  while (view.thumb < 500 && panel.IsPlaying()) Pass();
  EXPECT_EQ(1, view.rows.back()) << "the second fragment is heard";
}

// The gain dialog's preview writes the range inside the engine's lock, the
// waveform follows the same sound, and Cancel gives the sound back.
TEST_F(PlayerPanelTest, TheGainPreviewIsHeardAndCancelRestoresTheSound) {
  panel.LoadFragment(0, false);
  const std::vector<uint8_t> original = panel.Buffer().Samples();
  BGainPreview preview(panel, panel.PreviewSamples(), 10, 10);
  preview.Write(100);
  EXPECT_EQ(0x80 + 30, panel.Buffer().Samples()[15]) << "doubled inside the range";
  EXPECT_EQ(original[20], panel.Buffer().Samples()[20]) << "untouched outside";
  EXPECT_EQ(0, engine.lockDepth);
  EXPECT_TRUE(view.soundChanges.back()) << "the same sound: the waveform keeps its view";
  preview.TogglePlayback();
  EXPECT_TRUE(panel.IsPlaying());
  preview.Restore();
  preview.End();
  EXPECT_EQ(original, panel.Buffer().Samples());
  EXPECT_FALSE(panel.IsPlaying());
}

// Random commands, thumb moves and engine passes, in the order the window may
// give them: the engine's lock is always left, no sound plays while the panel
// shows it stopped, and the thumb stays on the sound.
TEST_F(PlayerPanelTest, RandomCommandsKeepThePanelConsistent) {
  std::mt19937 random(5);
  for (int step = 0; step < 5000; ++step) {
    switch (random() % 10) {
      case 0:
        panel.Enable(false);  // as a selection change does before a load
        panel.LoadFragment(static_cast<int>(random() % 2), false);
        break;
      case 1:
        panel.PlayPause();
        break;
      case 2:
        panel.LoopPlay();
        break;
      case 3:
        random() % 4 ? panel.Stop() : panel.PlayPlaylist();
        break;
      case 4:
        view.thumb = random() % (panel.Buffer().Length() + 1);
        panel.OnThumbMoved(random() % 2);
        break;
      case 5: {
        uint32_t places = panel.Buffer().Length() + 1;
        Mark(random() % places, random() % places);
        break;
      }
      default:
        Pass();
    }
    ASSERT_EQ(0, engine.lockDepth) << "step " << step;
    ASSERT_TRUE(!engine.running || panel.IsPlaying()) << "step " << step;
    ASSERT_LE(view.thumb, panel.Buffer().Length()) << "step " << step;
    if (!panel.Buffer().IsEmpty()) {
      ASSERT_EQ(!panel.IsPlaying(), view.stopped) << "step " << step;
    }
  }
}

}  // namespace
