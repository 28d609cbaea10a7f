#include "model/command_rules.h"

bool BCommandSet::operator==(const BCommandSet& other) const {
  return fileCommands == other.fileCommands && undo == other.undo && redo == other.redo &&
         sirenCommands == other.sirenCommands && abort == other.abort && editing == other.editing &&
         addFragment == other.addFragment && addToPlaylist == other.addToPlaylist &&
         portMenu == other.portMenu && exportFragment == other.exportFragment &&
         makeSignal == other.makeSignal && playerControls == other.playerControls &&
         loopButton == other.loopButton && rangeCommands == other.rangeCommands &&
         fleetWrite == other.fleetWrite;
}

// While a job holds the profile nothing may change it, and only Abort (in
// its memory phase) and Connect are offered; the port is chosen while closed.
// The player plays what it holds whatever the link does; the range is only
// offered while the fragment it belongs to may change.
BCommandSet DecideCommands(const BProgramState& state) {
  BCommandSet commands;
  const bool free = !state.jobRunning;
  commands.fileCommands = free;
  commands.undo = free && state.canUndo;
  commands.redo = free && state.canRedo;
  commands.sirenCommands = free && state.connected;
  commands.abort = state.jobRunning && state.abortable;
  commands.editing = free;
  commands.addFragment = free && state.fragments < kMaxFragments;
  commands.addToPlaylist = free && state.playlistLength < kMaxPlaylistEntries;
  commands.portMenu = !state.connected;
  commands.exportFragment = free && state.fragmentSelected;
  commands.makeSignal = commands.addFragment && state.freeRoom;
  commands.playerControls = state.playerEnabled;
  commands.loopButton = state.playerEnabled && !state.playing;
  commands.rangeCommands = free && state.rangeOffered;
  // Its own links: the interactive connection does not matter.
  commands.fleetWrite = free && state.fragments > 0;
  return commands;
}
