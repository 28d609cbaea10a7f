// "In step": a fragment's synced flag survives only what leaves its start,
// length and bytes as they were; the playlist is in step only with its
// positions stored and every fragment it names in step.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <vector>

#include "audio/gain.h"
#include "model/document.h"
#include "model/profile.h"

namespace {

// What the siren must hold for one slot, taken independently of the profile's
// own bookkeeping: the raw entry and the image bytes under it.
struct BSlotState {
  uint32_t start = 0;
  uint32_t length = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const BSlotState& other) const {
    return start == other.start && length == other.length && bytes == other.bytes;
  }
};

std::vector<BSlotState> SlotStates(const BProfile& profile) {
  std::vector<BSlotState> states;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    BSlotState state{fragment.start, fragment.length, {}};
    if (fragment.IsInUse() && fragment.start + fragment.length <= kImageSize)
      state.bytes.assign(profile.Image() + fragment.start,
                         profile.Image() + fragment.start + fragment.length);
    states.push_back(std::move(state));
  }
  return states;
}

// A fragment with random bytes at the start of the first free block.
void PlaceRandom(BDocument& document, std::mt19937& random, uint32_t length) {
  std::vector<uint8_t> bytes(length);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random() % 255);
  std::vector<BMemRange> free = document.Profile().GetFreeBlocks();
  if (!free.empty())
    document.PlaceFragment("new", free.front(), bytes.data(), length, BEditKind::Import);
}

class BNoView : public BDocumentView {
  void OnFragmentChanged(int) override {}
  void OnProfileReplaced() override {}
  void OnHistoryChanged() override {}
};

int RandomSlotInUse(const BProfile& profile, std::mt19937& random) {
  std::vector<int> used;
  for (int slot = 0; slot < kMaxFragments; ++slot)
    if (profile.GetFragment(slot).IsInUse()) used.push_back(slot);
  return used.empty() ? -1 : used[random() % used.size()];
}

}  // namespace

// Random edits of every kind through the document, each followed by the
// check of every slot against its state before the edit: a slot whose start,
// length or bytes changed is not synced; any other slot keeps its flag (a
// rename, a cut of nothing, a gain of 0 %, an undo that restores what is there).
TEST(InStep, EveryChangeOfAFragmentClearsItsFlagAndNothingElseDoes) {
  std::mt19937 random(20240927);
  BNoView view;
  BDocument document(view);
  BProfile& profile = document.ProfileForLink();
  for (int i = 0; i < 8; ++i) PlaceRandom(document, random, 200 + random() % 3000);

  int changedChecks = 0, keptChecks = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (int step = 0; step < 4000 && std::chrono::steady_clock::now() < deadline; ++step) {
    // As after a write: some fragments are known to be held by the siren.
    for (int slot = 0; slot < kMaxFragments; ++slot)
      if (profile.GetFragment(slot).IsInUse() && random() % 2)
        profile.SetFragmentSynced(slot, true);
    const std::vector<BSlotState> before = SlotStates(profile);
    std::vector<bool> syncedBefore;
    for (int slot = 0; slot < kMaxFragments; ++slot)
      syncedBefore.push_back(profile.GetFragment(slot).synced);

    const int slot = RandomSlotInUse(profile, random);
    const BFragment fragment = profile.GetFragment(slot);
    const int kind = static_cast<int>(random() % 9);
    if (slot < 0 && kind < 6) {
      PlaceRandom(document, random, 500);
      continue;
    }
    switch (kind) {
      case 0:
      case 1: {  // a cut, sometimes of nothing, sometimes reaching past the end
        uint32_t address = fragment.start + random() % (fragment.length + 1);
        uint32_t count = random() % 4 == 0 ? 0 : random() % (fragment.length / 2 + 2);
        document.DeleteRange(slot, address, count);
        break;
      }
      case 2: {  // amplification of a piece, sometimes by 0 %
        int32_t gain = random() % 3 == 0 ? 0 : -100 + static_cast<int32_t>(random() % 401);
        uint32_t offset = fragment.length ? random() % fragment.length : 0;
        document.ChangeBytes(slot, offset, random() % 2000, [gain](uint8_t* bytes, uint32_t count) {
          ApplyGainToSigned(bytes, count, gain);
        });
        break;
      }
      case 3:
        document.RenameFragment(slot, "renamed " + std::to_string(step));
        break;
      case 4:
        document.Undo();
        break;
      case 5:
        document.Redo();
        break;
      case 6:
        if (profile.CountFragments() < 12) PlaceRandom(document, random, 100 + random() % 2000);
        break;
      case 7:
        if (slot >= 0 && profile.CountFragments() > 4) document.DeleteFragment(slot);
        break;
      case 8:
        document.Defragment();
        break;
    }

    const std::vector<BSlotState> after = SlotStates(profile);
    for (int s = 0; s < kMaxFragments; ++s) {
      if (!(after[s] == before[s])) {
        ++changedChecks;
        ASSERT_FALSE(profile.GetFragment(s).synced)
            << "step " << step << " kind " << kind << " slot " << s;
      } else if (profile.GetFragment(s).IsInUse()) {
        ++keptChecks;
        ASSERT_EQ(profile.GetFragment(s).synced, syncedBefore[s])
            << "step " << step << " kind " << kind << " slot " << s;
      }
    }
  }
  // Both sides of the rule were really exercised.
  EXPECT_GT(changedChecks, 500);
  EXPECT_GT(keptChecks, 5000);
}

TEST(InStep, ThePlaylistNeedsItsPositionsStoredAndEveryFragmentItNamesInStep) {
  BProfile profile;
  const uint8_t bytes[100] = {};
  for (uint32_t i = 0; i < 4; ++i) profile.PlaceFragment("f", BMemRange{i * 100, 100}, bytes, 100);
  for (int slot = 0; slot < 4; ++slot) profile.SetFragmentSynced(slot, true);
  profile.AppendPlaylistEntry(2);
  profile.AppendPlaylistEntry(0);
  EXPECT_FALSE(profile.IsPlaylistInStep()) << "the positions were never stored";

  profile.SetPlaylistSynced(true);
  EXPECT_TRUE(profile.IsPlaylistInStep());
  EXPECT_TRUE(profile.DeleteRange(3, 300, 10));  // fragment 3 is not in the playlist
  EXPECT_TRUE(profile.IsPlaylistInStep());
  EXPECT_TRUE(profile.DeleteRange(0, 50, 10));  // but fragment 0 is
  EXPECT_FALSE(profile.IsPlaylistInStep());
  EXPECT_TRUE(profile.IsPlaylistSynced()) << "the stored positions themselves are unchanged";

  profile.SetFragmentSynced(0, true);  // as after writing it again
  EXPECT_TRUE(profile.IsPlaylistInStep());
  profile.SetPlaylistEntry(1, 7);  // a raw value naming an empty slot (as a job may store)
  EXPECT_FALSE(profile.IsPlaylistInStep());
  profile.RemovePlaylistEntry(1);
  profile.RemovePlaylistEntry(0);
  profile.SetPlaylistSynced(true);
  EXPECT_EQ(profile.PlaylistLength(), 0);
  EXPECT_TRUE(profile.IsPlaylistInStep()) << "an empty stored playlist names nothing out of step";
}
