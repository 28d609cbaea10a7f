// BEmulatorOptions: the command line of siren_emulator, parsed and checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/fault_plan.h"

struct BEmulatorOptions {
  std::string device;      // --device PATH; empty: a new pseudo-terminal
  std::string link;        // --link PATH: symbolic link to the line's path
  uint8_t chips = 4;       // --chips N
  std::string stateFile;   // --state FILE
  std::string otherState;  // --other-state FILE: the other siren's state, only read
  bool exitOnEof = false;  // --exit-on-eof
  uint32_t delayMs = 0;    // --delay MS
  bool pace = false;       // --pace
  std::string logFile;     // --log FILE, "-" for stderr
  uint32_t seed = 1;       // --seed N: noise generator seed
  bool help = false;       // --help
  BFaultPlan faults;

  // Parses the arguments after the program name. False with error set when
  // one is unknown, lacks its value or has a bad value.
  bool Parse(const std::vector<std::string>& arguments, std::string& error);
  static std::string Usage(const std::string& program);
};
