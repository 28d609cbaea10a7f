// BDocumentHistory: the document's undo and redo lists, each step a name (what
// kind of edit, which fragment) and the delta it made. Bounded: at most a
// number of steps (100 unless set otherwise) and of bytes (64 MB), undo and
// redo steps together; beyond either limit the oldest undo steps go first,
// then the redo steps furthest from the present. The step just recorded
// always stays, so the last edit can be taken back.
//
// It only keeps the steps; BDocument applies them to the profile.
//
// The user-interface thread only.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "model/profile_delta.h"

// What kind of edit a step was; the window words it ("удаление", ...).
enum class BEditKind {
  Cut,
  Gain,
  Delete,
  Import,
  Signal,
  Rename,
  Playlist,
  Buttons,
  Defragment,
  Levelling,
  Read  // the siren's content read into the profile
};

// What the next undo or redo would take back or do again.
struct BStepName {
  BEditKind kind = BEditKind::Cut;
  std::string fragmentName;  // the fragment the edit was about; empty when none or several
};

struct BDocumentStep {
  BStepName name;
  BProfileDelta delta;
};

class BDocumentHistory {
 public:
  static constexpr std::size_t kDefaultStepLimit = 100;
  static constexpr std::size_t kDefaultByteLimit = std::size_t(64) << 20;

  // The newest undo step; empties the redo list, then keeps the limits.
  void Record(BDocumentStep step);
  // Moves the newest undo step to the redo list and returns it, for the
  // caller to apply its side before; nullptr when there is none. Forward is
  // the mirror image.
  const BDocumentStep* Back();
  const BDocumentStep* Forward();
  void Clear();

  const BDocumentStep* NextUndo() const { return m_undo.empty() ? nullptr : &m_undo.back(); }
  const BDocumentStep* NextRedo() const { return m_redo.empty() ? nullptr : &m_redo.back(); }
  std::size_t UndoCount() const { return m_undo.size(); }
  std::size_t RedoCount() const { return m_redo.size(); }
  // Memory the steps hold.
  std::size_t ByteCount() const { return m_byteCount; }

  std::size_t GetStepLimit() const { return m_stepLimit; }
  std::size_t GetByteLimit() const { return m_byteLimit; }
  void SetStepLimit(std::size_t limit);
  void SetByteLimit(std::size_t limit);

 private:
  using BStepList = std::deque<BDocumentStep>;  // oldest (furthest) first

  static std::size_t BytesOf(const BDocumentStep& step);
  void DropFront(BStepList& list);
  void KeepWithinLimits();

  BStepList m_undo;
  BStepList m_redo;
  std::size_t m_byteCount = 0;
  std::size_t m_stepLimit = kDefaultStepLimit;
  std::size_t m_byteLimit = kDefaultByteLimit;
};
