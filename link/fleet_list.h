// The sirens of a write to several, as the setting "Fleet" keeps them: port
// names and network addresses separated by ";" ("COM1;COM2;tcp://10.0.0.5:4001").
#pragma once

#include <string>
#include <vector>

// The entries, trimmed, without empty ones and without a second spelling of
// one already listed (port names compare without regard to case).
std::vector<std::string> ParseFleetList(const std::string& text);
std::string JoinFleetList(const std::vector<std::string>& entries);
// True when the two entries name the same port or address.
bool SameFleetEntry(const std::string& a, const std::string& b);
