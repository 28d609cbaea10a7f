#include "model/document.h"

#include <new>
#include <utility>

BDocument::BDocument(BDocumentView& view) : m_view(view) {}

// ---- Files ----------------------------------------------------------------

bool BDocument::New() {
  if (m_heldByJob || m_openSteps > 0) return false;
  m_profile.Reset();
  m_path.clear();
  Replaced();
  return true;
}

bool BDocument::Open(const std::string& path, BDroppedReferences* dropped) {
  if (m_heldByJob || m_openSteps > 0) return false;
  // A failed load leaves the profile as it was; so the rest stays too.
  if (!m_profile.Load(path, dropped)) return false;
  m_path = path;
  Replaced();
  return true;
}

bool BDocument::Save() {
  if (m_heldByJob || m_path.empty()) return false;
  if (!m_profile.Save(m_path)) return false;
  m_modified = false;
  return true;
}

bool BDocument::SaveAs(const std::string& path) {
  if (m_heldByJob) return false;
  if (!m_profile.Save(path)) return false;
  m_path = path;
  m_modified = false;
  return true;
}

// A new or opened profile: nothing to undo, nothing unsaved.
void BDocument::Replaced() {
  m_history.Clear();
  m_modified = false;
  m_view.OnProfileReplaced();
  m_view.OnHistoryChanged();
}

// ---- Edits ------------------------------------------------------------------

bool BDocument::StartEdit() {
  if (m_heldByJob) return false;
  if (m_openSteps == 0) m_before.Capture(m_profile);
  return true;
}

void BDocument::FinishEdit(BEditKind kind, const std::string& fragmentName) {
  if (m_openSteps == 0) Record(kind, fragmentName);
}

void BDocument::Record(BEditKind kind, const std::string& fragmentName) {
  BDocumentStep step;
  try {
    step.delta = BProfileDelta::Between(m_before, m_profile);
  } catch (const std::bad_alloc&) {
    // The edit stands but cannot be taken back, and the older steps would
    // no longer fit the profile: the history starts again from here.
    m_history.Clear();
    m_modified = true;
    m_view.OnProfileReplaced();
    m_view.OnHistoryChanged();
    return;
  }
  if (step.delta.IsEmpty()) return;
  const int soleSlot = step.delta.SoleSlot();
  step.name = BStepName{kind, fragmentName};
  m_history.Record(std::move(step));
  m_modified = true;
  TellChanged(soleSlot);
  m_view.OnHistoryChanged();
}

void BDocument::TellChanged(int soleSlot) {
  if (soleSlot >= 0)
    m_view.OnFragmentChanged(soleSlot);
  else
    m_view.OnProfileReplaced();
}

bool BDocument::DeleteRange(int slot, uint32_t address, uint32_t count) {
  if (!StartEdit()) return false;
  const std::string name = NameOf(slot);
  if (!m_profile.DeleteRange(slot, address, count)) return false;
  FinishEdit(BEditKind::Cut, name);
  return true;
}

bool BDocument::ChangeBytes(int slot, uint32_t offset, uint32_t count,
                            const std::function<void(uint8_t* bytes, uint32_t count)>& change) {
  if (!StartEdit()) return false;
  if (!m_profile.ChangeFragmentBytes(slot, offset, count, change)) return false;
  FinishEdit(BEditKind::Gain, NameOf(slot));
  return true;
}

bool BDocument::DeleteFragment(int slot) {
  if (!StartEdit()) return false;
  const std::string name = NameOf(slot);
  if (!m_profile.DeleteFragment(slot)) return false;
  FinishEdit(BEditKind::Delete, name);
  return true;
}

int BDocument::PlaceFragment(const std::string& name, const BMemRange& block,
                             const uint8_t* samples, uint32_t count, BEditKind kind) {
  if (!StartEdit()) return -1;
  const int slot = m_profile.PlaceFragment(name, block, samples, count);
  if (slot < 0) return -1;
  FinishEdit(kind, NameOf(slot));
  return slot;
}

// The step is named after the fragment as the user knew it before.
bool BDocument::RenameFragment(int slot, const std::string& name) {
  if (!StartEdit()) return false;
  const std::string before = NameOf(slot);
  if (!m_profile.RenameFragment(slot, name)) return false;
  FinishEdit(BEditKind::Rename, before);
  return true;
}

bool BDocument::AppendPlaylistEntry(int slot) {
  if (!StartEdit() || !m_profile.AppendPlaylistEntry(slot)) return false;
  FinishEdit(BEditKind::Playlist, NameOf(slot));
  return true;
}

bool BDocument::InsertPlaylistEntry(int position, int slot) {
  if (!StartEdit() || !m_profile.InsertPlaylistEntry(position, slot)) return false;
  FinishEdit(BEditKind::Playlist, NameOf(slot));
  return true;
}

bool BDocument::RemovePlaylistEntry(int position) {
  if (!StartEdit()) return false;
  const std::string name = NameOf(m_profile.GetPlaylistEntry(position));
  if (!m_profile.RemovePlaylistEntry(position)) return false;
  FinishEdit(BEditKind::Playlist, name);
  return true;
}

bool BDocument::MovePlaylistEntry(int from, int to) {
  if (!StartEdit()) return false;
  const std::string name = NameOf(m_profile.GetPlaylistEntry(from));
  if (!m_profile.MovePlaylistEntry(from, to)) return false;
  FinishEdit(BEditKind::Playlist, name);
  return true;
}

// Named after the fragment bound, or the one unbound.
bool BDocument::SetButton(int button, uint8_t value) {
  if (!StartEdit()) return false;
  const std::string before = NameOf(m_profile.GetButton(button));
  if (!m_profile.SetButton(button, value)) return false;
  FinishEdit(BEditKind::Buttons, value == kNone ? before : NameOf(value));
  return true;
}

bool BDocument::Defragment(BDroppedReferences* dropped) {
  if (!StartEdit()) return false;
  BDroppedReferences result = m_profile.Defragment();
  if (dropped) *dropped = std::move(result);
  FinishEdit(BEditKind::Defragment, std::string());
  return true;
}

bool BDocument::BeginStep(BEditKind kind, const std::string& fragmentName) {
  if (m_openSteps == 0) {
    if (!StartEdit()) return false;
    m_stepKind = kind;
    m_stepName = fragmentName;
  }
  ++m_openSteps;
  return true;
}

void BDocument::EndStep() {
  if (m_openSteps == 0) return;
  if (--m_openSteps == 0) Record(m_stepKind, m_stepName);
}

// ---- The history ------------------------------------------------------------

std::optional<BStepName> BDocument::NextUndoName() const {
  const BDocumentStep* step = m_history.NextUndo();
  return step ? std::optional<BStepName>(step->name) : std::nullopt;
}

std::optional<BStepName> BDocument::NextRedoName() const {
  const BDocumentStep* step = m_history.NextRedo();
  return step ? std::optional<BStepName>(step->name) : std::nullopt;
}

bool BDocument::Undo() {
  if (m_heldByJob || m_openSteps > 0 || !CanUndo()) return false;
  return Restore(m_history.Back(), BDeltaSide::Before);
}

bool BDocument::Redo() {
  if (m_heldByJob || m_openSteps > 0 || !CanRedo()) return false;
  return Restore(m_history.Forward(), BDeltaSide::After);
}

// The restored profile differs from the file, whether or not it did before.
bool BDocument::Restore(const BDocumentStep* step, BDeltaSide side) {
  step->delta.Apply(m_profile, side);
  // What a file or the siren had left behind the playlist's end mark when
  // the step was recorded is not brought back: the panels never show it.
  m_profile.TrimPlaylist();
  m_modified = true;
  TellChanged(step->delta.SoleSlot());
  m_view.OnHistoryChanged();
  return true;
}

void BDocument::BeginRead() {
  m_before.Capture(m_profile);
  m_heldByJob = true;
}

void BDocument::EndRead() {
  m_heldByJob = false;
  Record(BEditKind::Read, std::string());
}

void BDocument::ClearHistory() {
  m_history.Clear();
  m_view.OnHistoryChanged();
}
