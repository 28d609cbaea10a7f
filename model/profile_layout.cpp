// BProfile: where the fragments lie in the image. Free blocks,
// defragmentation, deletion, the capacity test and the transfer plan.
//
// The table may come from a file or from the siren, so in-use fragments may
// overlap or reach past the image. Every copy goes through
// BFragment::ImageRange, which keeps it inside the image.
#include "model/profile.h"

#include <algorithm>
#include <cstring>

std::vector<BMemRange> BProfile::GetFreeBlocks() const {
  const uint32_t limit = PlacementCapacity();

  std::vector<const BFragment*> used;
  for (const BFragment& fragment : m_fragments) {
    if (fragment.IsInUse()) used.push_back(&fragment);
  }
  if (used.empty()) return {BMemRange{0, limit}};

  std::stable_sort(used.begin(), used.end(),
                   [](const BFragment* a, const BFragment* b) { return a->start < b->start; });

  // In-use starts and lengths are below 2^18, so their sums cannot overflow.
  // A gap that begins below the limit is kept whole, even past it.
  std::vector<BMemRange> blocks;
  uint32_t cursor = 0;
  for (const BFragment* fragment : used) {
    if (fragment->start > cursor && cursor < limit)
      blocks.push_back(BMemRange{cursor, fragment->start - cursor});
    // Never step back: a fragment lying inside an earlier one (possible
    // only in a damaged table) must not open a "free" block over it.
    cursor = std::max(cursor, fragment->start + fragment->length);
  }
  if (cursor < limit) blocks.push_back(BMemRange{cursor, limit - cursor});
  return blocks;
}

bool BProfile::NeedsDefragment() const {
  std::vector<BMemRange> blocks = GetFreeBlocks();
  if (blocks.empty()) return false;
  // Compared with the whole image whatever the siren has: one free block at
  // the end of a smaller siren still counts as "needs it".
  return !(blocks.size() == 1 && blocks[0].start + blocks[0].length > kImageSize - 1);
}

BDroppedReferences BProfile::Defragment() {
  // A reference to an empty slot would be left as it is by the renumbering
  // below and could then name the fragment packed into that slot.
  BDroppedReferences dropped = DropDanglingReferences();
  std::vector<uint8_t> saved(m_image);
  std::fill(m_image.begin(), m_image.end(), kErasedByte);

  BFragment packed[kMaxFragments];
  int oldIndexOf[kMaxFragments];
  int count = 0;
  uint32_t cursor = 0;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = m_fragments[slot];
    if (!fragment.IsInUse()) continue;
    // Only a damaged table can have more bytes than fit; cut what does not.
    BMemRange source = fragment.ImageRange();
    uint32_t length = std::min(source.length, kImageSize - cursor);
    std::memcpy(m_image.data() + cursor, saved.data() + source.start, length);

    packed[count] = fragment;
    packed[count].start = cursor;
    packed[count].length = length;
    // The siren's slot still holds this fragment only if neither its slot
    // nor its bytes moved.
    packed[count].synced =
        fragment.synced && slot == count && cursor == fragment.start && length == fragment.length;
    oldIndexOf[count] = slot;
    ++count;
    cursor += length;
  }

  auto renumber = [&](uint8_t& value) {
    for (int position = 0; position < count; ++position) {
      if (oldIndexOf[position] == value) {
        value = static_cast<uint8_t>(position);
        return;
      }
    }
  };
  // The playlist's entries end at the first value of 8 or more.
  PlaylistValues before = PlaylistSnapshot();
  for (int position = 0; position < PlaylistLength(); ++position) renumber(m_playlist[position]);
  FinishPlaylistChange(before);
  // A button may be bound to any fragment: every binding follows its
  // fragment, or it would name another one after the move.
  for (uint8_t& binding : m_buttons) renumber(binding);

  std::copy(std::begin(packed), std::end(packed), std::begin(m_fragments));
  return dropped;
}

bool BProfile::DeleteFragment(int index) {
  if (!IsSlot(index)) return false;
  EraseImage(m_fragments[index].ImageRange());

  for (int slot = index; slot < kMaxFragments; ++slot) {
    BFragment next = slot + 1 < kMaxFragments ? m_fragments[slot + 1] : BFragment::Empty();
    // The siren's slot keeps what it had: only an unchanged entry stays synced.
    bool synced = m_fragments[slot].synced && m_fragments[slot].start == next.start &&
                  m_fragments[slot].length == next.length;
    m_fragments[slot] = next;
    m_fragments[slot].synced = synced;
  }

  // Only the entries are renumbered: an end mark above the deleted index must
  // not become an entry.
  const uint8_t deleted = static_cast<uint8_t>(index);
  PlaylistValues before = PlaylistSnapshot();
  for (int position = 0; position < PlaylistLength(); ++position) {
    while (m_playlist[position] == deleted) ErasePlaylistAt(position);
    if (IsPlaylistReference(m_playlist[position]) && m_playlist[position] > deleted)
      --m_playlist[position];
  }
  FinishPlaylistChange(before);
  for (uint8_t& binding : m_buttons) {
    if (binding == deleted)
      binding = kNone;
    else if (binding > deleted && binding != kNone)
      --binding;
  }
  return true;
}

void BProfile::EraseImage(const BMemRange& range) {
  std::fill_n(m_image.begin() + range.start, range.length, kErasedByte);
}

bool BProfile::HasFragmentsBeyondMemory() const {
  const uint32_t capacity = Capacity();
  for (const BFragment& fragment : m_fragments) {
    if (fragment.IsInUse() &&
        (fragment.start >= capacity || fragment.start + fragment.length > capacity))
      return true;
  }
  return false;
}

uint32_t BProfile::BuildTransferPlan() {
  m_transferPlan.clear();
  m_transferFragments.clear();
  const uint32_t limit = Capacity();  // never more than the image
  uint32_t total = 0;
  for (int index = 0; index < kMaxFragments; ++index) {
    const BFragment& fragment = m_fragments[index];
    // Not the in-use test: a valid start with an invalid length is kept
    // (and reaches to the end of the memory).
    if (!IsValidAddress(fragment.start) && !IsValidAddress(fragment.length)) continue;
    if (fragment.start >= limit) continue;
    uint32_t room = limit - fragment.start;
    uint32_t length = fragment.length > room ? room : fragment.length;
    m_transferPlan.push_back(BMemRange{fragment.start, length});
    m_transferFragments.push_back(index);
    total += length;
  }
  return total;
}

bool BProfile::TransferAddress(uint32_t n, uint32_t& address) const {
  uint32_t before = 0;
  for (const BMemRange& range : m_transferPlan) {
    if (n - before < range.length) {  // before <= n here, so no wrap
      address = range.start + (n - before);
      return address < kImageSize;
    }
    before += range.length;
  }
  return false;
}
