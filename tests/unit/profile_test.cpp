// The profile's operations on the table, the playlist, the bindings and the image.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "model/profile.h"

namespace {

BFragment MakeFragment(uint32_t start, uint32_t length, const std::string& name = "f",
                       bool synced = false) {
  BFragment fragment;
  fragment.name = name;
  fragment.start = start;
  fragment.length = length;
  fragment.synced = synced;
  return fragment;
}

void SetPlaylist(BProfile& profile, const std::vector<uint8_t>& entries) {
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    profile.SetPlaylistEntry(position, position < int(entries.size()) ? entries[position] : kNone);
}

std::vector<uint8_t> Playlist(const BProfile& profile) {
  std::vector<uint8_t> entries;
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    entries.push_back(profile.GetPlaylistEntry(position));
  return entries;
}

std::vector<uint8_t> PlaylistOf(std::vector<uint8_t> head) {
  head.resize(kMaxPlaylistEntries, kNone);
  return head;
}

// Fills the image bytes of a fragment with one value, as an import would.
void Paint(BProfile& profile, const BFragment& fragment, uint8_t value) {
  std::fill_n(profile.Image() + fragment.start, fragment.length, value);
}

bool ImageIsErased(const BProfile& profile, uint32_t from, uint32_t to) {
  for (uint32_t address = from; address < to; ++address) {
    if (profile.Image()[address] != kErasedByte) return false;
  }
  return true;
}

}  // namespace

TEST(ProfileState, NewProfileIsEmptyAndHasNoSiren) {
  BProfile profile;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    EXPECT_EQ(fragment.name, "");
    EXPECT_EQ(fragment.start, 0xFFFFFu);
    EXPECT_EQ(fragment.length, 0xFFFFFu);
    EXPECT_FALSE(fragment.synced);
  }
  EXPECT_EQ(Playlist(profile), PlaylistOf({}));
  for (int button = 0; button < kButtonCount; ++button) EXPECT_EQ(profile.GetButton(button), kNone);
  EXPECT_TRUE(ImageIsErased(profile, 0, kImageSize));
  EXPECT_EQ(profile.GetICCount(), 0);
  EXPECT_EQ(profile.GetJobCursor(), 0);
  EXPECT_FALSE(profile.IsPlaylistSynced());
  EXPECT_EQ(profile.CountFragments(), 0);
}

TEST(ProfileState, ResetKeepsLinkStateAndResetLinkStateKeepsContent) {
  BProfile profile;
  profile.SetICCount(2);
  profile.SetJobCursor(7);
  profile.SetPlaylistSynced(true);
  profile.SetFragment(0, MakeFragment(0, 10, "a", true));
  profile.SetButton(1, 0);
  profile.AppendPlaylistEntry(0);
  profile.SetPlaylistSynced(true);
  profile.Image()[5] = 0x12;

  profile.ResetLinkState();
  EXPECT_EQ(profile.GetICCount(), 0);
  EXPECT_EQ(profile.GetJobCursor(), 0);
  EXPECT_FALSE(profile.IsPlaylistSynced());
  EXPECT_FALSE(profile.GetFragment(0).synced);
  EXPECT_EQ(profile.GetFragment(0).length, 10u);
  EXPECT_EQ(profile.GetButton(1), 0);
  EXPECT_EQ(profile.Image()[5], 0x12);

  profile.SetICCount(3);
  profile.SetJobCursor(4);
  profile.SetPlaylistSynced(true);
  profile.Reset();
  EXPECT_EQ(profile.GetICCount(), 3);
  EXPECT_EQ(profile.GetJobCursor(), 4);
  EXPECT_FALSE(profile.IsPlaylistSynced()) << "the playlist was emptied";
  EXPECT_FALSE(profile.GetFragment(0).IsInUse());
  EXPECT_EQ(profile.GetButton(1), kNone);
  EXPECT_EQ(Playlist(profile), PlaylistOf({}));
  EXPECT_TRUE(ImageIsErased(profile, 0, kImageSize));
}

TEST(ProfileState, CapacityFollowsTheChipCount) {
  BProfile profile;
  EXPECT_EQ(profile.Capacity(), 0u);
  EXPECT_EQ(profile.PlacementCapacity(), 262140u);
  for (int chips = 1; chips <= 4; ++chips) {
    profile.SetICCount(chips);
    EXPECT_EQ(profile.Capacity(), 65535u * chips);
    EXPECT_EQ(profile.PlacementCapacity(), 65535u * chips);
  }
  // A siren reporting more chips than exist never makes the memory bigger than the image.
  profile.SetICCount(9);
  EXPECT_EQ(profile.Capacity(), 262140u);
  profile.SetFragment(0, BFragment{"", 262000, 1000, false});
  profile.BuildTransferPlan();
  EXPECT_EQ(profile.GetTransferPlan(), (std::vector<BMemRange>{{262000, 140}}));
}

TEST(ProfileState, BadIndicesAreRefusedWithoutChange) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 10));
  SetPlaylist(profile, {0});
  profile.SetPlaylistSynced(true);

  EXPECT_FALSE(profile.DeleteFragment(-1));
  EXPECT_FALSE(profile.DeleteFragment(16));
  EXPECT_FALSE(profile.RenameFragment(16, "x"));
  EXPECT_FALSE(profile.SetButton(4, 0));
  EXPECT_FALSE(profile.SetButton(-1, 0));
  EXPECT_FALSE(profile.AppendPlaylistEntry(16));
  EXPECT_FALSE(profile.InsertPlaylistEntry(16, 0));
  EXPECT_FALSE(profile.InsertPlaylistEntry(0, -1));
  EXPECT_FALSE(profile.RemovePlaylistEntry(16));
  EXPECT_FALSE(profile.MovePlaylistEntry(0, 17));
  EXPECT_FALSE(profile.MovePlaylistEntry(16, 0));
  EXPECT_FALSE(profile.SetFragment(16, MakeFragment(0, 1)));

  EXPECT_EQ(profile.CountFragments(), 1);
  EXPECT_EQ(Playlist(profile), PlaylistOf({0}));
  EXPECT_TRUE(profile.IsPlaylistSynced());
  EXPECT_FALSE(profile.GetFragment(16).IsInUse());
  EXPECT_EQ(profile.GetButton(4), kNone);
}

TEST(ProfileState, NamesAreCutToWhatTheFileCanHold) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 1, std::string(300, 'n')));
  EXPECT_EQ(profile.GetFragment(0).name.size(), 255u);
  profile.RenameFragment(0, std::string(256, 'r'));
  EXPECT_EQ(profile.GetFragment(0).name, std::string(255, 'r'));
  profile.RenameFragment(0, "short");
  EXPECT_EQ(profile.GetFragment(0).name, "short");
}

TEST(ProfileState, ASlotIsInUseOnlyWithValidStartAndLength) {
  EXPECT_TRUE(MakeFragment(262140, 0).IsInUse());
  EXPECT_TRUE(MakeFragment(0x3FFFF, 0x3FFFF).IsInUse());
  EXPECT_FALSE(MakeFragment(0x40000, 0).IsInUse());
  EXPECT_FALSE(MakeFragment(0, 0x40000).IsInUse());
  EXPECT_FALSE(MakeFragment(0xFFFFF, 10).IsInUse());
}

TEST(FreeBlocks, FollowThePlacementCapacity) {
  BProfile profile;
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{0, 262140}}));

  profile.SetICCount(2);
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{0, 131070}}));
  profile.SetFragment(0, MakeFragment(0, 1000));
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{1000, 130070}}));

  // A gap that begins inside the capacity is kept whole; nothing past it.
  profile.SetFragment(1, MakeFragment(200000, 500));
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{1000, 199000}}));
}

TEST(FreeBlocks, AreInAddressOrderWhateverTheSlotOrder) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(5000, 100));
  profile.SetFragment(3, MakeFragment(100, 400));
  profile.SetFragment(7, MakeFragment(262000, 140));
  EXPECT_EQ(profile.GetFreeBlocks(),
            (std::vector<BMemRange>{{0, 100}, {500, 4500}, {5100, 256900}}));

  profile.SetFragment(8, MakeFragment(0, 100));
  profile.SetFragment(9, MakeFragment(500, 4500));
  profile.SetFragment(10, MakeFragment(5100, 256900));
  EXPECT_TRUE(profile.GetFreeBlocks().empty());
}

TEST(FreeBlocks, EmptyFragmentAtTheEndOccupiesNothing) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(262140, 0));
  EXPECT_EQ(profile.CountFragments(), 1);
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{0, 262140}}));
}

TEST(FreeBlocks, AFragmentInsideAnotherOpensNoBlockOverIt) {
  // Only a damaged table can look like this; no free block may cover used bytes.
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 1000));
  profile.SetFragment(1, MakeFragment(100, 10));
  profile.SetFragment(2, MakeFragment(2000, 10));
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{1000, 1000}, {2010, 260130}}));
}

TEST(PlaceFragment, TakesTheFirstEmptySlotAndCopiesTheBytes) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 10));
  profile.SetFragment(2, MakeFragment(10, 10));
  std::vector<uint8_t> samples(50);
  std::iota(samples.begin(), samples.end(), 1);

  int slot = profile.PlaceFragment("new", BMemRange{20, 30}, samples.data(), 50);
  ASSERT_EQ(slot, 1);
  const BFragment& placed = profile.GetFragment(1);
  EXPECT_EQ(placed.name, "new");
  EXPECT_EQ(placed.start, 20u);
  EXPECT_EQ(placed.length, 30u);  // the smaller of block and sound
  EXPECT_FALSE(placed.synced);
  EXPECT_EQ(std::vector<uint8_t>(profile.Image() + 20, profile.Image() + 50),
            std::vector<uint8_t>(samples.begin(), samples.begin() + 30));
  EXPECT_EQ(profile.Image()[50], kErasedByte);

  slot = profile.PlaceFragment("short", BMemRange{100, 1000}, samples.data(), 5);
  ASSERT_EQ(slot, 3);
  EXPECT_EQ(profile.GetFragment(3).length, 5u);
}

TEST(PlaceFragment, RefusesAFullTableAndBlocksOutsideTheImage) {
  BProfile profile;
  uint8_t sample = 1;
  EXPECT_EQ(profile.PlaceFragment("x", BMemRange{kImageSize, 10}, &sample, 1), -1);
  EXPECT_EQ(profile.CountFragments(), 0);

  // A block reaching past the image keeps the copy inside it.
  std::vector<uint8_t> samples(500, 7);
  int slot = profile.PlaceFragment("end", BMemRange{262100, 500}, samples.data(), 500);
  ASSERT_EQ(slot, 0);
  EXPECT_EQ(profile.GetFragment(0).length, 40u);

  for (int i = 1; i < kMaxFragments; ++i)
    ASSERT_EQ(profile.PlaceFragment("f", BMemRange{uint32_t(i) * 10, 10}, samples.data(), 10), i);
  EXPECT_EQ(profile.PlaceFragment("17th", BMemRange{1000, 10}, samples.data(), 10), -1);
  EXPECT_EQ(profile.Image()[1000], kErasedByte);
}

TEST(Defragment, IsNeededUnlessTheOnlyFreeBlockReachesTheImageEnd) {
  BProfile profile;
  EXPECT_FALSE(profile.NeedsDefragment());

  profile.SetFragment(0, MakeFragment(0, 1000));
  EXPECT_FALSE(profile.NeedsDefragment());
  profile.SetFragment(1, MakeFragment(2000, 1000));
  EXPECT_TRUE(profile.NeedsDefragment());

  // Packed, but the only free block ends at 131070: still reported.
  profile.SetICCount(2);
  profile.SetFragment(1, MakeFragment(1000, 1000));
  EXPECT_TRUE(profile.NeedsDefragment());

  profile.SetICCount(0);
  profile.SetFragment(1, MakeFragment(1000, 261140));
  EXPECT_TRUE(profile.GetFreeBlocks().empty());
  EXPECT_FALSE(profile.NeedsDefragment());
}

TEST(Defragment, PacksInSlotOrderAndMovesTheBytes) {
  BProfile profile;
  BFragment first = MakeFragment(5000, 100, "first", true);
  BFragment second = MakeFragment(0, 50, "second");
  profile.SetFragment(0, first);
  profile.SetFragment(1, second);
  Paint(profile, first, 0x11);
  Paint(profile, second, 0x22);

  profile.Defragment();
  EXPECT_EQ(profile.GetFragment(0).start, 0u);
  EXPECT_EQ(profile.GetFragment(0).length, 100u);
  EXPECT_EQ(profile.GetFragment(0).name, "first");
  EXPECT_FALSE(profile.GetFragment(0).synced) << "the siren holds it at 5000";
  EXPECT_EQ(profile.GetFragment(1).start, 100u);
  EXPECT_EQ(profile.GetFragment(1).length, 50u);
  EXPECT_FALSE(profile.GetFragment(1).synced);
  EXPECT_EQ(std::vector<uint8_t>(profile.Image(), profile.Image() + 100),
            std::vector<uint8_t>(100, 0x11));
  EXPECT_EQ(std::vector<uint8_t>(profile.Image() + 100, profile.Image() + 150),
            std::vector<uint8_t>(50, 0x22));
  EXPECT_TRUE(ImageIsErased(profile, 150, kImageSize));
  EXPECT_EQ(profile.GetFreeBlocks(), (std::vector<BMemRange>{{150, 262140 - 150}}));
  EXPECT_FALSE(profile.NeedsDefragment());
}

TEST(Defragment, RenumbersPlaylistBelowEightAndEveryBinding) {
  BProfile profile;
  profile.SetFragment(2, MakeFragment(100, 10, "two"));
  profile.SetFragment(5, MakeFragment(50, 10, "five"));
  profile.SetFragment(12, MakeFragment(300, 10, "twelve"));
  SetPlaylist(profile, {5, 2, 12, 2});
  profile.SetPlaylistSynced(true);
  profile.SetButton(0, 5);
  profile.SetButton(1, 12);
  profile.SetButton(2, 7);  // no such fragment: becomes unused

  profile.Defragment();
  EXPECT_EQ(profile.GetFragment(0).name, "two");
  EXPECT_EQ(profile.GetFragment(1).name, "five");
  EXPECT_EQ(profile.GetFragment(2).name, "twelve");
  EXPECT_FALSE(profile.GetFragment(3).IsInUse());
  EXPECT_EQ(Playlist(profile), PlaylistOf({1, 0})) << "nothing kept behind the end mark";
  EXPECT_EQ(profile.GetButton(0), 1);
  EXPECT_EQ(profile.GetButton(1), 2) << "the binding follows fragment twelve to slot 2";
  EXPECT_EQ(profile.GetButton(2), kNone) << "slot 7 is empty; after packing it would name nothing";
  EXPECT_EQ(profile.GetButton(3), kNone);
  EXPECT_FALSE(profile.IsPlaylistSynced());
}

// b moves into a's slot and place (50, 50), where the siren still holds a.
TEST(Defragment, AFragmentMovedIntoAnotherSlotIsNotSynced) {
  BProfile profile;
  profile.SetFragment(1, MakeFragment(50, 50, "a", true));
  profile.SetFragment(2, MakeFragment(1000, 50, "b", true));
  profile.Defragment();
  EXPECT_FALSE(profile.GetFragment(1).synced);
}

TEST(Defragment, OverlappingFragmentsStayInsideTheImage) {
  // A damaged table whose fragments add up to more than the image.
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 200000));
  profile.SetFragment(1, MakeFragment(10000, 200000));
  profile.SetFragment(2, MakeFragment(262100, 0x3FFFF));  // runs past the image
  profile.Defragment();
  EXPECT_EQ(profile.GetFragment(0).length, 200000u);
  EXPECT_EQ(profile.GetFragment(1).start, 200000u);
  EXPECT_EQ(profile.GetFragment(1).length, 62140u);
  EXPECT_EQ(profile.GetFragment(2).start, 262140u);
  EXPECT_EQ(profile.GetFragment(2).length, 0u);
}

TEST(DeleteFragment, RemovesAndRenumbersReferences) {
  BProfile profile;
  for (int slot = 0; slot < 8; ++slot)
    profile.SetFragment(slot,
                        MakeFragment(uint32_t(slot) * 100, 100, std::to_string(slot), slot == 4));
  Paint(profile, profile.GetFragment(3), 0x33);
  Paint(profile, profile.GetFragment(4), 0x44);
  SetPlaylist(profile, {3, 1, 3, 4});
  profile.SetPlaylistSynced(true);
  profile.SetButton(0, 3);
  profile.SetButton(1, 7);
  profile.SetButton(2, 2);

  EXPECT_TRUE(profile.DeleteFragment(3));
  EXPECT_EQ(Playlist(profile), PlaylistOf({1, 3}));
  EXPECT_FALSE(profile.IsPlaylistSynced());
  EXPECT_EQ(profile.GetButton(0), kNone);
  EXPECT_EQ(profile.GetButton(1), 6);
  EXPECT_EQ(profile.GetButton(2), 2);
  EXPECT_EQ(profile.GetButton(3), kNone);

  EXPECT_TRUE(ImageIsErased(profile, 300, 400));
  EXPECT_EQ(profile.Image()[400], 0x44);  // the next fragment's bytes stay
  EXPECT_EQ(profile.GetFragment(3).name, "4");
  EXPECT_FALSE(profile.GetFragment(3).synced);  // the siren's slot 3 holds the deleted one
  EXPECT_EQ(profile.GetFragment(6).name, "7");
  EXPECT_FALSE(profile.GetFragment(7).IsInUse());
  EXPECT_FALSE(profile.GetFragment(15).IsInUse());
  EXPECT_EQ(profile.CountFragments(), 7);
}

TEST(DeleteFragment, ClearsTheLastPlaylistEntryAndKeepsTheFlagWhenNothingChanges) {
  BProfile profile;
  for (int slot = 0; slot < 4; ++slot)
    profile.SetFragment(slot, MakeFragment(uint32_t(slot) * 10, 10));
  std::vector<uint8_t> full(16, 0);
  full[15] = 3;
  SetPlaylist(profile, full);
  profile.DeleteFragment(3);
  EXPECT_EQ(Playlist(profile), PlaylistOf(std::vector<uint8_t>(15, 0)));

  profile.SetPlaylistSynced(true);
  profile.DeleteFragment(2);  // the playlist only holds 0
  EXPECT_TRUE(profile.IsPlaylistSynced());

  // An end mark is never renumbered into an entry; nothing stays behind it.
  SetPlaylist(profile, {0, 8, 1});
  profile.DeleteFragment(1);
  EXPECT_EQ(Playlist(profile), PlaylistOf({0}));
  EXPECT_FALSE(profile.IsPlaylistSynced());
}

TEST(DeleteFragment, EraseStaysInsideTheImage) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(262100, 1000));
  profile.Image()[262099] = 1;
  profile.DeleteFragment(0);
  EXPECT_EQ(profile.Image()[262099], 1);
  EXPECT_TRUE(ImageIsErased(profile, 262100, kImageSize));
}

TEST(Playlist, AppendWritesAtTheEndMarkAndEndsThePlaylistBehindIt) {
  BProfile profile;
  SetPlaylist(profile, {0, 1, 9, 2});
  profile.SetPlaylistSynced(true);
  EXPECT_TRUE(profile.AppendPlaylistEntry(5));
  EXPECT_EQ(Playlist(profile), PlaylistOf({0, 1, 5}));
  EXPECT_FALSE(profile.IsPlaylistSynced());

  SetPlaylist(profile, std::vector<uint8_t>(16, 1));
  profile.SetPlaylistSynced(true);
  EXPECT_FALSE(profile.AppendPlaylistEntry(5));
  EXPECT_EQ(Playlist(profile), std::vector<uint8_t>(16, 1));
  EXPECT_TRUE(profile.IsPlaylistSynced());
}

TEST(Playlist, InsertAndRemoveShiftTheEntries) {
  BProfile profile;
  SetPlaylist(profile, {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7});

  profile.SetPlaylistSynced(true);
  EXPECT_TRUE(profile.InsertPlaylistEntry(1, 7));
  EXPECT_EQ(Playlist(profile),
            (std::vector<uint8_t>{0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(profile.IsPlaylistSynced());

  profile.SetPlaylistSynced(true);
  EXPECT_TRUE(profile.RemovePlaylistEntry(0));
  EXPECT_EQ(Playlist(profile),
            (std::vector<uint8_t>{7, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 255}));
  EXPECT_FALSE(profile.IsPlaylistSynced());

  EXPECT_TRUE(profile.InsertPlaylistEntry(15, 3));
  EXPECT_EQ(profile.GetPlaylistEntry(15), 3);
  EXPECT_TRUE(profile.RemovePlaylistEntry(15));
  EXPECT_EQ(profile.GetPlaylistEntry(15), kNone);
}

TEST(Playlist, MovePutsTheEntryInFrontOfTheTarget) {
  BProfile profile;
  SetPlaylist(profile, {0, 1, 2, 3, 4});
  profile.SetPlaylistSynced(true);

  EXPECT_TRUE(profile.MovePlaylistEntry(1, 1));
  EXPECT_TRUE(profile.MovePlaylistEntry(1, 2));
  EXPECT_EQ(Playlist(profile), PlaylistOf({0, 1, 2, 3, 4}));
  EXPECT_TRUE(profile.IsPlaylistSynced());

  profile.MovePlaylistEntry(0, 3);  // in front of 3
  EXPECT_EQ(Playlist(profile), PlaylistOf({1, 2, 0, 3, 4}));
  EXPECT_FALSE(profile.IsPlaylistSynced()) << "the siren plays the old order";
  profile.MovePlaylistEntry(4, 0);
  EXPECT_EQ(Playlist(profile), PlaylistOf({4, 1, 2, 0, 3}));
  EXPECT_FALSE(profile.MovePlaylistEntry(0, 6)) << "behind the end mark";
  profile.MovePlaylistEntry(0, 5);
  EXPECT_EQ(Playlist(profile), PlaylistOf({1, 2, 0, 3, 4}));

  // Behind the last of 16 entries: the entry becomes the last one.
  SetPlaylist(profile, {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_TRUE(profile.MovePlaylistEntry(2, 16));
  EXPECT_EQ(Playlist(profile), PlaylistOf({0, 1, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 2}));
}

TEST(Transfer, FragmentsBeyondMemoryUseTheSirenCapacity) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 65535));
  EXPECT_TRUE(profile.HasFragmentsBeyondMemory());  // no siren: capacity 0
  profile.SetICCount(1);
  EXPECT_FALSE(profile.HasFragmentsBeyondMemory());
  profile.SetFragment(1, MakeFragment(65000, 1000));
  EXPECT_TRUE(profile.HasFragmentsBeyondMemory());
  profile.SetFragment(1, MakeFragment(65535, 0));
  EXPECT_TRUE(profile.HasFragmentsBeyondMemory());
  profile.SetFragment(1, MakeFragment(0xFFFFF, 10));  // empty slot
  EXPECT_FALSE(profile.HasFragmentsBeyondMemory());
}

TEST(Transfer, PlanIsInSlotOrderAndCutAtTheCapacity) {
  BProfile profile;
  profile.SetICCount(1);
  profile.SetFragment(0, MakeFragment(65000, 1000));
  EXPECT_EQ(profile.BuildTransferPlan(), 535u);
  EXPECT_EQ(profile.GetTransferPlan(), (std::vector<BMemRange>{{65000, 535}}));

  profile.SetFragment(1, MakeFragment(10, 5));
  profile.SetFragment(2, MakeFragment(70000, 5));          // beyond the capacity
  profile.SetFragment(3, MakeFragment(60000, 0xFFFFF));    // valid start, invalid length: kept
  profile.SetFragment(4, MakeFragment(0xFFFFF, 5));        // invalid start: skipped
  profile.SetFragment(5, MakeFragment(100, 0xFFFFFFFFu));  // must not wrap around
  EXPECT_EQ(profile.BuildTransferPlan(), 535u + 5 + 5535 + 65435);
  EXPECT_EQ(profile.GetTransferPlan(),
            (std::vector<BMemRange>{{65000, 535}, {10, 5}, {60000, 5535}, {100, 65435}}));

  uint32_t address = 0;
  ASSERT_TRUE(profile.TransferAddress(0, address));
  EXPECT_EQ(address, 65000u);
  ASSERT_TRUE(profile.TransferAddress(534, address));
  EXPECT_EQ(address, 65534u);
  ASSERT_TRUE(profile.TransferAddress(535, address));
  EXPECT_EQ(address, 10u);
  ASSERT_TRUE(profile.TransferAddress(540, address));
  EXPECT_EQ(address, 60000u);
  uint32_t total = 535u + 5 + 5535 + 65435;
  ASSERT_TRUE(profile.TransferAddress(total - 1, address));
  EXPECT_EQ(address, 65534u);
  EXPECT_FALSE(profile.TransferAddress(total, address));
  EXPECT_FALSE(profile.TransferAddress(0xFFFFFFFFu, address));
}

TEST(Transfer, NoSirenMeansAnEmptyPlan) {
  BProfile profile;
  profile.SetFragment(0, MakeFragment(0, 100));
  EXPECT_EQ(profile.BuildTransferPlan(), 0u);
  uint32_t address = 0;
  EXPECT_FALSE(profile.TransferAddress(0, address));
}
