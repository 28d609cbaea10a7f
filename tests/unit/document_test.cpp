// The document: its files, its edits as undoable steps, what it tells its
// view, the in-step rule after a restore, the history's limits, and a random
// run of every edit, undo and redo against a reference that keeps a full copy
// of the profile after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/document.h"
#include "tests/unit/test_files.h"

namespace {

// What the view was told, in order: "f<slot>", "replaced", "history".
class BRecordingView : public BDocumentView {
 public:
  void OnFragmentChanged(int slot) override { calls.push_back("f" + std::to_string(slot)); }
  void OnProfileReplaced() override { calls.push_back("replaced"); }
  void OnHistoryChanged() override { calls.push_back("history"); }
  std::vector<std::string> Take() { return std::exchange(calls, {}); }

  std::vector<std::string> calls;
};

using BCalls = std::vector<std::string>;

// The reference: what the user edits in a profile, the image in 4 KB pages
// shared with the previous copy where they are equal, so that thousands of
// full copies fit in memory.
struct BCopy {
  static constexpr uint32_t kPage = 4096;
  std::vector<BFragment> fragments;
  std::vector<uint8_t> playlist, buttons;
  std::vector<std::shared_ptr<const std::vector<uint8_t>>> pages;

  BCopy(const BProfile& profile, const BCopy* previous) {
    for (int slot = 0; slot < kMaxFragments; ++slot) fragments.push_back(profile.GetFragment(slot));
    for (int position = 0; position < kMaxPlaylistEntries; ++position)
      playlist.push_back(profile.GetPlaylistEntry(position));
    for (int button = 0; button < kButtonCount; ++button)
      buttons.push_back(profile.GetButton(button));
    for (uint32_t at = 0, page = 0; at < kImageSize; at += kPage, ++page) {
      const uint8_t* bytes = profile.Image() + at;
      const uint32_t size = std::min(kPage, kImageSize - at);
      if (previous && std::memcmp(previous->pages[page]->data(), bytes, size) == 0)
        pages.push_back(previous->pages[page]);
      else
        pages.push_back(std::make_shared<std::vector<uint8_t>>(bytes, bytes + size));
    }
  }

  // Differences, as text; empty when the profile holds exactly this.
  std::string Compare(const BProfile& profile) const {
    std::string out;
    for (int slot = 0; slot < kMaxFragments; ++slot) {
      const BFragment& is = profile.GetFragment(slot);
      if (is.name != fragments[slot].name || is.start != fragments[slot].start ||
          is.length != fragments[slot].length)
        out += " slot " + std::to_string(slot);
    }
    for (int position = 0; position < kMaxPlaylistEntries; ++position)
      if (profile.GetPlaylistEntry(position) != playlist[position]) out += " playlist";
    for (int button = 0; button < kButtonCount; ++button)
      if (profile.GetButton(button) != buttons[button]) out += " button";
    for (uint32_t page = 0; page < pages.size(); ++page)
      if (std::memcmp(pages[page]->data(), profile.Image() + page * kPage, pages[page]->size()))
        out += " page " + std::to_string(page);
    return out;
  }
};

std::vector<uint8_t> Bytes(uint32_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

int Place(BDocument& document, const std::string& name, uint32_t count, uint8_t seed = 1) {
  std::vector<uint8_t> bytes = Bytes(count, seed);
  return document.PlaceFragment(name, document.Profile().GetFreeBlocks().front(), bytes.data(),
                                count, BEditKind::Import);
}

// "<kind number> <fragment>", "-" when there is no step.
std::string Text(const std::optional<BStepName>& name) {
  return name ? std::to_string(static_cast<int>(name->kind)) + " " + name->fragmentName : "-";
}

void AddOne(uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) ++bytes[i];
}

// A profile of three fragments (a, beep, c), a playlist and a button,
// nothing to undo, everything in step with the siren.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Place(document, "a", 1000, 1);
    Place(document, "beep", 2000, 2);
    Place(document, "c", 500, 3);
    document.AppendPlaylistEntry(1);
    document.AppendPlaylistEntry(0);
    document.SetButton(2, 1);
    document.ClearHistory();
    BProfile& profile = document.ProfileForLink();
    for (int slot = 0; slot < 3; ++slot) profile.SetFragmentSynced(slot, true);
    profile.SetPlaylistSynced(true);
    view.Take();
  }

  BRecordingView view;
  BDocument document{view};
};

TEST_F(DocumentTest, EachEditTellsTheViewWhatChangedAndNamesItsStep) {
  const BProfile& profile = document.Profile();
  EXPECT_TRUE(document.DeleteRange(1, profile.GetFragment(1).start + 10, 100));
  EXPECT_EQ(view.Take(), (BCalls{"f1", "history"}));
  EXPECT_EQ(Text(document.NextUndoName()), "0 beep");  // Cut

  // Deleting renumbers the table, the playlist and the button: all of it is refilled.
  EXPECT_TRUE(document.DeleteFragment(1));
  EXPECT_EQ(view.Take(), (BCalls{"replaced", "history"}));
  EXPECT_EQ(Text(document.NextUndoName()), "2 beep");  // Delete
  // An import into an empty slot concerns that slot alone.
  EXPECT_EQ(Place(document, "new", 300), 2);
  EXPECT_EQ(view.Take(), (BCalls{"f2", "history"}));
  EXPECT_TRUE(document.RenameFragment(0, "a2"));
  EXPECT_EQ(view.Take(), (BCalls{"f0", "history"}));
  EXPECT_EQ(Text(document.NextUndoName()), "5 a");  // Rename, as the user knew it
  EXPECT_TRUE(document.MovePlaylistEntry(0, 0));    // dropped where it is: no step
  EXPECT_TRUE(document.RenameFragment(0, "a2"));
  EXPECT_TRUE(view.Take().empty());
  EXPECT_TRUE(document.SetButton(0, 0));
  EXPECT_EQ(view.Take(), (BCalls{"replaced", "history"}));

  // Gain on two fragments as one step: the view hears of it once, at the end.
  ASSERT_TRUE(document.BeginStep(BEditKind::Levelling));
  EXPECT_TRUE(document.ChangeBytes(0, 0, 1000, AddOne));
  EXPECT_TRUE(document.ChangeBytes(1, 0, 1000, AddOne));
  EXPECT_TRUE(view.Take().empty());
  document.EndStep();
  EXPECT_EQ(view.Take(), (BCalls{"replaced", "history"}));
  EXPECT_EQ(document.History().UndoCount(), 6u);
  EXPECT_TRUE(document.Undo());  // both fragments at once
  EXPECT_EQ(view.Take(), (BCalls{"replaced", "history"}));
  EXPECT_EQ(Text(document.NextRedoName()), "9 ");  // Levelling

  // Back to the start: the deleted fragment is in its slot with its name and
  // bytes, and the playlist and the button name it again.
  while (document.Undo()) {
  }
  const BFragment& beep = profile.GetFragment(1);
  EXPECT_EQ(beep.name, "beep");
  EXPECT_EQ(std::vector<uint8_t>(profile.Image() + beep.start,
                                 profile.Image() + beep.start + beep.length),
            Bytes(2000, 2));
  EXPECT_TRUE(profile.GetPlaylistEntry(0) == 1 && profile.GetButton(2) == 1);
  EXPECT_TRUE(document.IsModified());
}

TEST_F(DocumentTest, NothingChangesWhileAJobHoldsTheProfile) {
  ASSERT_TRUE(document.RenameFragment(0, "x"));
  ASSERT_TRUE(document.Undo());
  const std::vector<uint8_t> before = Snapshot(document.Profile());
  view.Take();
  document.SetHeldByJob(true);
  uint8_t bytes[10] = {};
  EXPECT_FALSE(document.DeleteRange(0, document.Profile().GetFragment(0).start, 10));
  EXPECT_FALSE(document.ChangeBytes(0, 0, 10, AddOne));
  EXPECT_FALSE(document.DeleteFragment(0));
  EXPECT_EQ(document.PlaceFragment("n", BMemRange{100000, 10}, bytes, 10, BEditKind::Signal), -1);
  EXPECT_FALSE(document.RenameFragment(0, "y"));
  EXPECT_FALSE(document.AppendPlaylistEntry(0) || document.InsertPlaylistEntry(0, 0) ||
               document.RemovePlaylistEntry(0) || document.MovePlaylistEntry(0, 2));
  EXPECT_FALSE(document.SetButton(0, 0));
  EXPECT_FALSE(document.Defragment());
  EXPECT_FALSE(document.BeginStep(BEditKind::Levelling));
  EXPECT_FALSE(document.Redo() || document.Undo() || document.New() || document.SaveAs("x.zpf"));
  EXPECT_EQ(Snapshot(document.Profile()), before);
  EXPECT_TRUE(view.Take().empty());
  EXPECT_TRUE(document.CanRedo());
  document.SetHeldByJob(false);
  EXPECT_TRUE(document.Redo());
}

TEST_F(DocumentTest, AFailedOpenKeepsProfilePathAndHistoryAndSaveKeepsTheHistory) {
  TestFolder folder;
  ASSERT_TRUE(document.SaveAs(folder.File("first.zpf")));
  ASSERT_TRUE(document.RenameFragment(0, "x"));
  ASSERT_TRUE(document.Save());
  EXPECT_FALSE(document.IsModified());
  EXPECT_TRUE(document.CanUndo());
  ASSERT_TRUE(document.RenameFragment(0, "y"));
  WriteBytes(folder.File("bad.zpf"), {'n', 'o'});
  const std::vector<uint8_t> before = Snapshot(document.Profile());
  view.Take();
  EXPECT_FALSE(document.Open(folder.File("bad.zpf")));
  EXPECT_FALSE(document.Open(folder.File("missing.zpf")));
  EXPECT_EQ(Snapshot(document.Profile()), before);
  EXPECT_EQ(document.Path(), folder.File("first.zpf"));
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(document.History().UndoCount(), 2u);
  EXPECT_TRUE(view.Take().empty());

  ASSERT_TRUE(document.Open(folder.File("first.zpf")));
  EXPECT_EQ(document.Profile().GetFragment(0).name, "x");
  EXPECT_FALSE(document.CanUndo() || document.IsModified());
  EXPECT_EQ(view.Take(), (BCalls{"replaced", "history"}));
  ASSERT_TRUE(document.New());
  EXPECT_EQ(document.Profile().CountFragments(), 0);
  EXPECT_TRUE(document.Path().empty());
  EXPECT_FALSE(document.Save());  // no file yet: the window asks for one
}

TEST_F(DocumentTest, TheLimitsDropTheOldestStepsFirst) {
  for (int i = 0; i < 105; ++i) ASSERT_TRUE(document.RenameFragment(0, "n" + std::to_string(i)));
  EXPECT_EQ(document.History().UndoCount(), 100u);
  while (document.Undo()) {
  }
  EXPECT_EQ(document.Profile().GetFragment(0).name, "n4");  // the five oldest went

  // With 60 steps undone: a lower limit drops the 40 left to undo but the
  // newest, then the redo steps furthest from the present.
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(document.Redo());
  document.SetHistoryStepLimit(50);
  EXPECT_EQ(document.History().UndoCount(), 1u);
  EXPECT_EQ(document.History().RedoCount(), 49u);
  EXPECT_EQ(Text(document.NextRedoName()), "5 n44");
  while (document.Redo()) {
  }
  EXPECT_EQ(document.Profile().GetFragment(0).name, "n93");

  // Bytes: each cut of 1000 bytes from the head of a fragment costs about
  // 2000 bytes; a limit of 5000 keeps two, and never less than the newest.
  document.SetHistoryStepLimit(100);
  ASSERT_EQ(Place(document, "big", 60000), 3);
  document.SetHistoryByteLimit(5000);
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(document.DeleteRange(3, document.Profile().GetFragment(3).start, 1000));
  EXPECT_EQ(document.History().UndoCount(), 2u);
  EXPECT_LE(document.History().ByteCount(), 5000u);
  ASSERT_TRUE(document.DeleteRange(3, document.Profile().GetFragment(3).start, 50000));
  EXPECT_EQ(document.History().UndoCount(), 1u);
  EXPECT_GT(document.History().ByteCount(), 5000u);
}

// Every kind of edit, undo and redo in random order; after every step the
// profile equals the reference's copy of the present; at the end, undoing
// everything gives the first profile and redoing everything the last.
TEST(DocumentRandom, EveryStepMatchesTheReference) {
  const auto budget = std::chrono::seconds(20);
  const auto started = std::chrono::steady_clock::now();
  std::mt19937 random(28);
  auto below = [&](uint32_t n) { return n ? static_cast<uint32_t>(random() % n) : 0u; };
  BRecordingView view;
  BDocument document(view);
  document.SetHistoryStepLimit(1000000);
  document.SetHistoryByteLimit(std::size_t(1) << 32);
  BProfile& profile = document.ProfileForLink();
  const BProfile& present = document.Profile();
  std::vector<BCopy> copies{BCopy(present, nullptr)};
  std::size_t at = 0;
  int steps = 0;
  for (; steps < 4000 && std::chrono::steady_clock::now() - started < budget; ++steps) {
    const std::size_t wasAt = at;
    const std::vector<uint8_t> playlistBefore = copies[at].playlist;
    const std::vector<uint8_t> buttonsBefore = copies[at].buttons;
    const std::vector<uint8_t> imageBefore(present.Image(), present.Image() + kImageSize);
    std::vector<BFragment> tableBefore;
    for (int slot = 0; slot < kMaxFragments; ++slot)
      tableBefore.push_back(present.GetFragment(slot));
    const bool playlistSyncedBefore = present.IsPlaylistSynced();
    const int slot = static_cast<int>(below(kMaxFragments));
    const BFragment& fragment = present.GetFragment(slot);
    const int length = present.PlaylistLength();
    const uint32_t choice = below(20);
    bool restore = false;
    view.Take();
    if (choice < 4) {
      std::vector<BMemRange> free = present.GetFreeBlocks();
      std::vector<uint8_t> bytes = Bytes(1 + below(6000), static_cast<uint8_t>(random()));
      if (!free.empty())
        document.PlaceFragment("f" + std::to_string(steps), free[below(free.size())], bytes.data(),
                               static_cast<uint32_t>(bytes.size()),
                               below(2) ? BEditKind::Import : BEditKind::Signal);
    } else if (choice == 4) {
      document.DeleteRange(slot, fragment.start + below(fragment.length + 1), below(3000));
    } else if (choice == 5) {
      document.ChangeBytes(slot, below(fragment.length), below(3000), AddOne);
    } else if (choice == 6) {
      document.DeleteFragment(slot);
    } else if (choice == 7) {
      document.RenameFragment(slot, below(3) ? "r" + std::to_string(below(5)) : fragment.name);
    } else if (choice == 8) {
      (void)(below(2)
                 ? document.AppendPlaylistEntry(slot % 8)
                 : document.InsertPlaylistEntry(static_cast<int>(below(length + 1)), slot % 8));
    } else if (choice == 9) {
      const int at1 = static_cast<int>(below(length + 1)), at2 = static_cast<int>(below(length));
      (void)(below(2) ? document.RemovePlaylistEntry(at1) : document.MovePlaylistEntry(at2, at1));
    } else if (choice == 10) {
      document.SetButton(static_cast<int>(below(kButtonCount)),
                         below(3) ? static_cast<uint8_t>(slot) : kNone);
    } else if (choice == 11 && below(4) == 0) {
      document.Defragment();
    } else if (choice == 12) {
      ASSERT_TRUE(document.BeginStep(BEditKind::Levelling));
      for (int other = 0; other < kMaxFragments; other += 1 + static_cast<int>(below(6)))
        document.ChangeBytes(other, 0, 5000, AddOne);
      document.EndStep();
    } else if (choice == 13 && below(3) == 0) {
      // A Read: the job's worker writes the siren's content behind the
      // document's back, one step for all of it.
      document.BeginRead();
      ASSERT_FALSE(document.RenameFragment(slot, "held"));
      profile.Reset();
      std::vector<uint8_t> bytes = Bytes(1 + below(6000), static_cast<uint8_t>(random()));
      profile.PlaceFragment("read", {below(1000), 8000}, bytes.data(),
                            static_cast<uint32_t>(bytes.size()));
      document.EndRead();
    } else if (choice == 13) {
      // What a write job leaves behind: fragments and the playlist in step.
      profile.SetFragmentSynced(slot, true);
      profile.SetPlaylistSynced(below(2));
    } else if (choice < 17) {
      ASSERT_EQ(document.Undo(), at > 0);
      restore = at > 0;
      at -= restore ? 1 : 0;
    } else {
      ASSERT_EQ(document.Redo(), at + 1 < copies.size());
      restore = at + 1 < copies.size();
      at += restore ? 1 : 0;
    }
    if (!restore && !copies[at].Compare(present).empty()) {
      copies.erase(copies.begin() + static_cast<std::ptrdiff_t>(at) + 1, copies.end());
      copies.emplace_back(present, &copies[at]);
      ++at;
    }
    ASSERT_EQ(copies[at].Compare(present), "") << "step " << steps << " choice " << choice;
    ASSERT_EQ(document.History().UndoCount(), at);
    ASSERT_EQ(document.History().RedoCount(), copies.size() - 1 - at);

    // The view: told of one slot only when nothing else changed.
    const std::vector<std::string> calls = view.Take();
    if (at == wasAt) {
      ASSERT_TRUE(calls.empty()) << "step " << steps;
      continue;
    }
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[1], "history");
    if (calls[0] != "replaced") {
      const int told = std::stoi(calls[0].substr(1));
      EXPECT_EQ(playlistBefore, copies[at].playlist);
      EXPECT_EQ(buttonsBefore, copies[at].buttons);
      for (int other = 0; other < kMaxFragments; ++other) {
        if (other == told) continue;
        const BMemRange range = present.GetFragment(other).ImageRange();
        EXPECT_EQ(tableBefore[other].start, present.GetFragment(other).start);
        EXPECT_EQ(0, std::memcmp(imageBefore.data() + range.start, present.Image() + range.start,
                                 range.length));
      }
    }
    // The in-step rule after an undo or redo.
    if (!restore) continue;
    for (int other = 0; other < kMaxFragments; ++other) {
      const BFragment& is = present.GetFragment(other);
      const BMemRange range = is.ImageRange();
      const bool same = is.start == tableBefore[other].start &&
                        is.length == tableBefore[other].length &&
                        std::memcmp(imageBefore.data() + range.start, present.Image() + range.start,
                                    range.length) == 0;
      ASSERT_EQ(is.synced, same && tableBefore[other].synced) << "step " << steps;
    }
    ASSERT_EQ(present.IsPlaylistSynced(),
              playlistSyncedBefore && playlistBefore == copies[at].playlist);
  }
  EXPECT_GE(steps, 500) << "too few steps within the time budget";

  while (document.Undo()) {
  }
  EXPECT_EQ(copies.front().Compare(present), "");
  while (document.Redo()) {
  }
  EXPECT_EQ(copies.back().Compare(present), "");
}

}  // namespace
