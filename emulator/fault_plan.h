// BFaultPlan: the faults the emulator injects on purpose, so that tests can
// see how the program copes with a line or a device that misbehaves.
//
// Requests are numbered from 1 in the order they arrive (well-formed frames
// only; noise and frames with a bad checksum do not count). A reply carries
// the number of its request, so "the K-th reply" of --corrupt-checksum is the
// reply to request K, also when an earlier reply was dropped.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A set of request numbers: "3", "2-5", "10-" (10 and every later one),
// "/4" (every fourth: 4, 8, 12, ...), or a comma-separated list of these.
class BRequestSelector {
 public:
  // Adds the items of the text; false (and nothing added) when it is malformed.
  bool Parse(const std::string& text, std::string& error);
  bool Matches(uint64_t number) const;
  bool IsEmpty() const { return m_ranges.empty() && m_periods.empty(); }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> m_ranges;  // inclusive
  std::vector<uint64_t> m_periods;
};

// --chatter KIND:MS[:N]: a device that answers nothing and sends on its own
// every MS milliseconds: N random bytes (noise), or a detect reply (detect).
struct BChatter {
  enum class Kind { None, Noise, Detect };
  Kind kind = Kind::None;
  uint32_t periodMs = 0;
  uint32_t bytes = 8;

  static bool Parse(const std::string& text, BChatter& chatter, std::string& error);
};

// One --refuse-table rule, KIND:INDEX[:STATUS[:TIMES]], or one --lose-table
// rule, KIND:INDEX[:TIMES] (a write acknowledged with status 0 but not stored).
struct BTableRefusal {
  enum class Kind { Fragment, Playlist, Button };
  Kind kind = Kind::Fragment;
  int index = -1;  // -1: any index
  uint8_t status = 1;
  uint32_t times = 0;  // how many writes are refused or lost; 0: all of them
  uint32_t used = 0;

  static bool Parse(const std::string& text, BTableRefusal& rule, std::string& error);
  static bool ParseLoss(const std::string& text, BTableRefusal& rule, std::string& error);
  static const char* KindName(Kind kind);
  // True when the rule takes a write of this kind and index and has uses left.
  bool Applies(Kind writeKind, uint8_t writeIndex) const;
};

struct BFaultPlan {
  bool silent = false;
  uint32_t noiseBytes = 0;      // noise bytes sent before a reply
  uint32_t noisePercent = 100;  // chance that a reply gets them
  uint32_t garbagePercent = 0;  // chance that a reply gets a burst of frame-like garbage
  BRequestSelector corruptChecksum;
  BRequestSelector dropReply;
  BRequestSelector repeatReply;  // sent twice, back to back
  BRequestSelector swapAt;       // after the reply, the line leads to the other siren
  BRequestSelector lateCopy;     // sent again later, before the next reply or after a quiet time
  BRequestSelector flipBit;      // one bit of the reply frame flipped
  BChatter chatter;
  std::vector<std::pair<uint32_t, uint32_t>> refusedAddresses;  // inclusive ranges
  std::vector<BTableRefusal> tableRefusals;
  std::vector<BTableRefusal> tableLosses;               // acknowledged with status 0, not stored
  std::vector<std::pair<uint32_t, uint32_t>> badCells;  // inclusive ranges

  // --noise N[:PERCENT]
  bool ParseNoise(const std::string& text, std::string& error);
  // --refuse-address ADDR or FIRST-LAST (decimal or 0x hex)
  bool ParseRefusedAddress(const std::string& text, std::string& error);
  bool IsAddressRefused(uint32_t address) const;
  // --bad-cell ADDR or FIRST-LAST: memory cells that do not take a write.
  bool ParseBadCell(const std::string& text, std::string& error);
  bool IsBadCell(uint32_t address) const;
};

// Reads a whole decimal or 0x-prefixed hexadecimal number up to limit.
bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value);
