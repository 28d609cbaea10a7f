// What went wrong in the last BProfile::Load or BProfile::Save, and the texts
// the owner supplies for the failures that are not system errors.
#pragma once

#include <string>

enum class BProfileError {
  None,
  System,         // a system call failed; the code is kept
  NotProfile,     // the file does not start with the profile magic
  OtherVersion,   // a profile of another version of the program
  UnexpectedEnd,  // the file ended before the profile was complete
};

// The owner (the main window) fills these from its string table once at start.
struct BProfileMessages {
  std::string notProfile;
  std::string otherVersion;
  std::string unexpectedEnd;
};
