#include "model/edit_history.h"

#include <algorithm>
#include <new>

#include "model/profile.h"

namespace {

// A half-open byte range [begin, end) of the image.
struct BSpan {
  uint32_t begin = 0;
  uint32_t end = 0;

  bool IsEmpty() const { return begin >= end; }
  bool Overlaps(const BSpan& other) const {
    return !IsEmpty() && !other.IsEmpty() && begin < other.end && other.begin < end;
  }
};

BSpan SpanOf(const BMemRange& range) { return BSpan{range.start, range.start + range.length}; }

// Where the recorded bytes go back to: the recorded start, as many bytes as
// were recorded (the part of the fragment that was inside the image).
BSpan RecordedSpan(const BHistoryEntry& entry) {
  const uint32_t begin = std::min(entry.start, kImageSize);
  return BSpan{begin, begin + static_cast<uint32_t>(entry.bytes.size())};
}

// The parts of `a` that lie outside `b`: before it and after it.
BSpan PartBefore(const BSpan& a, const BSpan& b) {
  return BSpan{a.begin, std::min(a.end, b.begin)};
}
BSpan PartAfter(const BSpan& a, const BSpan& b) { return BSpan{std::max(a.begin, b.end), a.end}; }

// True when the bytes the restore newly claims hold no other fragment.
bool RestoreLeavesOthersAlone(const BProfile& profile, const BHistoryEntry& entry) {
  const BSpan present = SpanOf(profile.GetFragment(entry.fragmentIndex).ImageRange());
  const BSpan recorded = RecordedSpan(entry);
  const BSpan claimed[2] = {PartBefore(recorded, present), PartAfter(recorded, present)};
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    if (slot == entry.fragmentIndex || !profile.GetFragment(slot).IsInUse()) continue;
    const BSpan other = SpanOf(profile.GetFragment(slot).ImageRange());
    if (claimed[0].Overlaps(other) || claimed[1].Overlaps(other)) return false;
  }
  return true;
}

}  // namespace

bool BEditHistory::PushUndo(const BProfile& profile, int fragment, bool clearRedo) {
  if (!Push(m_undo, profile, fragment)) return false;
  if (clearRedo) DropAll(m_redo);
  KeepWithinLimit();
  return true;
}

bool BEditHistory::PushUndoGroup(const BProfile& profile, const std::vector<int>& fragments) {
  for (std::size_t i = 0; i < fragments.size(); ++i) {
    if (!Push(m_undo, profile, fragments[i])) {
      for (std::size_t pushed = 0; pushed < i; ++pushed) {
        m_byteCount -= m_undo.back().bytes.size();
        m_undo.pop_back();
      }
      return false;
    }
    m_undo.back().joinsPrevious = i > 0;
  }
  if (!fragments.empty()) DropAll(m_redo);
  KeepWithinLimit();
  return true;
}

bool BEditHistory::PushRedo(const BProfile& profile, int fragment) {
  if (!Push(m_redo, profile, fragment)) return false;
  KeepWithinLimit();
  return true;
}

BHistoryStep BEditHistory::Undo(BProfile& profile) { return Step(m_undo, m_redo, profile); }

BHistoryStep BEditHistory::Redo(BProfile& profile) { return Step(m_redo, m_undo, profile); }

void BEditHistory::Clear() {
  DropAll(m_undo);
  DropAll(m_redo);
}

bool BEditHistory::RenumberHistory(int deleted) {
  if (deleted < 0 || deleted >= kMaxFragments) return false;
  for (BEntryList* list : {&m_undo, &m_redo}) {
    std::size_t kept = 0;
    bool headDropped = false;  // the group's first entry went: the next kept one leads it
    for (std::size_t i = 0; i < list->size(); ++i) {
      BHistoryEntry& entry = (*list)[i];
      if (entry.fragmentIndex == deleted) {
        m_byteCount -= entry.bytes.size();
        if (!entry.joinsPrevious || kept == 0) headDropped = true;
        continue;
      }
      if (headDropped && entry.joinsPrevious) entry.joinsPrevious = false;
      if (!entry.joinsPrevious) headDropped = false;
      if (entry.fragmentIndex > deleted) --entry.fragmentIndex;
      if (kept != i)  // a vector moved onto itself would lose its bytes
        (*list)[kept] = std::move(entry);
      ++kept;
    }
    list->erase(list->begin() + kept, list->end());
  }
  return true;
}

void BEditHistory::SetByteLimit(std::size_t limit) {
  m_byteLimit = limit;
  KeepWithinLimit();
}

bool BEditHistory::Push(BEntryList& list, const BProfile& profile, int fragment) {
  const BFragment& state = profile.GetFragment(fragment);  // an empty slot for a bad index
  if (!state.IsInUse()) return false;
  const BMemRange range = state.ImageRange();
  try {
    BHistoryEntry entry;
    entry.fragmentIndex = fragment;
    entry.start = state.start;
    entry.length = state.length;
    entry.bytes.assign(profile.Image() + range.start, profile.Image() + range.start + range.length);
    list.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_byteCount += range.length;
  return true;
}

BHistoryStep BEditHistory::Step(BEntryList& from, BEntryList& to, BProfile& profile) {
  if (from.empty()) return Result(BHistoryOutcome::NothingToDo, -1);

  // The newest entry and, while an entry joins the one before it, those too.
  // The states they replace go onto the other list as one group in turn.
  BHistoryOutcome outcome = BHistoryOutcome::NothingToDo;
  int first = -1;
  bool pushed = false, more = true;
  while (more && !from.empty()) {
    BHistoryEntry entry = std::move(from.back());
    from.pop_back();
    m_byteCount -= entry.bytes.size();
    more = entry.joinsPrevious;
    const int fragment = entry.fragmentIndex;
    if (first < 0) first = fragment;

    if (!profile.GetFragment(fragment).IsInUse()) {
      if (outcome != BHistoryOutcome::Restored) outcome = BHistoryOutcome::NoFragment;
      continue;
    }
    if (!RestoreLeavesOthersAlone(profile, entry)) {
      if (outcome != BHistoryOutcome::Restored) outcome = BHistoryOutcome::WouldOverlap;
      continue;
    }
    // Should the present state not fit in memory, the step still goes ahead;
    // only the way back is lost.
    if (Push(to, profile, fragment)) {
      to.back().joinsPrevious = pushed;
      pushed = true;
    }
    // The profile erases what the fragment gives up and clears its synced
    // flag when the restored state differs from the present one.
    profile.RestoreFragment(fragment, entry.start, entry.length, entry.bytes);
    outcome = BHistoryOutcome::Restored;
  }
  KeepWithinLimit();
  return Result(outcome, first);
}

void BEditHistory::DropAll(BEntryList& list) {
  for (const BHistoryEntry& entry : list) m_byteCount -= entry.bytes.size();
  list.clear();
  list.shrink_to_fit();
}

void BEditHistory::DropOldest(BEntryList& list) {
  m_byteCount -= list.front().bytes.size();
  list.erase(list.begin());
  StartGroupAt(list, 0);
}

void BEditHistory::StartGroupAt(BEntryList& list, std::size_t index) {
  if (index < list.size()) list[index].joinsPrevious = false;
}

void BEditHistory::KeepWithinLimit() {
  // The newest entry of each list always stays, so the last step can be taken back.
  while (m_byteCount > m_byteLimit) {
    if (m_undo.size() > 1)
      DropOldest(m_undo);
    else if (m_redo.size() > 1)
      DropOldest(m_redo);
    else
      break;
  }
}

BHistoryStep BEditHistory::Result(BHistoryOutcome outcome, int fragment) const {
  BHistoryStep step;
  step.outcome = outcome;
  step.fragment = fragment;
  step.canUndo = CanUndo();
  step.canRedo = CanRedo();
  return step;
}
