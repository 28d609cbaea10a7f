// BDocument: the profile being edited, its file, whether it has unsaved
// changes, whether a siren job holds it, and one history of every change the
// user makes to it. The main window owns it and is its view
// (BDocumentView): every operation runs the rules here and tells the view
// what changed; the window's commands are forwards to these operations.
//
// Every edit is one undoable step: the document copies the profile's state
// before it (BProfileState) and records only the difference (BProfileDelta),
// so Undo and Redo restore everything the step changed: image bytes, the
// fragment table with its names, the playlist and the buttons. An edit that
// changes nothing records nothing, tells the view nothing and leaves the
// modified flag as it was. Several edits become one step between BeginStep
// and EndStep (the levelling of several fragments, say).
//
// While a siren job holds the profile (SetHeldByJob) the job's worker thread
// writes into it; every operation that changes the profile, and Save, is then
// refused: it returns false (PlaceFragment -1) and changes nothing. A Read
// replaces the profile with the siren's content as one step of the history
// (BeginRead, EndRead), so the profile before it can be brought back.
//
// Threads: the user-interface thread runs every operation; the view is
// called from inside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "model/document_history.h"
#include "model/document_view.h"
#include "model/profile.h"
#include "model/profile_state.h"

class BDocument {
 public:
  explicit BDocument(BDocumentView& view);
  BDocument(const BDocument&) = delete;
  BDocument& operator=(const BDocument&) = delete;

  const BProfile& Profile() const { return m_profile; }
  // For the siren link, which stores what the siren returns and the in-step
  // flags, and for the profile's texts; never for an edit of the user's.
  BProfile& ProfileForLink() { return m_profile; }
  const std::string& Path() const { return m_path; }
  bool IsModified() const { return m_modified; }
  // A Read stored the siren's content: it differs from the file.
  void MarkModified() { m_modified = true; }
  void SetModified(bool modified) { m_modified = modified; }

  void SetHeldByJob(bool held) { m_heldByJob = held; }
  bool IsHeldByJob() const { return m_heldByJob; }

  // ---- Files ----
  // An empty profile without a file; the history is emptied.
  bool New();
  // Loads the file. On success the profile is the file's, the path is set,
  // the history emptied and the profile unmodified; `dropped`, when given,
  // receives the references to empty slots the load took out. On failure
  // (GetErrorText says why) nothing changes: profile, path, modified flag
  // and history stay.
  bool Open(const std::string& path, BDroppedReferences* dropped = nullptr);
  // Saves to the profile's path; false when it has none (the window asks
  // for one and calls SaveAs). Saving keeps the history.
  bool Save();
  bool SaveAs(const std::string& path);
  const std::string& GetErrorText() const { return m_profile.GetErrorText(); }
  BProfileError GetErrorKind() const { return m_profile.GetErrorKind(); }

  // ---- Edits: each one step, each sets the modified flag ----
  // Cuts `count` bytes from the absolute `address` out of the fragment.
  bool DeleteRange(int slot, uint32_t address, uint32_t count);
  // Hands `count` bytes from `offset` in the fragment to `change` (the gain).
  bool ChangeBytes(int slot, uint32_t offset, uint32_t count,
                   const std::function<void(uint8_t* bytes, uint32_t count)>& change);
  bool DeleteFragment(int slot);
  // A new fragment in the first empty slot (kind Import or Signal): its slot,
  // or -1.
  int PlaceFragment(const std::string& name, const BMemRange& block, const uint8_t* samples,
                    uint32_t count, BEditKind kind);
  bool RenameFragment(int slot, const std::string& name);
  bool AppendPlaylistEntry(int slot);
  bool InsertPlaylistEntry(int position, int slot);
  bool RemovePlaylistEntry(int position);
  bool MovePlaylistEntry(int from, int to);
  bool SetButton(int button, uint8_t value);
  // `dropped`, when given, receives the references to empty slots that went first.
  bool Defragment(BDroppedReferences* dropped = nullptr);

  // Several edits as one step named `kind` and `fragmentName`: the edits
  // between BeginStep and EndStep record nothing and tell the view nothing;
  // EndStep records what they changed together and tells the view. Steps
  // may nest; the outermost one counts. Undo, Redo, New and Open are refused
  // while a step is open. BeginStep is refused while a job holds the profile.
  bool BeginStep(BEditKind kind, const std::string& fragmentName = std::string());
  void EndStep();

  // ---- A Read from the siren ----
  // BeginRead copies the state and holds the profile for the job, whose
  // worker then writes the siren's content into it; EndRead lets go and
  // records what the Read changed as one step, however far it got.
  void BeginRead();
  void EndRead();

  // ---- The history ----
  bool CanUndo() const { return m_history.NextUndo() != nullptr; }
  bool CanRedo() const { return m_history.NextRedo() != nullptr; }
  // What the next undo would take back and the next redo do again.
  std::optional<BStepName> NextUndoName() const;
  std::optional<BStepName> NextRedoName() const;
  // Restore the profile before (after) the step; the profile is modified.
  // A fragment whose start, length or bytes the restore changes is out of
  // step with the siren, the others keep their flag; the playlist is out of
  // step when its values change.
  bool Undo();
  bool Redo();
  void ClearHistory();
  void SetHistoryStepLimit(std::size_t steps) { m_history.SetStepLimit(steps); }
  void SetHistoryByteLimit(std::size_t bytes) { m_history.SetByteLimit(bytes); }
  const BDocumentHistory& History() const { return m_history; }

 private:
  // An edit: StartEdit copies the state (outside an open step) and says
  // whether the edit may go ahead; FinishEdit records what changed.
  bool StartEdit();
  void FinishEdit(BEditKind kind, const std::string& fragmentName);
  void Record(BEditKind kind, const std::string& fragmentName);
  bool Restore(const BDocumentStep* step, BDeltaSide side);
  void TellChanged(int soleSlot);
  void Replaced();
  std::string NameOf(int slot) const { return m_profile.GetFragment(slot).name; }

  BDocumentView& m_view;
  BProfile m_profile;
  std::string m_path;
  bool m_modified = false;
  bool m_heldByJob = false;
  int m_openSteps = 0;
  BEditKind m_stepKind = BEditKind::Cut;
  std::string m_stepName;
  BProfileState m_before;  // the state before the edit or open step
  BDocumentHistory m_history;
};
