// The journal of writes to many sirens: one CSV line (UTF-8, CRLF) per siren
// that finished, in a file beside the profile (p.zpf: p.csv), so that the
// user can show which siren holds which version of the content. Columns:
// time, port or address, chips, bytes written, bytes checked, verdict, first
// differing address, the profile's name, the checksum of its content.
#pragma once

#include <cstdint>
#include <string>

#include "model/profile.h"

// How a siren's write ended, as the journal names it.
enum class BFleetVerdict {
  Checked,     // written, and the full check found the siren equal to the profile
  Differs,     // written, and the check found a difference (firstDifference)
  NoSiren,     // the port opened, but no siren answered
  PortFailed,  // the port could not be opened or failed during the write
  Aborted,     // stopped by the user
  Failed,      // the write itself did not finish (its message says why)
};

struct BFleetRecord {
  std::string time;  // local time, "2026-12-08 17:05:03"
  std::string port;  // "COM3", "tcp://10.0.0.5:4001"
  int chips = 0;     // 0: not known
  uint32_t bytesWritten = 0;
  uint32_t bytesChecked = 0;
  BFleetVerdict verdict = BFleetVerdict::Failed;
  int64_t firstDifference = -1;  // the siren's memory address; -1: none
  std::string profileName;       // UTF-8
  uint32_t checksum = 0;
};

// The language-neutral word of a verdict in the journal ("checked",
// "differs", "no-siren", "port-failed", "aborted", "failed").
const char* VerdictKeyword(BFleetVerdict verdict);
// The journal beside `profilePath`: its extension replaced by ".csv" (added
// when it has none).
std::string JournalPath(const std::string& profilePath);
// One line of the journal, with its CRLF; fields that hold a comma, a quote
// or a line break are quoted, their quotes doubled.
std::string JournalLine(const BFleetRecord& record);
// Adds the line at the end of the journal, creating it (with a UTF-8 byte
// order mark, for spreadsheet programs) when missing. False with the
// system's reason in `error` when it could not be written.
bool AppendToJournal(const std::string& journalPath, const BFleetRecord& record,
                     std::string& error);
// CRC-32 of what a siren holds of the profile: every fragment's table entry
// and bytes in slot order, the playlist and the buttons (not the names,
// which the siren does not keep). Equal content, equal checksum.
uint32_t ProfileContentChecksum(const BProfile& profile);
