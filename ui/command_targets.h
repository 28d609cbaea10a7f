// The menu commands and controls each group of BCommandSet switches: the
// program's decision (DecideCommands) applied to the main window.
#pragma once

#include <windows.h>

#include "model/command_rules.h"

// Only the groups that differ from `shown` change (every group without it):
// under Wine each change is a round trip to the server.
void ApplyCommands(HWND window, const BCommandSet& commands, const BCommandSet* shown = nullptr);
