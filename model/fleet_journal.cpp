#include "model/fleet_journal.h"

#include <cstdio>

#include "platform/error_text.h"
#include "platform/file.h"

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

class BCrc32 {
 public:
  void Add(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      m_crc ^= data[i];
      for (int bit = 0; bit < 8; ++bit) m_crc = (m_crc >> 1) ^ (0xEDB88320u & (0u - (m_crc & 1)));
    }
  }
  void Add(uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Add(bytes, 4);
  }
  uint32_t Value() const { return ~m_crc; }

 private:
  uint32_t m_crc = 0xFFFFFFFFu;
};

}  // namespace

const char* VerdictKeyword(BFleetVerdict verdict) {
  switch (verdict) {
    case BFleetVerdict::Checked:
      return "checked";
    case BFleetVerdict::Differs:
      return "differs";
    case BFleetVerdict::NoSiren:
      return "no-siren";
    case BFleetVerdict::PortFailed:
      return "port-failed";
    case BFleetVerdict::Aborted:
      return "aborted";
    case BFleetVerdict::Failed:
      break;
  }
  return "failed";
}

std::string JournalPath(const std::string& profilePath) {
  const size_t name = profilePath.find_last_of("\\/");
  const size_t dot = profilePath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (name == std::string::npos || dot > name);
  return (hasExtension ? profilePath.substr(0, dot) : profilePath) + ".csv";
}

std::string JournalLine(const BFleetRecord& record) {
  char address[16] = "";
  if (record.firstDifference >= 0)
    std::snprintf(address, sizeof(address), "0x%05llx",
                  static_cast<unsigned long long>(record.firstDifference));
  char checksum[16];
  std::snprintf(checksum, sizeof(checksum), "%08x", static_cast<unsigned>(record.checksum));
  return CsvField(record.time) + "," + CsvField(record.port) + "," + std::to_string(record.chips) +
         "," + std::to_string(record.bytesWritten) + "," + std::to_string(record.bytesChecked) +
         "," + VerdictKeyword(record.verdict) + "," + address + "," + CsvField(record.profileName) +
         "," + checksum + "\r\n";
}

bool AppendToJournal(const std::string& journalPath, const BFleetRecord& record,
                     std::string& error) {
  BFile file;
  unsigned long long size = 0;
  std::string text = JournalLine(record);
  bool written = file.OpenAppend(journalPath) && file.GetSize(size);
  if (written && size == 0) text = "\xEF\xBB\xBF" + text;
  written = written && file.Write(text.data(), text.size()) == static_cast<long>(text.size());
  written = file.Close() && written;
  if (!written) error = GetErrorText(GetLastSystemError());
  return written;
}

uint32_t ProfileContentChecksum(const BProfile& profile) {
  BCrc32 crc;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    crc.Add(fragment.start);
    crc.Add(fragment.length);
    const BMemRange range = fragment.ImageRange();
    if (range.length > 0) crc.Add(profile.Image() + range.start, range.length);
  }
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    crc.Add(profile.GetPlaylistEntry(position));
  for (int button = 0; button < kButtonCount; ++button) crc.Add(profile.GetButton(button));
  return crc.Value();
}
