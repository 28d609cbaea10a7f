// BProfile: creation, the link state, the table and the playlist.
// Free blocks, defragmentation, deletion and transfer plans are in
// profile_layout.cpp, the profile file in profile_file.cpp.
#include "model/profile.h"

#include <algorithm>
#include <cstring>

BProfile::BProfile() : m_image(kImageSize, kErasedByte) {
  ResetLinkState();
  Reset();
}

void BProfile::Reset() {
  for (BFragment& fragment : m_fragments) fragment = BFragment::Empty();
  std::fill(std::begin(m_buttons), std::end(m_buttons), kNone);
  PlaylistValues before = PlaylistSnapshot();
  std::fill(std::begin(m_playlist), std::end(m_playlist), kNone);
  FinishPlaylistChange(before);
  std::fill(m_image.begin(), m_image.end(), kErasedByte);
}

void BProfile::ResetLinkState() {
  m_icCount = 0;
  m_jobCursor = 0;
  m_playlistSynced = false;
  for (BFragment& fragment : m_fragments) fragment.synced = false;
}

void BProfile::CopyContentFrom(const BProfile& other) {
  std::copy(std::begin(other.m_fragments), std::end(other.m_fragments), std::begin(m_fragments));
  std::copy(std::begin(other.m_buttons), std::end(other.m_buttons), std::begin(m_buttons));
  std::copy(std::begin(other.m_playlist), std::end(other.m_playlist), std::begin(m_playlist));
  m_image = other.m_image;
  ResetLinkState();
}

uint32_t BProfile::Capacity() const {
  if (m_icCount <= 0) return 0;
  // A siren never reports more than 4 chips; the image cannot hold more.
  return static_cast<uint32_t>(std::min(m_icCount, kMaxChips)) * kChipSize;
}

uint32_t BProfile::PlacementCapacity() const { return m_icCount == 0 ? kImageSize : Capacity(); }

int BProfile::PlaceFragment(const std::string& name, const BMemRange& block, const uint8_t* samples,
                            uint32_t count) {
  int slot = FindEmptySlot();
  if (slot < 0 || block.start >= kImageSize || (count > 0 && !samples)) return -1;

  BFragment& fragment = m_fragments[slot];
  fragment.name = LimitFragmentName(name);
  fragment.start = block.start;
  fragment.length = std::min({block.length, count, kImageSize - block.start});
  fragment.synced = false;
  std::memcpy(m_image.data() + fragment.start, samples, fragment.length);
  return slot;
}

bool BProfile::RenameFragment(int index, const std::string& name) {
  if (!IsSlot(index)) return false;
  m_fragments[index].name = LimitFragmentName(name);
  return true;
}

bool BProfile::SetButton(int button, uint8_t value) {
  if (button < 0 || button >= kButtonCount) return false;
  m_buttons[button] = value;
  return true;
}

int BProfile::PlaylistLength() const {
  return static_cast<int>(
      std::find_if_not(std::begin(m_playlist), std::end(m_playlist), IsPlaylistReference) -
      std::begin(m_playlist));
}

bool BProfile::AppendPlaylistEntry(int index) {
  int end = PlaylistLength();
  if (!IsSlot(index) || !IsPlaylistReference(static_cast<uint8_t>(index)) ||
      end == kMaxPlaylistEntries)
    return false;
  PlaylistValues before = PlaylistSnapshot();
  m_playlist[end] = static_cast<uint8_t>(index);
  // The old end mark is overwritten: whatever lay behind it must not come back.
  std::fill(m_playlist + end + 1, m_playlist + kMaxPlaylistEntries, kNone);
  FinishPlaylistChange(before);
  return true;
}

bool BProfile::InsertPlaylistEntry(int position, int index) {
  if (!IsPosition(position) || position > PlaylistLength() || !IsSlot(index) ||
      !IsPlaylistReference(static_cast<uint8_t>(index)))
    return false;
  PlaylistValues before = PlaylistSnapshot();
  InsertPlaylistAt(position, static_cast<uint8_t>(index));
  FinishPlaylistChange(before);
  return true;
}

bool BProfile::RemovePlaylistEntry(int position) {
  if (!IsPosition(position) || position >= PlaylistLength()) return false;
  PlaylistValues before = PlaylistSnapshot();
  ErasePlaylistAt(position);
  FinishPlaylistChange(before);
  return true;
}

bool BProfile::MovePlaylistEntry(int from, int to) {
  // `to` may be the end mark's position: behind the last entry.
  const int length = PlaylistLength();
  if (from < 0 || from >= length || to < 0 || to > length) return false;
  if (to == from || to == from + 1) return true;  // dropped where it already is
  PlaylistValues before = PlaylistSnapshot();
  uint8_t value = m_playlist[from];
  ErasePlaylistAt(from);
  if (to > from) --to;
  InsertPlaylistAt(to, value);
  FinishPlaylistChange(before);
  return true;
}

bool BProfile::TrimPlaylist() {
  PlaylistValues before = PlaylistSnapshot();
  FinishPlaylistChange(before);
  return PlaylistSnapshot() != before;
}

bool BProfile::IsPlaylistInStep() const {
  if (!m_playlistSynced) return false;
  for (int position = 0; position < PlaylistLength(); ++position) {
    const BFragment& named = GetFragment(m_playlist[position]);
    if (!named.IsInUse() || !named.synced) return false;
  }
  return true;
}

BDroppedReferences BProfile::DropDanglingReferences() {
  auto names = [this](uint8_t value) { return GetFragment(value).IsInUse(); };
  BDroppedReferences dropped;
  PlaylistValues before = PlaylistSnapshot();
  for (int position = 0, original = 0; position < PlaylistLength(); ++original) {
    if (names(m_playlist[position])) {
      ++position;
    } else {
      ErasePlaylistAt(position);
      dropped.playlistPositions.push_back(original);
    }
  }
  FinishPlaylistChange(before);
  for (int button = 0; button < kButtonCount; ++button) {
    if (m_buttons[button] != kNone && !names(m_buttons[button])) {
      m_buttons[button] = kNone;
      dropped.buttons.push_back(button);
    }
  }
  return dropped;
}

BProfile::PlaylistValues BProfile::PlaylistSnapshot() const {
  PlaylistValues values;
  std::copy(std::begin(m_playlist), std::end(m_playlist), values.begin());
  return values;
}

// The siren plays its playlist up to a 255 and accepts fragment indices up to
// 15, so an end mark of 8 to 15 or anything behind it would be played there.
void BProfile::FinishPlaylistChange(const PlaylistValues& before) {
  std::fill(m_playlist + PlaylistLength(), m_playlist + kMaxPlaylistEntries, kNone);
  if (PlaylistSnapshot() != before) m_playlistSynced = false;
}

void BProfile::ErasePlaylistAt(int position) {
  std::copy(m_playlist + position + 1, m_playlist + kMaxPlaylistEntries, m_playlist + position);
  m_playlist[kMaxPlaylistEntries - 1] = kNone;
}

void BProfile::InsertPlaylistAt(int position, uint8_t value) {
  // The last entry falls off the end.
  std::copy_backward(m_playlist + position, m_playlist + kMaxPlaylistEntries - 1,
                     m_playlist + kMaxPlaylistEntries);
  m_playlist[position] = value;
}

const BFragment& BProfile::GetFragment(int index) const {
  static const BFragment kEmptySlot;
  return IsSlot(index) ? m_fragments[index] : kEmptySlot;
}

bool BProfile::SetFragment(int index, const BFragment& fragment) {
  if (!IsSlot(index)) return false;
  m_fragments[index] = fragment;
  m_fragments[index].name = LimitFragmentName(fragment.name);
  return true;
}

bool BProfile::SetFragmentSynced(int index, bool synced) {
  if (!IsSlot(index)) return false;
  m_fragments[index].synced = synced;
  return true;
}

int BProfile::CountFragments() const {
  return static_cast<int>(std::count_if(std::begin(m_fragments), std::end(m_fragments),
                                        [](const BFragment& f) { return f.IsInUse(); }));
}

int BProfile::FindEmptySlot() const {
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    if (!m_fragments[slot].IsInUse()) return slot;
  }
  return -1;
}

uint8_t BProfile::GetButton(int button) const {
  return button >= 0 && button < kButtonCount ? m_buttons[button] : kNone;
}

uint8_t BProfile::GetPlaylistEntry(int position) const {
  return IsPosition(position) ? m_playlist[position] : kNone;
}

bool BProfile::SetPlaylistEntry(int position, uint8_t value) {
  if (!IsPosition(position)) return false;
  m_playlist[position] = value;
  return true;
}
