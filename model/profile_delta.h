// BProfileDelta: what one step of the document changed in the profile: the
// table entries (name, start, length) of the slots that changed, the
// playlist and the buttons when they changed, and the image ranges whose
// bytes changed, each side (before and after) kept. It is made from a full
// copy taken before the step and the profile after it, so no edit needs undo
// logic of its own: undo applies the side before, redo the side after.
//
// The in-step flags are not recorded: they say what the siren holds, which a
// step in the history cannot know. Applying a side takes out of step every
// fragment whose start, length or bytes it changes and keeps the flag of the
// others; it clears the playlist-synced flag when the playlist's values
// change.
//
// The user-interface thread only, never while a siren job holds the profile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/fragment.h"
#include "model/geometry.h"

class BProfile;
struct BProfileState;

enum class BDeltaSide { Before, After };

class BProfileDelta {
 public:
  // The difference between `before` and the profile as it is now; empty when
  // nothing but in-step flags differs. Throws std::bad_alloc when the
  // changed bytes cannot be kept.
  static BProfileDelta Between(const BProfileState& before, const BProfile& after);

  bool IsEmpty() const;
  // Gives the profile the recorded side: table entries, playlist, buttons
  // and image bytes, with the in-step rule above.
  void Apply(BProfile& profile, BDeltaSide side) const;
  // The one slot the step changed when nothing else changed (its entry, and
  // image bytes only inside where the fragment lay before or after); -1 when
  // it changed several slots, the playlist, the buttons or bytes elsewhere.
  int SoleSlot() const { return m_soleSlot; }
  // Memory the delta holds, for the history's limit.
  std::size_t ByteCount() const { return m_byteCount; }

 private:
  struct BSlotChange {
    int slot = -1;
    BFragment before;
    BFragment after;
  };
  struct BImageChange {
    uint32_t start = 0;
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;
  };
  using BPlaylist = std::array<uint8_t, kMaxPlaylistEntries>;
  using BButtons = std::array<uint8_t, kButtonCount>;

  void FindImageChanges(const uint8_t* before, const uint8_t* after);
  int FindSoleSlot(const BProfileState& before) const;
  // True when the image changes alter a byte of `range` between `present`
  // (the profile's image) and the side to be applied.
  bool ChangesBytesIn(const BMemRange& range, const uint8_t* present, bool toBefore) const;
  void CountBytes();

  std::vector<BSlotChange> m_slots;
  bool m_playlistChanged = false;
  BPlaylist m_playlistBefore{};
  BPlaylist m_playlistAfter{};
  bool m_buttonsChanged = false;
  BButtons m_buttonsBefore{};
  BButtons m_buttonsAfter{};
  std::vector<BImageChange> m_image;  // in address order, not overlapping
  int m_soleSlot = -1;
  std::size_t m_byteCount = 0;
};
