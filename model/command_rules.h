// BCommandRules: the one place that decides which commands the program
// offers. A plain function from a snapshot of the state (the document, the
// siren link, the player, the selection) to every group of menu commands and
// buttons; the main window takes the snapshot from the objects themselves,
// never from its controls, and applies the result after every change.
#pragma once

#include "model/geometry.h"

// What the decision depends on.
struct BProgramState {
  bool connected = false;   // the siren's port is open
  bool jobRunning = false;  // a read, write or verify job holds the profile
  bool abortable = false;   // the job's memory phase runs: Abort stops it
  bool canUndo = false;
  bool canRedo = false;
  int fragments = 0;       // slots in use
  int playlistLength = 0;  // entries before the end mark
  bool freeRoom = false;   // the memory has a free block
  bool fragmentSelected = false;
  bool playerEnabled = false;  // the player holds a sound it may play
  bool playing = false;
  bool rangeOffered = false;  // the player holds one fragment, not the playlist
};

// Which groups are on.
struct BCommandSet {
  bool fileCommands = false;  // New, Open, Save, Save as
  bool undo = false;
  bool redo = false;
  bool sirenCommands = false;  // Read, Write, Write changes, Verify, play and stop on the siren
  bool abort = false;
  bool editing = false;  // the lists, their buttons, the binding combos, Defragment, levelling
  bool addFragment = false;
  bool addToPlaylist = false;
  bool portMenu = false;  // the choice of the port
  bool exportFragment = false;
  bool makeSignal = false;
  bool playerControls = false;  // the trackbar, play and pause, stop, the time
  bool loopButton = false;
  bool rangeCommands = false;  // marking, cutting and the gain of the range
  bool fleetWrite = false;     // the profile written to several sirens at once

  bool operator==(const BCommandSet& other) const;
};

BCommandSet DecideCommands(const BProgramState& state);
