// What the program offers, over every state it can be in: while a job holds
// the profile only Abort (in its memory phase) is on, and nothing that could
// change the profile; the siren's commands need an open port, the choice of
// the port a closed one; Undo, Redo and the add buttons need something to do.
#include "model/command_rules.h"

#include <gtest/gtest.h>

TEST(CommandRules, EveryStateOffersOnlyWhatItAllows) {
  for (int bits = 0; bits < 32; ++bits) {
    for (int fragments : {0, kMaxFragments - 1, kMaxFragments}) {
      BProgramState state;
      state.connected = bits & 1;
      state.jobRunning = bits & 2;
      state.abortable = bits & 4;
      state.canUndo = bits & 8;
      state.canRedo = bits & 16;
      state.fragments = fragments;
      state.playlistLength = kMaxPlaylistEntries - fragments / 8;
      SCOPED_TRACE(testing::Message() << "state " << bits << ", fragments " << fragments);
      const BCommandSet c = DecideCommands(state);
      const bool changesProfile =
          c.fileCommands || c.undo || c.redo || c.editing || c.addFragment || c.addToPlaylist;
      EXPECT_EQ(!state.jobRunning, c.fileCommands && c.editing);
      EXPECT_FALSE(state.jobRunning && (changesProfile || c.sirenCommands));
      EXPECT_EQ(state.jobRunning && state.abortable, c.abort);
      EXPECT_EQ(!state.connected, c.portMenu);
      EXPECT_EQ(state.connected && !state.jobRunning, c.sirenCommands);
      EXPECT_EQ(!state.jobRunning && state.canUndo, c.undo);
      EXPECT_EQ(!state.jobRunning && state.canRedo, c.redo);
      EXPECT_EQ(!state.jobRunning && fragments < kMaxFragments, c.addFragment);
      EXPECT_EQ(!state.jobRunning && state.playlistLength < kMaxPlaylistEntries, c.addToPlaylist);
    }
  }
}
