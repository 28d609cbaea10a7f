#include "model/profile_delta.h"

#include <algorithm>
#include <cstring>

#include "model/profile.h"
#include "model/profile_state.h"

namespace {

// Changed runs closer than this are kept as one range: a separate range
// costs about as much bookkeeping as this many unchanged bytes on each side.
const uint32_t kMergeGap = 32;
// Equal stretches are skipped a block at a time.
const uint32_t kScanBlock = 64;

bool Overlap(const BMemRange& range, uint32_t begin, uint32_t end, uint32_t& lo, uint32_t& hi) {
  lo = std::max(range.start, begin);
  hi = std::min(range.start + range.length, end);
  return lo < hi;
}

bool Overlaps(const BMemRange& range, uint32_t begin, uint32_t end) {
  uint32_t lo = 0, hi = 0;
  return Overlap(range, begin, end, lo, hi);
}

}  // namespace

BProfileDelta BProfileDelta::Between(const BProfileState& before, const BProfile& after) {
  BProfileDelta delta;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& was = before.fragments[slot];
    const BFragment& is = after.GetFragment(slot);
    if (was.name != is.name || was.start != is.start || was.length != is.length)
      delta.m_slots.push_back(BSlotChange{slot, was, is});
  }
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    delta.m_playlistAfter[position] = after.GetPlaylistEntry(position);
  delta.m_playlistBefore = before.playlist;
  delta.m_playlistChanged = delta.m_playlistBefore != delta.m_playlistAfter;
  for (int button = 0; button < kButtonCount; ++button)
    delta.m_buttonsAfter[button] = after.GetButton(button);
  delta.m_buttonsBefore = before.buttons;
  delta.m_buttonsChanged = delta.m_buttonsBefore != delta.m_buttonsAfter;
  delta.FindImageChanges(before.image.data(), after.Image());
  delta.m_soleSlot = delta.FindSoleSlot(before);
  delta.CountBytes();
  return delta;
}

bool BProfileDelta::IsEmpty() const {
  return m_slots.empty() && !m_playlistChanged && !m_buttonsChanged && m_image.empty();
}

void BProfileDelta::FindImageChanges(const uint8_t* before, const uint8_t* after) {
  uint32_t at = 0;
  while (at < kImageSize) {
    if (at + kScanBlock <= kImageSize && std::memcmp(before + at, after + at, kScanBlock) == 0) {
      at += kScanBlock;
      continue;
    }
    if (before[at] == after[at]) {
      ++at;
      continue;
    }
    // A run starts here; it ends when kMergeGap equal bytes follow its last change.
    const uint32_t start = at;
    uint32_t end = at + 1;
    for (at = end; at < kImageSize && at - end < kMergeGap; ++at) {
      if (before[at] != after[at]) end = at + 1;
    }
    BImageChange change;
    change.start = start;
    change.before.assign(before + start, before + end);
    change.after.assign(after + start, after + end);
    m_image.push_back(std::move(change));
    at = end;
  }
}

int BProfileDelta::FindSoleSlot(const BProfileState& before) const {
  if (m_playlistChanged || m_buttonsChanged || m_slots.size() > 1) return -1;
  std::array<BFragment, kMaxFragments> after = before.fragments;
  for (const BSlotChange& change : m_slots) after[change.slot] = change.after;

  int slot = m_slots.empty() ? -1 : m_slots.front().slot;
  if (slot < 0) {
    // Only bytes changed: they belong to the fragment holding the first of them.
    if (m_image.empty()) return -1;
    for (int candidate = 0; candidate < kMaxFragments && slot < 0; ++candidate) {
      if (Overlaps(before.fragments[candidate].ImageRange(), m_image.front().start,
                   m_image.front().start + 1))
        slot = candidate;
    }
    if (slot < 0) return -1;
  }
  // Every changed byte lies between the fragment's lowest start and highest
  // end, before or after, and in no other fragment.
  const BMemRange was = before.fragments[slot].ImageRange();
  const BMemRange is = after[slot].ImageRange();
  uint32_t low = kImageSize, high = 0;
  for (const BMemRange& range : {was, is}) {
    if (range.length == 0) continue;
    low = std::min(low, range.start);
    high = std::max(high, range.start + range.length);
  }
  for (const BImageChange& change : m_image) {
    const uint32_t end = change.start + static_cast<uint32_t>(change.after.size());
    if (change.start < low || end > high) return -1;
    for (int other = 0; other < kMaxFragments; ++other) {
      if (other == slot) continue;
      if (Overlaps(before.fragments[other].ImageRange(), change.start, end) ||
          Overlaps(after[other].ImageRange(), change.start, end))
        return -1;
    }
  }
  return slot;
}

bool BProfileDelta::ChangesBytesIn(const BMemRange& range, const uint8_t* present,
                                   bool toBefore) const {
  for (const BImageChange& change : m_image) {
    const std::vector<uint8_t>& target = toBefore ? change.before : change.after;
    uint32_t lo = 0, hi = 0;
    if (!Overlap(range, change.start, change.start + static_cast<uint32_t>(target.size()), lo, hi))
      continue;
    if (std::memcmp(present + lo, target.data() + (lo - change.start), hi - lo) != 0) return true;
  }
  return false;
}

void BProfileDelta::Apply(BProfile& profile, BDeltaSide side) const {
  const bool toBefore = side == BDeltaSide::Before;
  // The table as it will be, each entry with the flag it keeps: a fragment
  // that moves or changes length is out of step.
  std::array<BFragment, kMaxFragments> table;
  for (int slot = 0; slot < kMaxFragments; ++slot) table[slot] = profile.GetFragment(slot);
  for (const BSlotChange& change : m_slots) {
    BFragment& entry = table[change.slot];
    const BFragment& target = toBefore ? change.before : change.after;
    const bool kept = entry.synced && entry.start == target.start && entry.length == target.length;
    entry = target;
    entry.synced = kept;
  }
  // So is one whose bytes the step changes, compared with what it holds now.
  uint8_t* image = profile.Image();
  for (BFragment& entry : table) {
    if (entry.synced && ChangesBytesIn(entry.ImageRange(), image, toBefore)) entry.synced = false;
  }
  for (const BImageChange& change : m_image) {
    const std::vector<uint8_t>& target = toBefore ? change.before : change.after;
    std::copy(target.begin(), target.end(), image + change.start);
  }
  for (int slot = 0; slot < kMaxFragments; ++slot) profile.SetFragment(slot, table[slot]);

  if (m_playlistChanged) {
    const BPlaylist& target = toBefore ? m_playlistBefore : m_playlistAfter;
    bool changed = false;
    for (int position = 0; position < kMaxPlaylistEntries; ++position) {
      changed = changed || profile.GetPlaylistEntry(position) != target[position];
      profile.SetPlaylistEntry(position, target[position]);
    }
    if (changed) profile.SetPlaylistSynced(false);
  }
  if (m_buttonsChanged) {
    const BButtons& target = toBefore ? m_buttonsBefore : m_buttonsAfter;
    for (int button = 0; button < kButtonCount; ++button) profile.SetButton(button, target[button]);
  }
}

void BProfileDelta::CountBytes() {
  m_byteCount = sizeof(*this) + m_slots.capacity() * sizeof(BSlotChange) +
                m_image.capacity() * sizeof(BImageChange);
  for (const BSlotChange& change : m_slots)
    m_byteCount += change.before.name.capacity() + change.after.name.capacity();
  for (const BImageChange& change : m_image)
    m_byteCount += change.before.capacity() + change.after.capacity();
}
