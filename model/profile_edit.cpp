// BProfile: editing one fragment: range deletion, changing its bytes in
// place, restoring a recorded state. Each goes through EditFragment, which
// clears the synced flag of a fragment whose start, length or bytes changed.
#include "model/profile.h"

#include <algorithm>
#include <cstring>

namespace {

// Where a fragment lies and what it holds: what the siren must hold for it.
struct BFragmentState {
  uint32_t start = 0;
  uint32_t length = 0;
  std::vector<uint8_t> bytes;

  BFragmentState(const BFragment& fragment, const uint8_t* image)
      : start(fragment.start), length(fragment.length) {
    const BMemRange range = fragment.ImageRange();
    bytes.assign(image + range.start, image + range.start + range.length);
  }
  bool operator==(const BFragmentState& other) const {
    return start == other.start && length == other.length && bytes == other.bytes;
  }
};

}  // namespace

template <typename Edit>
void BProfile::EditFragment(int index, Edit&& edit) {
  const BFragmentState before(m_fragments[index], m_image.data());
  edit(m_fragments[index]);
  if (!(BFragmentState(m_fragments[index], m_image.data()) == before))
    m_fragments[index].synced = false;
}

bool BProfile::DeleteRange(int index, uint32_t address, uint32_t count) {
  if (!IsSlot(index) || !m_fragments[index].IsInUse()) return false;
  const BFragment& present = m_fragments[index];
  const uint32_t start = present.start;
  const uint32_t end = start + present.length;  // both below 2^18: no wrap
  // Only a damaged table has such a fragment; moving its bytes would leave the image.
  if (end > kImageSize) return false;
  if (address < start || address > end) return false;

  // A cut past the end stops at the end; 64 bits so that a huge count cannot wrap.
  const uint32_t cutEnd = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(address) + count, end));
  uint8_t* image = m_image.data();

  EditFragment(index, [&](BFragment& fragment) {
    if (address == start) {
      // The head goes: the fragment begins later, no byte moves.
      EraseImage(BMemRange{start, cutEnd - start});
      fragment.start = cutEnd;
      fragment.length = end - cutEnd;
    } else if (cutEnd < end) {
      // A piece inside goes: the tail moves down over it (the areas overlap).
      const uint32_t cut = cutEnd - address;
      std::memmove(image + address, image + cutEnd, end - cutEnd);
      EraseImage(BMemRange{end - cut, cut});
      fragment.length -= cut;
    } else {
      // The tail goes.
      EraseImage(BMemRange{address, end - address});
      fragment.length = address - start;
    }
  });
  return true;
}

bool BProfile::ChangeFragmentBytes(
    int index, uint32_t offset, uint32_t count,
    const std::function<void(uint8_t* bytes, uint32_t count)>& change) {
  if (!IsSlot(index) || !m_fragments[index].IsInUse() || !change) return false;
  const BMemRange range = m_fragments[index].ImageRange();
  if (offset >= range.length) return false;
  const uint32_t changed = std::min(count, range.length - offset);
  EditFragment(index, [&](BFragment&) { change(m_image.data() + range.start + offset, changed); });
  return true;
}

bool BProfile::RestoreFragment(int index, uint32_t start, uint32_t length,
                               const std::vector<uint8_t>& bytes) {
  if (!IsSlot(index) || !m_fragments[index].IsInUse()) return false;
  EditFragment(index, [&](BFragment& fragment) {
    // The recorded bytes go back from the recorded start, inside the image.
    const uint32_t begin = std::min(start, kImageSize);
    const uint32_t end =
        begin + static_cast<uint32_t>(std::min<std::size_t>(bytes.size(), kImageSize - begin));
    // The present bytes outside [begin, end) are given up.
    const BMemRange present = fragment.ImageRange();
    const uint32_t presentEnd = present.start + present.length;
    if (present.start < begin)
      EraseImage(BMemRange{present.start, std::min(presentEnd, begin) - present.start});
    if (presentEnd > end) {
      const uint32_t from = std::max(present.start, end);
      EraseImage(BMemRange{from, presentEnd - from});
    }
    std::copy(bytes.begin(), bytes.begin() + (end - begin), m_image.begin() + begin);
    fragment.start = start;
    fragment.length = length;
  });
  return true;
}
