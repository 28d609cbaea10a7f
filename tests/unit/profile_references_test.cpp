// No hidden references: after Load and Defragment no playlist entry and no
// button names a slot that is not in use. Random tables with holes are
// checked against a reference worked out here from the table alone.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/profile.h"
#include "test_files.h"

namespace {

struct BReferences {
  std::vector<uint8_t> playlist;  // the entries before the end mark
  std::vector<uint8_t> buttons;
  std::vector<int> droppedPositions;
  std::vector<int> droppedButtons;
};

std::vector<uint8_t> Entries(const BProfile& profile) {
  std::vector<uint8_t> entries;
  for (int position = 0; position < profile.PlaylistLength(); ++position)
    entries.push_back(profile.GetPlaylistEntry(position));
  return entries;
}

std::vector<uint8_t> Buttons(const BProfile& profile) {
  std::vector<uint8_t> buttons;
  for (int button = 0; button < kButtonCount; ++button)
    buttons.push_back(profile.GetButton(button));
  return buttons;
}

// A table with holes, a playlist of values 0 to 7 (some naming holes) with an
// end mark somewhere, and buttons naming slots, holes, no slot, or nothing.
void FillRandom(BProfile& profile, std::mt19937& random) {
  profile.Reset();
  uint32_t cursor = 0;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    if (random() % 2) continue;
    BFragment fragment;
    fragment.name = "slot " + std::to_string(slot);
    fragment.start = cursor + random() % 50;
    fragment.length = 1 + random() % 100;
    cursor = fragment.start + fragment.length;
    profile.SetFragment(slot, fragment);
  }
  const int length = static_cast<int>(random() % 17);
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    profile.SetPlaylistEntry(position, position < length ? random() % 8 : kNone);
  const uint8_t kinds[] = {kNone, 3, 20, 127};
  for (int button = 0; button < kButtonCount; ++button)
    profile.SetButton(button,
                      random() % 2 ? static_cast<uint8_t>(random() % 16) : kinds[random() % 4]);
}

// What must remain: the references to slots in use, in their order; with
// `packed`, renumbered to the slot each fragment gets when the table is packed.
BReferences Expected(const BProfile& profile, bool packed) {
  int newSlot[256];
  std::fill(std::begin(newSlot), std::end(newSlot), -1);
  for (int slot = 0, next = 0; slot < kMaxFragments; ++slot)
    if (profile.GetFragment(slot).IsInUse()) newSlot[slot] = packed ? next++ : slot;
  BReferences expected;
  std::vector<uint8_t> entries = Entries(profile);
  for (int position = 0; position < static_cast<int>(entries.size()); ++position) {
    if (newSlot[entries[position]] >= 0)
      expected.playlist.push_back(static_cast<uint8_t>(newSlot[entries[position]]));
    else
      expected.droppedPositions.push_back(position);
  }
  for (int button = 0; button < kButtonCount; ++button) {
    uint8_t value = profile.GetButton(button);
    if (value != kNone && newSlot[value] < 0) expected.droppedButtons.push_back(button);
    expected.buttons.push_back(
        value != kNone && newSlot[value] >= 0 ? static_cast<uint8_t>(newSlot[value]) : kNone);
  }
  return expected;
}

void ExpectResult(const BProfile& profile, const BDroppedReferences& dropped,
                  const BReferences& expected, int round) {
  EXPECT_EQ(Entries(profile), expected.playlist) << "round " << round;
  EXPECT_EQ(Buttons(profile), expected.buttons) << "round " << round;
  EXPECT_EQ(dropped.playlistPositions, expected.droppedPositions) << "round " << round;
  EXPECT_EQ(dropped.buttons, expected.droppedButtons) << "round " << round;
  for (int position = profile.PlaylistLength(); position < kMaxPlaylistEntries; ++position)
    EXPECT_EQ(profile.GetPlaylistEntry(position), kNone) << "round " << round;
}

}  // namespace

TEST(DanglingReferences, LoadDropsThemAndTheNextSaveWritesWhatIsLeft) {
  std::mt19937 random(4711);
  TestFolder folder;
  int droppedSome = 0;
  for (int round = 0; round < 200; ++round) {
    BProfile written;
    FillRandom(written, random);
    BReferences expected = Expected(written, false);
    // Save writes the raw references as they are; Load must not keep them.
    ASSERT_TRUE(written.Save(folder.File("holes.zpf")));

    BProfile loaded;
    loaded.SetPlaylistSynced(true);
    BDroppedReferences dropped;
    ASSERT_TRUE(loaded.Load(folder.File("holes.zpf"), &dropped));
    ExpectResult(loaded, dropped, expected, round);
    if (!dropped.playlistPositions.empty()) {
      EXPECT_FALSE(loaded.IsPlaylistSynced()) << "the siren's copy names the holes";
    }
    droppedSome += !dropped.IsEmpty();

    // What is saved now loads without anything to drop.
    ASSERT_TRUE(loaded.Save(folder.File("clean.zpf")));
    BProfile again;
    ASSERT_TRUE(again.Load(folder.File("clean.zpf"), &dropped));
    EXPECT_TRUE(dropped.IsEmpty()) << "round " << round;
    loaded.SetPlaylistSynced(false);  // link state, not in the file
    EXPECT_EQ(Snapshot(again), Snapshot(loaded)) << "round " << round;
  }
  EXPECT_GT(droppedSome, 150);
}

TEST(DanglingReferences, DefragmentDropsThemBeforeTheSlotsAreRenumbered) {
  std::mt19937 random(1174);
  for (int round = 0; round < 200; ++round) {
    BProfile profile;
    FillRandom(profile, random);
    BReferences expected = Expected(profile, true);
    BDroppedReferences dropped = profile.Defragment();
    ExpectResult(profile, dropped, expected, round);
    EXPECT_TRUE(profile.DropDanglingReferences().IsEmpty()) << "round " << round;
  }
}

// The case that made it matter: slot 2 is empty and fragment 3 is packed into
// it; a playlist entry and a button left on 2 would now play fragment 3.
TEST(DanglingReferences, AHoleNeverComesToNameTheFragmentPackedIntoIt) {
  BProfile profile;
  profile.SetFragment(0, BFragment{"zero", 0, 10, false});
  profile.SetFragment(3, BFragment{"three", 100, 10, false});
  profile.AppendPlaylistEntry(2);
  profile.AppendPlaylistEntry(3);
  profile.SetButton(1, 2);
  profile.Defragment();
  EXPECT_EQ(Entries(profile), (std::vector<uint8_t>{1}));
  EXPECT_EQ(profile.GetButton(1), kNone);
}
