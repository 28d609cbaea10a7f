// BEditHistory: undo and redo of edits of a fragment's bytes (range
// deletion, amplification). Before an edit the caller records the fragment's
// whole state; undo and redo swap that state with the present one.
//
// The history owns its snapshots. It works on the profile handed to each
// operation and knows nothing of windows: after an undo or redo the caller
// reloads the player, updates the views of the fragment it is told about and
// greys or enables the menu commands from CanUndo/CanRedo.
//
// How it behaves where the obvious way would harm the user's sound:
// - Only fragments in use are recorded; recording an empty slot or a bad
//   index is refused.
// - An entry whose fragment is no longer in use is dropped without
//   restoring anything and without recording the empty slot on the other
//   list (such a record could later empty a newly imported fragment).
// - An entry is also dropped, nothing changed, when restoring it would write
//   over bytes of another fragment (e.g. an import went into space that a
//   cut freed). The next undo goes on with the older entries.
// - A restore sets the recorded start and length and copies the recorded
//   bytes back (BProfile::RestoreFragment); the bytes the fragment held and
//   no longer holds after the restore become 0xFF, as every byte a fragment
//   gives up does. So a redo after an undo leaves the image exactly as after
//   the edit. The name stays; the fragment is no longer in step with the
//   siren (synced) when its start, length or bytes changed.
// - The number of entries is not limited, but the snapshots together stay
//   within a byte limit (64 MB unless set otherwise: about 250 snapshots of a
//   full memory, thousands of ordinary fragments). Beyond it the oldest undo
//   entries go first, then the redo entries furthest from the present; the
//   newest entry of each list is always kept.
// - A snapshot that cannot be allocated is not recorded (the push returns
//   false); the caller then leaves the fragment unedited.
//
// - An edit of several fragments at once (levelling their loudness) is
//   recorded as a group: one undo or redo takes back the whole group.
//
// Threads: the user-interface thread only, never while a memory job runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BProfile;

// One recorded state of one fragment. Move-only: its bytes have one owner.
struct BHistoryEntry {
  int32_t fragmentIndex = -1;  // slot 0 to 15
  uint32_t start = 0;          // the fragment's start when recorded
  uint32_t length = 0;         // the fragment's length when recorded
  std::vector<uint8_t> bytes;  // the image bytes from start (the part inside the image)
  bool joinsPrevious = false;  // undone and redone together with the entry before it

  BHistoryEntry() = default;
  BHistoryEntry(BHistoryEntry&&) = default;
  BHistoryEntry& operator=(BHistoryEntry&&) = default;
  BHistoryEntry(const BHistoryEntry&) = delete;
  BHistoryEntry& operator=(const BHistoryEntry&) = delete;
};

// What an undo or redo did.
enum class BHistoryOutcome {
  NothingToDo,   // the list was empty
  Restored,      // the fragment has the recorded state; its present one is on the other list
  NoFragment,    // the entry's fragment is not in use: entry dropped, nothing changed
  WouldOverlap,  // restoring would overwrite another fragment: entry dropped, nothing changed
};

struct BHistoryStep {
  BHistoryOutcome outcome = BHistoryOutcome::NothingToDo;
  int fragment = -1;     // slot of the entry taken, -1 when the list was empty
  bool canUndo = false;  // the undo list has entries now
  bool canRedo = false;  // the redo list has entries now
};

class BEditHistory {
 public:
  static constexpr std::size_t kDefaultByteLimit = std::size_t(64) << 20;

  BEditHistory() = default;
  BEditHistory(const BEditHistory&) = delete;
  BEditHistory& operator=(const BEditHistory&) = delete;

  // Records the fragment's present state as the newest undo entry. A new
  // edit passes clearRedo = true, which empties the redo list. False, with
  // nothing changed, for a bad index, an empty slot or no memory.
  bool PushUndo(const BProfile& profile, int fragment, bool clearRedo);
  // Records the present state of every fragment in `fragments` as one undo
  // step, and empties the redo list. False, with nothing changed, when one of
  // them is an empty slot or a bad index or there is no memory.
  bool PushUndoGroup(const BProfile& profile, const std::vector<int>& fragments);
  // Records the fragment's present state as the newest redo entry.
  bool PushRedo(const BProfile& profile, int fragment);

  // Restores the newest undo entry, recording the present state on the
  // redo list first; Redo is the mirror image.
  BHistoryStep Undo(BProfile& profile);
  BHistoryStep Redo(BProfile& profile);

  // Empties both lists: the profile was replaced or its fragments moved.
  void Clear();
  // After fragment `deleted` was removed from the table: drops its entries
  // and moves the entries of later slots one slot down. False, with nothing
  // changed, for a bad index.
  bool RenumberHistory(int deleted);

  bool CanUndo() const { return !m_undo.empty(); }
  bool CanRedo() const { return !m_redo.empty(); }
  // Slot of the fragment the next undo or redo takes, -1 when there is none;
  // lets the caller stop the player before that fragment changes.
  int NextUndoFragment() const { return m_undo.empty() ? -1 : m_undo.back().fragmentIndex; }
  int NextRedoFragment() const { return m_redo.empty() ? -1 : m_redo.back().fragmentIndex; }
  // Whether the next undo or redo takes a group of several fragments.
  bool NextUndoIsGroup() const { return !m_undo.empty() && m_undo.back().joinsPrevious; }
  bool NextRedoIsGroup() const { return !m_redo.empty() && m_redo.back().joinsPrevious; }

  // Oldest first, newest last.
  const std::vector<BHistoryEntry>& UndoEntries() const { return m_undo; }
  const std::vector<BHistoryEntry>& RedoEntries() const { return m_redo; }

  // Bytes held by all snapshots, and the limit they are kept within.
  std::size_t ByteCount() const { return m_byteCount; }
  std::size_t GetByteLimit() const { return m_byteLimit; }
  void SetByteLimit(std::size_t limit);

 private:
  using BEntryList = std::vector<BHistoryEntry>;

  bool Push(BEntryList& list, const BProfile& profile, int fragment);
  BHistoryStep Step(BEntryList& from, BEntryList& to, BProfile& profile);
  void DropAll(BEntryList& list);
  void DropOldest(BEntryList& list);
  void KeepWithinLimit();
  BHistoryStep Result(BHistoryOutcome outcome, int fragment) const;
  // The entry at `index` no longer joins one before it (that one went).
  static void StartGroupAt(BEntryList& list, std::size_t index);

  BEntryList m_undo;
  BEntryList m_redo;
  std::size_t m_byteCount = 0;
  std::size_t m_byteLimit = kDefaultByteLimit;
};
