#include "emulator/fault_plan.h"

#include <cstdlib>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type begin = 0;
  for (;;) {
    const std::string::size_type end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

const uint64_t kMaxRequestNumber = 1ull << 62;

}  // namespace

bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = text.c_str() + (hex ? 2 : 0);
  if (*digits == '\0' || *digits == '-' || *digits == '+' || *digits == ' ') return false;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(digits, &end, hex ? 16 : 10);
  if (*end != '\0' || parsed > limit) return false;
  value = parsed;
  return true;
}

bool BRequestSelector::Parse(const std::string& text, std::string& error) {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  std::vector<uint64_t> periods;
  for (const std::string& item : Split(text, ',')) {
    uint64_t first = 0, last = 0;
    const std::string::size_type dash = item.find('-');
    bool ok;
    if (!item.empty() && item[0] == '/') {
      ok = ParseNumber(item.substr(1), kMaxRequestNumber, first) && first > 0;
      if (ok) periods.push_back(first);
    } else if (dash == std::string::npos) {
      ok = ParseNumber(item, kMaxRequestNumber, first) && first > 0;
      if (ok) ranges.emplace_back(first, first);
    } else {
      const std::string tail = item.substr(dash + 1);
      ok = ParseNumber(item.substr(0, dash), kMaxRequestNumber, first) && first > 0;
      if (ok && tail.empty())
        last = kMaxRequestNumber;
      else
        ok = ok && ParseNumber(tail, kMaxRequestNumber, last) && last >= first;
      if (ok) ranges.emplace_back(first, last);
    }
    if (!ok) {
      error = "bad request number '" + item + "' (use N, N-M, N- or /K, counting from 1)";
      return false;
    }
  }
  m_ranges.insert(m_ranges.end(), ranges.begin(), ranges.end());
  m_periods.insert(m_periods.end(), periods.begin(), periods.end());
  return true;
}

bool BRequestSelector::Matches(uint64_t number) const {
  for (const auto& range : m_ranges)
    if (number >= range.first && number <= range.second) return true;
  for (uint64_t period : m_periods)
    if (number % period == 0) return true;
  return false;
}

const char* BTableRefusal::KindName(Kind kind) {
  switch (kind) {
    case Kind::Playlist:
      return "playlist";
    case Kind::Button:
      return "button";
    default:
      return "fragment";
  }
}

namespace {

// KIND:INDEX, the first two parts of a table rule.
bool ParseTableTarget(const std::vector<std::string>& parts, BTableRefusal& rule) {
  if (parts.size() < 2) return false;
  if (parts[0] == "fragment")
    rule.kind = BTableRefusal::Kind::Fragment;
  else if (parts[0] == "playlist")
    rule.kind = BTableRefusal::Kind::Playlist;
  else if (parts[0] == "button")
    rule.kind = BTableRefusal::Kind::Button;
  else
    return false;
  uint64_t value = 0;
  if (parts[1] == "*")
    rule.index = -1;
  else if (ParseNumber(parts[1], 255, value))
    rule.index = static_cast<int>(value);
  else
    return false;
  return true;
}

}  // namespace

bool BTableRefusal::Parse(const std::string& text, BTableRefusal& rule, std::string& error) {
  const std::vector<std::string> parts = Split(text, ':');
  error = "bad table refusal '" + text +
          "' (use KIND:INDEX[:STATUS[:TIMES]], KIND fragment, playlist or button)";
  BTableRefusal parsed;
  if (parts.size() > 4 || !ParseTableTarget(parts, parsed)) return false;
  uint64_t value = 0;
  if (parts.size() >= 3) {
    if (!ParseNumber(parts[2], 255, value)) return false;
    parsed.status = static_cast<uint8_t>(value);
  }
  if (parts.size() == 4) {
    if (!ParseNumber(parts[3], 0xFFFFFFFFull, value)) return false;
    parsed.times = static_cast<uint32_t>(value);
  }
  error.clear();
  rule = parsed;
  return true;
}

bool BTableRefusal::ParseLoss(const std::string& text, BTableRefusal& rule, std::string& error) {
  const std::vector<std::string> parts = Split(text, ':');
  error = "bad lost table write '" + text +
          "' (use KIND:INDEX[:TIMES], KIND fragment, playlist or button, TIMES 1 or more)";
  BTableRefusal parsed;
  parsed.status = 0;
  if (parts.size() > 3 || !ParseTableTarget(parts, parsed)) return false;
  uint64_t value = 0;
  if (parts.size() == 3) {
    if (!ParseNumber(parts[2], 0xFFFFFFFFull, value) || value == 0) return false;
    parsed.times = static_cast<uint32_t>(value);
  }
  error.clear();
  rule = parsed;
  return true;
}

bool BTableRefusal::Applies(Kind writeKind, uint8_t writeIndex) const {
  return kind == writeKind && (index < 0 || index == writeIndex) && (times == 0 || used < times);
}

bool BChatter::Parse(const std::string& text, BChatter& chatter, std::string& error) {
  const std::vector<std::string> parts = Split(text, ':');
  BChatter parsed;
  uint64_t period = 0, bytes = parsed.bytes;
  bool ok =
      parts.size() >= 2 && parts.size() <= 3 && ParseNumber(parts[1], 600000, period) && period > 0;
  if (ok && parts[0] == "noise") {
    parsed.kind = Kind::Noise;
    ok = parts.size() == 2 || (ParseNumber(parts[2], 4096, bytes) && bytes > 0);
  } else if (ok && parts[0] == "detect") {
    parsed.kind = Kind::Detect;
    ok = parts.size() == 2;
  } else {
    ok = false;
  }
  if (!ok) {
    error = "bad chatter '" + text + "' (use noise:MS[:N] or detect:MS)";
    return false;
  }
  parsed.periodMs = static_cast<uint32_t>(period);
  parsed.bytes = static_cast<uint32_t>(bytes);
  chatter = parsed;
  return true;
}

bool BFaultPlan::ParseNoise(const std::string& text, std::string& error) {
  const std::vector<std::string> parts = Split(text, ':');
  uint64_t count = 0, percent = 100;
  if (parts.size() > 2 || !ParseNumber(parts[0], 4096, count) ||
      (parts.size() == 2 && !ParseNumber(parts[1], 100, percent))) {
    error = "bad noise '" + text + "' (use N[:PERCENT], N up to 4096)";
    return false;
  }
  noiseBytes = static_cast<uint32_t>(count);
  noisePercent = static_cast<uint32_t>(percent);
  return true;
}

namespace {

// ADDR or FIRST-LAST, decimal or 0x hex, below 0x1000000.
bool ParseAddressRange(const std::string& text, std::vector<std::pair<uint32_t, uint32_t>>& ranges,
                       std::string& error) {
  const std::string::size_type dash = text.find('-');
  uint64_t first = 0, last = 0;
  bool ok = ParseNumber(text.substr(0, dash), 0xFFFFFF, first);
  if (dash == std::string::npos)
    last = first;
  else
    ok = ok && ParseNumber(text.substr(dash + 1), 0xFFFFFF, last) && last >= first;
  if (!ok) {
    error =
        "bad address '" + text + "' (use ADDR or FIRST-LAST, decimal or 0x hex, below 0x1000000)";
    return false;
  }
  ranges.emplace_back(static_cast<uint32_t>(first), static_cast<uint32_t>(last));
  return true;
}

bool InRanges(const std::vector<std::pair<uint32_t, uint32_t>>& ranges, uint32_t address) {
  for (const auto& range : ranges)
    if (address >= range.first && address <= range.second) return true;
  return false;
}

}  // namespace

bool BFaultPlan::ParseRefusedAddress(const std::string& text, std::string& error) {
  return ParseAddressRange(text, refusedAddresses, error);
}

bool BFaultPlan::ParseBadCell(const std::string& text, std::string& error) {
  return ParseAddressRange(text, badCells, error);
}

bool BFaultPlan::IsBadCell(uint32_t address) const { return InRanges(badCells, address); }

bool BFaultPlan::IsAddressRefused(uint32_t address) const {
  return InRanges(refusedAddresses, address);
}
