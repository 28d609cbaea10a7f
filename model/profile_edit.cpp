// BProfile: editing the bytes of one fragment (range deletion).
#include "model/profile.h"

#include <algorithm>
#include <cstring>

bool BProfile::DeleteRange(int index, uint32_t address, uint32_t count) {
  if (!IsSlot(index) || !m_fragments[index].IsInUse()) return false;
  BFragment& fragment = m_fragments[index];
  const uint32_t start = fragment.start;
  const uint32_t end = start + fragment.length;  // both below 2^18: no wrap
  // Only a damaged table has such a fragment; moving its bytes would leave the image.
  if (end > kImageSize) return false;
  if (address < start || address > end) return false;

  // A cut past the end stops at the end; 64 bits so that a huge count cannot wrap.
  const uint32_t cutEnd = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(address) + count, end));
  uint8_t* image = m_image.data();

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
  return true;
}
