// Range deletion in the profile and the undo and redo history.
#include <gtest/gtest.h>

#include <vector>

#include "model/edit_history.h"
#include "model/profile.h"

namespace {

// A byte that tells where it came from: its address (mod 251, never 0xFF).
uint8_t PatternAt(uint32_t address) { return static_cast<uint8_t>(address % 251); }

// Puts a fragment into a slot and fills its bytes (those inside the image)
// with the address pattern.
void AddFragment(BProfile& profile, int slot, uint32_t start, uint32_t length,
                 const std::string& name = "f") {
  profile.SetFragment(slot, BFragment{name, start, length, false});
  for (uint32_t address = start; address < start + length && address < kImageSize; ++address)
    profile.Image()[address] = PatternAt(address);
}

std::vector<uint8_t> ImageOf(const BProfile& profile) {
  return std::vector<uint8_t>(profile.Image(), profile.Image() + kImageSize);
}

BMemRange ExtentOf(const BProfile& profile, int slot) {
  return BMemRange{profile.GetFragment(slot).start, profile.GetFragment(slot).length};
}

bool IsErased(const BProfile& profile, uint32_t from, uint32_t to) {
  for (uint32_t address = from; address < to; ++address) {
    if (profile.Image()[address] != kErasedByte) return false;
  }
  return true;
}

// True when bytes [from, to) hold the pattern of the addresses `shift` bytes higher.
bool HoldsPattern(const BProfile& profile, uint32_t from, uint32_t to, uint32_t shift = 0) {
  for (uint32_t address = from; address < to; ++address) {
    if (profile.Image()[address] != PatternAt(address + shift)) return false;
  }
  return true;
}

// The profile every range test starts from: slot 0 {1000, 500} between two
// neighbours that must never be touched.
class RangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddFragment(profile, 0, 1000, 500, "middle");
    profile.SetFragmentSynced(0, true);
    AddFragment(profile, 1, 900, 100, "before");
    AddFragment(profile, 2, 2000, 100, "after");
  }

  void ExpectNeighboursIntact() const {
    EXPECT_TRUE(HoldsPattern(profile, 900, 1000));
    EXPECT_TRUE(HoldsPattern(profile, 2000, 2100));
    EXPECT_TRUE(IsErased(profile, 1500, 2000));
  }

  BProfile profile;
};

}  // namespace

// ---- BProfile::DeleteRange ----

TEST_F(RangeTest, CutAtTheHeadMakesTheFragmentBeginLater) {
  ASSERT_TRUE(profile.DeleteRange(0, 1000, 100));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1100, 400}));
  EXPECT_TRUE(IsErased(profile, 1000, 1100));
  EXPECT_TRUE(HoldsPattern(profile, 1100, 1500));  // nothing moved
  ExpectNeighboursIntact();
  // The freed bytes lie before the fragment.
  std::vector<BMemRange> blocks = profile.GetFreeBlocks();
  ASSERT_GE(blocks.size(), 2u);
  EXPECT_EQ(blocks[1], (BMemRange{1000, 100}));
}

TEST_F(RangeTest, CutInsideMovesTheTailDown) {
  ASSERT_TRUE(profile.DeleteRange(0, 1100, 100));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 400}));
  EXPECT_TRUE(HoldsPattern(profile, 1000, 1100));
  EXPECT_TRUE(HoldsPattern(profile, 1100, 1400, 100));  // 1200..1499 now at 1100
  EXPECT_TRUE(IsErased(profile, 1400, 1500));
  ExpectNeighboursIntact();
  EXPECT_EQ(profile.GetFreeBlocks()[1], (BMemRange{1400, 600}));
}

TEST_F(RangeTest, CutOfOneByteInsideKeepsTheOrderOfTheRest) {
  ASSERT_TRUE(profile.DeleteRange(0, 1001, 1));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 499}));
  EXPECT_EQ(profile.Image()[1000], PatternAt(1000));
  EXPECT_TRUE(HoldsPattern(profile, 1001, 1499, 1));
  EXPECT_EQ(profile.Image()[1499], kErasedByte);
}

TEST_F(RangeTest, CutReachingTheEndShortensTheFragment) {
  ASSERT_TRUE(profile.DeleteRange(0, 1300, 200));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 300}));
  EXPECT_TRUE(HoldsPattern(profile, 1000, 1300));
  EXPECT_TRUE(IsErased(profile, 1300, 1500));
  ExpectNeighboursIntact();
}

TEST_F(RangeTest, CountsPastTheEndStopAtTheEnd) {
  // From inside, even a count that would wrap 32 bits.
  ASSERT_TRUE(profile.DeleteRange(0, 1300, 0xFFFFFFFFu));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 300}));
  ExpectNeighboursIntact();
  // From the head.
  ASSERT_TRUE(profile.DeleteRange(0, 1000, 5000));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1300, 0}));
  ExpectNeighboursIntact();
}

TEST_F(RangeTest, WholeFragmentLeavesAnEmptyFragmentInUseAtItsOldEnd) {
  ASSERT_TRUE(profile.DeleteRange(0, 1000, 500));
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1500, 0}));
  EXPECT_TRUE(profile.GetFragment(0).IsInUse());
  EXPECT_TRUE(IsErased(profile, 1000, 1500));
  ExpectNeighboursIntact();
  // The name is not part of the edit; the siren no longer holds what the fragment is.
  EXPECT_EQ(profile.GetFragment(0).name, "middle");
  EXPECT_FALSE(profile.GetFragment(0).synced);
}

TEST_F(RangeTest, BadRequestsChangeNothing) {
  AddFragment(profile, 3, 262000, 200);  // a damaged entry reaching past the image
  const std::vector<uint8_t> image = ImageOf(profile);
  const BMemRange extents[4] = {ExtentOf(profile, 0), ExtentOf(profile, 1), ExtentOf(profile, 2),
                                ExtentOf(profile, 3)};

  EXPECT_FALSE(profile.DeleteRange(-1, 1000, 10));
  EXPECT_FALSE(profile.DeleteRange(16, 1000, 10));
  EXPECT_FALSE(profile.DeleteRange(4, 1000, 10));    // empty slot
  EXPECT_FALSE(profile.DeleteRange(0, 999, 10));     // before the fragment
  EXPECT_FALSE(profile.DeleteRange(0, 1501, 10));    // after its end
  EXPECT_FALSE(profile.DeleteRange(3, 262000, 10));  // reaches past the image

  for (int slot = 0; slot < 4; ++slot)
    EXPECT_EQ(ExtentOf(profile, slot), extents[slot]) << "slot " << slot;
  EXPECT_EQ(ImageOf(profile), image);
}

TEST_F(RangeTest, EmptyCutsSucceedAndChangeNothing) {
  const std::vector<uint8_t> image = ImageOf(profile);
  EXPECT_TRUE(profile.DeleteRange(0, 1000, 0));
  EXPECT_TRUE(profile.DeleteRange(0, 1200, 0));
  EXPECT_TRUE(profile.DeleteRange(0, 1500, 100));  // just past the end: nothing to cut
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 500}));
  EXPECT_EQ(ImageOf(profile), image);
}

// ---- BEditHistory ----

TEST_F(RangeTest, PushRecordsAnIndependentCopyAndRefusesEmptySlots) {
  BEditHistory history;
  EXPECT_FALSE(history.PushUndo(profile, -1, true));
  EXPECT_FALSE(history.PushUndo(profile, 16, true));
  EXPECT_FALSE(history.PushUndo(profile, 5, true));
  EXPECT_FALSE(history.PushRedo(profile, 5));
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.NextUndoFragment(), -1);

  ASSERT_TRUE(history.PushUndo(profile, 0, true));
  profile.Image()[1000] = 0x42;  // a later edit does not reach the snapshot
  ASSERT_EQ(history.UndoEntries().size(), 1u);
  const BHistoryEntry& entry = history.UndoEntries()[0];
  EXPECT_EQ(entry.fragmentIndex, 0);
  EXPECT_EQ(entry.start, 1000u);
  EXPECT_EQ(entry.length, 500u);
  ASSERT_EQ(entry.bytes.size(), 500u);
  EXPECT_EQ(entry.bytes[0], PatternAt(1000));
  EXPECT_EQ(entry.bytes[499], PatternAt(1499));
  EXPECT_EQ(history.ByteCount(), 500u);
  EXPECT_EQ(history.NextUndoFragment(), 0);
}

TEST_F(RangeTest, DeleteUndoRedoEndsAsAfterTheDeletion) {
  const std::vector<uint8_t> before = ImageOf(profile);
  BEditHistory history;
  ASSERT_TRUE(history.PushUndo(profile, 0, true));
  ASSERT_TRUE(profile.DeleteRange(0, 1300, 200));
  const std::vector<uint8_t> after = ImageOf(profile);

  BHistoryStep undo = history.Undo(profile);
  EXPECT_EQ(undo.outcome, BHistoryOutcome::Restored);
  EXPECT_EQ(undo.fragment, 0);
  EXPECT_FALSE(undo.canUndo);
  EXPECT_TRUE(undo.canRedo);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 500}));
  EXPECT_EQ(ImageOf(profile), before);
  EXPECT_EQ(profile.GetFragment(0).name, "middle");
  // The siren may have been written between the cut and the undo.
  EXPECT_FALSE(profile.GetFragment(0).synced);

  BHistoryStep redo = history.Redo(profile);
  EXPECT_EQ(redo.outcome, BHistoryOutcome::Restored);
  EXPECT_TRUE(redo.canUndo);
  EXPECT_FALSE(redo.canRedo);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 300}));
  EXPECT_EQ(ImageOf(profile), after);  // the tail the redo gives up is erased again
  EXPECT_EQ(history.UndoEntries().size(), 1u);
  EXPECT_TRUE(history.RedoEntries().empty());
}

TEST_F(RangeTest, UndoOfAHeadCutMovesTheStartBack) {
  const std::vector<uint8_t> before = ImageOf(profile);
  BEditHistory history;
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1000, 100);
  const std::vector<uint8_t> after = ImageOf(profile);

  history.Undo(profile);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 500}));
  EXPECT_EQ(ImageOf(profile), before);
  history.Redo(profile);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1100, 400}));
  EXPECT_EQ(ImageOf(profile), after);
}

TEST_F(RangeTest, UndoAfterUndoWalksBackAndRedoWalksForward) {
  BEditHistory history;
  const std::vector<uint8_t> original = ImageOf(profile);
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1100, 100);  // {1000, 400}
  const std::vector<uint8_t> afterFirst = ImageOf(profile);
  history.PushUndo(profile, 2, true);
  profile.Image()[2050] = 0x01;  // an edit in place, as amplification does
  const std::vector<uint8_t> afterSecond = ImageOf(profile);

  EXPECT_EQ(history.Undo(profile).fragment, 2);
  EXPECT_EQ(ImageOf(profile), afterFirst);
  BHistoryStep second = history.Undo(profile);
  EXPECT_EQ(second.fragment, 0);
  EXPECT_FALSE(second.canUndo);
  EXPECT_EQ(ImageOf(profile), original);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 500}));

  BHistoryStep none = history.Undo(profile);
  EXPECT_EQ(none.outcome, BHistoryOutcome::NothingToDo);
  EXPECT_EQ(none.fragment, -1);
  EXPECT_TRUE(none.canRedo);
  EXPECT_EQ(ImageOf(profile), original);

  EXPECT_EQ(history.NextRedoFragment(), 0);
  history.Redo(profile);
  EXPECT_EQ(ImageOf(profile), afterFirst);
  BHistoryStep last = history.Redo(profile);
  EXPECT_EQ(last.fragment, 2);
  EXPECT_FALSE(last.canRedo);
  EXPECT_EQ(ImageOf(profile), afterSecond);
  EXPECT_EQ(history.Redo(profile).outcome, BHistoryOutcome::NothingToDo);
  EXPECT_EQ(history.UndoEntries().size(), 2u);
}

TEST_F(RangeTest, ANewEditClearsRedoButARedoDoesNot) {
  BEditHistory history;
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1000, 10);
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1010, 10);
  history.Undo(profile);
  ASSERT_TRUE(history.CanRedo());

  // Recording without clearing (what a redo does) keeps the redo list.
  history.PushUndo(profile, 1, false);
  EXPECT_TRUE(history.CanRedo());
  history.Undo(profile);
  EXPECT_EQ(history.RedoEntries().size(), 2u);

  // A third deletion is a new edit.
  ASSERT_TRUE(history.PushUndo(profile, 0, true));
  profile.DeleteRange(0, 1400, 100);
  EXPECT_FALSE(history.CanRedo());
  EXPECT_TRUE(history.RedoEntries().empty());
  EXPECT_EQ(history.UndoEntries().size(), 2u);
  EXPECT_EQ(history.ByteCount(), 500u + 490u);
}

TEST_F(RangeTest, AnEntryOfAFragmentNoLongerInUseIsDropped) {
  BEditHistory history;
  history.PushUndo(profile, 0, true);
  history.PushUndo(profile, 1, true);
  profile.DeleteRange(0, 1000, 100);
  profile.SetFragment(1, BFragment::Empty());  // gone without the history being told
  const std::vector<uint8_t> image = ImageOf(profile);

  BHistoryStep step = history.Undo(profile);
  EXPECT_EQ(step.outcome, BHistoryOutcome::NoFragment);
  EXPECT_EQ(step.fragment, 1);
  EXPECT_TRUE(step.canUndo);
  EXPECT_FALSE(step.canRedo);  // an empty slot is not recorded
  EXPECT_EQ(ImageOf(profile), image);
  EXPECT_FALSE(profile.GetFragment(1).IsInUse());

  // The next undo goes on with the older entry.
  EXPECT_EQ(history.Undo(profile).outcome, BHistoryOutcome::Restored);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 500}));
}

TEST_F(RangeTest, AnUndoThatWouldOverwriteAnotherFragmentIsDropped) {
  BEditHistory history;
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1300, 200);  // frees 1300..1499
  history.PushUndo(profile, 0, true);
  profile.DeleteRange(0, 1200, 100);         // frees 1200..1299
  AddFragment(profile, 3, 1400, 50, "new");  // an import into the freed space

  // Back to {1000, 300} claims only 1200..1299: free, so it is restored.
  EXPECT_EQ(history.Undo(profile).outcome, BHistoryOutcome::Restored);
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 300}));

  // Back to {1000, 500} would cover the new fragment.
  const std::vector<uint8_t> beforeDropped = ImageOf(profile);
  BHistoryStep step = history.Undo(profile);
  EXPECT_EQ(step.outcome, BHistoryOutcome::WouldOverlap);
  EXPECT_EQ(step.fragment, 0);
  EXPECT_FALSE(step.canUndo);
  EXPECT_EQ(history.RedoEntries().size(), 1u);  // only the first undo's record
  EXPECT_EQ(ExtentOf(profile, 0), (BMemRange{1000, 300}));
  EXPECT_EQ(ImageOf(profile), beforeDropped);
  EXPECT_TRUE(HoldsPattern(profile, 1400, 1450));
  EXPECT_TRUE(HoldsPattern(profile, 1000, 1300));  // what the first undo brought back
  EXPECT_TRUE(IsErased(profile, 1300, 1400));
}

TEST_F(RangeTest, RenumberDropsTheDeletedFragmentsEntriesAndShiftsLaterOnes) {
  AddFragment(profile, 3, 3000, 10);
  AddFragment(profile, 4, 4000, 20);
  BEditHistory history;
  history.PushUndo(profile, 1, true);
  history.PushUndo(profile, 2, true);
  history.PushUndo(profile, 4, true);
  history.PushRedo(profile, 2);
  history.PushRedo(profile, 3);

  EXPECT_FALSE(history.RenumberHistory(-1));
  EXPECT_FALSE(history.RenumberHistory(16));
  EXPECT_EQ(history.UndoEntries().size(), 3u);

  profile.DeleteFragment(2);
  ASSERT_TRUE(history.RenumberHistory(2));
  ASSERT_EQ(history.UndoEntries().size(), 2u);
  EXPECT_EQ(history.UndoEntries()[0].fragmentIndex, 1);
  EXPECT_EQ(history.UndoEntries()[0].bytes.size(), 100u);
  EXPECT_EQ(history.UndoEntries()[1].fragmentIndex, 3);
  EXPECT_EQ(history.UndoEntries()[1].bytes.size(), 20u);
  ASSERT_EQ(history.RedoEntries().size(), 1u);
  EXPECT_EQ(history.RedoEntries()[0].fragmentIndex, 2);
  EXPECT_EQ(history.RedoEntries()[0].length, 10u);  // the bytes moved with the entry
  EXPECT_EQ(history.ByteCount(), 100u + 20u + 10u);

  // The renumbered entry restores the fragment that now sits in slot 3.
  profile.DeleteRange(3, 4000, 5);
  EXPECT_EQ(history.Undo(profile).fragment, 3);
  EXPECT_EQ(ExtentOf(profile, 3), (BMemRange{4000, 20}));
  EXPECT_TRUE(HoldsPattern(profile, 4000, 4020));

  // Dropping the last entries of a list empties it.
  ASSERT_TRUE(history.RenumberHistory(1));
  EXPECT_FALSE(history.CanUndo());
  EXPECT_TRUE(history.CanRedo());
  ASSERT_TRUE(history.RenumberHistory(1));  // the redo entries for old slots 2 and 3
  ASSERT_TRUE(history.RenumberHistory(1));
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.ByteCount(), 0u);
}

TEST_F(RangeTest, ClearEmptiesBothLists) {
  BEditHistory history;
  history.PushUndo(profile, 0, true);
  history.PushRedo(profile, 1);
  history.Clear();
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.ByteCount(), 0u);
  EXPECT_EQ(history.Undo(profile).outcome, BHistoryOutcome::NothingToDo);
  EXPECT_EQ(history.Redo(profile).outcome, BHistoryOutcome::NothingToDo);
}

TEST_F(RangeTest, TheByteLimitDropsTheOldestEntriesButKeepsTheNewest) {
  BEditHistory history;
  EXPECT_EQ(history.GetByteLimit(), BEditHistory::kDefaultByteLimit);
  history.SetByteLimit(1000);
  history.PushUndo(profile, 1, true);  // 100
  history.PushUndo(profile, 2, true);  // 100
  history.PushUndo(profile, 0, true);  // 500
  EXPECT_EQ(history.ByteCount(), 700u);
  history.PushRedo(profile, 0);  // 500: 1200 in all, the two oldest undo entries go
  ASSERT_EQ(history.UndoEntries().size(), 1u);
  EXPECT_EQ(history.UndoEntries()[0].fragmentIndex, 0);
  EXPECT_EQ(history.ByteCount(), 1000u);

  // With one undo entry left, the redo entries furthest from the present go.
  history.PushRedo(profile, 1);  // 1100
  ASSERT_EQ(history.RedoEntries().size(), 1u);
  EXPECT_EQ(history.RedoEntries()[0].fragmentIndex, 1);
  EXPECT_EQ(history.UndoEntries().size(), 1u);
  EXPECT_EQ(history.ByteCount(), 600u);

  // The newest entry of each list always stays.
  history.SetByteLimit(1);
  EXPECT_EQ(history.UndoEntries().size(), 1u);
  EXPECT_EQ(history.RedoEntries().size(), 1u);
  EXPECT_EQ(history.ByteCount(), 600u);

  // A full-memory fragment fits as the only entry, however small the limit.
  history.Clear();
  BProfile full;
  AddFragment(full, 0, 0, kImageSize);
  ASSERT_TRUE(history.PushUndo(full, 0, true));
  full.DeleteRange(0, 0, kImageSize);
  EXPECT_EQ(history.Undo(full).outcome, BHistoryOutcome::Restored);
  EXPECT_TRUE(HoldsPattern(full, 0, kImageSize));
}

// Levelling edits several fragments at once: one undo takes back all of
// them and one redo does them all again, an older single entry stays a step
// of its own, and a group whose first fragment is deleted stays one step.
TEST_F(RangeTest, AGroupIsUndoneAndRedoneAsOneStep) {
  BEditHistory history;
  const std::vector<uint8_t> original = ImageOf(profile);
  ASSERT_TRUE(history.PushUndo(profile, 1, true));
  profile.Image()[950] = 1;  // a single edit of slot 1
  const std::vector<uint8_t> afterSingle = ImageOf(profile);
  EXPECT_FALSE(history.PushUndoGroup(profile, {0, 5}));  // slot 5 is empty
  EXPECT_EQ(1u, history.UndoEntries().size());
  ASSERT_TRUE(history.PushUndoGroup(profile, {0, 1, 2}));
  for (uint32_t address : {1000u, 960u, 2050u}) profile.Image()[address] = 2;
  const std::vector<uint8_t> afterGroup = ImageOf(profile);

  EXPECT_EQ(BHistoryOutcome::Restored, history.Undo(profile).outcome);
  EXPECT_EQ(afterSingle, ImageOf(profile));
  EXPECT_EQ(3u, history.RedoEntries().size());
  EXPECT_EQ(BHistoryOutcome::Restored, history.Redo(profile).outcome);
  EXPECT_EQ(afterGroup, ImageOf(profile));
  EXPECT_EQ(BHistoryOutcome::Restored, history.Undo(profile).outcome);
  EXPECT_EQ(BHistoryOutcome::Restored, history.Undo(profile).outcome);
  EXPECT_EQ(original, ImageOf(profile));
  EXPECT_FALSE(history.CanUndo());

  // Slot 0 (the group's first entry) deleted: the rest is still one step.
  history.Redo(profile);
  history.Redo(profile);
  ASSERT_TRUE(history.PushUndoGroup(profile, {0, 1, 2}));
  profile.Image()[960] = 3;
  profile.Image()[2050] = 3;
  ASSERT_TRUE(profile.DeleteFragment(0));
  ASSERT_TRUE(history.RenumberHistory(0));
  EXPECT_EQ(BHistoryOutcome::Restored, history.Undo(profile).outcome);
  EXPECT_EQ(2, profile.Image()[960]);
  EXPECT_EQ(2, profile.Image()[2050]);
  EXPECT_EQ(3u, history.UndoEntries().size()) << "the single entry and the older group are left";
  EXPECT_EQ(BHistoryOutcome::Restored, history.Undo(profile).outcome);
  EXPECT_EQ(1, profile.Image()[950]);
  EXPECT_EQ(PatternAt(2050), profile.Image()[2050]);
  EXPECT_EQ(1u, history.UndoEntries().size());
}
