#include "audio/play_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/durations.h"

namespace {
// The siren's signed bytes become unsigned 8-bit PCM.
const uint8_t kSignedToUnsigned = 128;
}  // namespace

void BPlayBuffer::Release() {
  m_samples.clear();
  m_samples.shrink_to_fit();
  m_segments.clear();
  m_position = 0;
}

void BPlayBuffer::Append(const BProfile& profile, const BFragment& fragment) {
  BMemRange range = fragment.ImageRange();
  m_segments.push_back({Length(), range.start, range.length});
  const uint8_t* bytes = profile.Image() + range.start;
  for (uint32_t i = 0; i < range.length; ++i)
    m_samples.push_back(static_cast<uint8_t>(bytes[i] - kSignedToUnsigned));
}

bool BPlayBuffer::LoadFragment(const BProfile& profile, int index) {
  Release();
  const BFragment& fragment = profile.GetFragment(index);
  if (!fragment.IsInUse()) return false;
  Append(profile, fragment);
  return !IsEmpty();
}

void BPlayBuffer::LoadSound(const std::vector<uint8_t>& samples) {
  Release();
  m_samples.reserve(samples.size());
  for (uint8_t sample : samples)
    m_samples.push_back(static_cast<uint8_t>(sample - kSignedToUnsigned));
}

bool BPlayBuffer::LoadPlaylist(const BProfile& profile) {
  Release();
  size_t total = 0;
  for (int position = 0; position < kMaxPlaylistEntries; ++position) {
    uint8_t entry = profile.GetPlaylistEntry(position);
    if (!IsPlaylistReference(entry)) break;
    total += profile.GetFragment(entry).ImageRange().length;
  }
  if (total == 0) return false;
  m_samples.reserve(total);
  for (int position = 0; position < kMaxPlaylistEntries; ++position) {
    uint8_t entry = profile.GetPlaylistEntry(position);
    if (!IsPlaylistReference(entry)) break;
    Append(profile, profile.GetFragment(entry));
  }
  return true;
}

int BPlayBuffer::SegmentAt(uint32_t p) const {
  for (size_t i = 0; i < m_segments.size(); ++i)
    if (m_segments[i].bufferStart <= p && p - m_segments[i].bufferStart < m_segments[i].length)
      return static_cast<int>(i);
  return -1;
}

int64_t BPlayBuffer::AddressAt(uint32_t p) const {
  int segment = SegmentAt(p);
  if (segment < 0) return -1;
  return m_segments[segment].address + (p - m_segments[segment].bufferStart);
}

BPlayBuffer::Filled BPlayBuffer::Fill(uint8_t* out, uint32_t capacity, bool looping) {
  Filled filled = {std::min(capacity, Length() - m_position), false};
  if (filled.count == 0 && looping) {
    m_position = 0;
    filled.count = std::min(capacity, Length());
    filled.restarted = true;
  }
  if (filled.count == 0) return filled;
  std::memcpy(out, m_samples.data() + m_position, filled.count);
  m_position += filled.count;
  return filled;
}

uint32_t PlayStartPosition(uint32_t thumb, uint32_t rangeStart, uint32_t rangeEnd) {
  bool marked = rangeEnd > rangeStart;
  if (marked && (thumb < rangeStart || thumb >= rangeEnd)) return rangeStart;
  return thumb;
}

std::string PlayTimeText(uint32_t position, uint32_t length) {
  uint32_t at = SamplesToMilliseconds(position);
  uint32_t of = SamplesToMilliseconds(length);
  char text[32];
  if (of / 60000 == 0)
    std::snprintf(text, sizeof(text), "%02u.%03u/%02u.%03u", at / 1000 % 60, at % 1000,
                  of / 1000 % 60, of % 1000);
  else
    std::snprintf(text, sizeof(text), "%02u:%02u/%02u:%02u", at / 60000 % 60, at / 1000 % 60,
                  of / 60000 % 60, of / 1000 % 60);
  return text;
}
