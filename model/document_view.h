// What the document tells the window that shows it. Every call comes from
// the user-interface thread, after the profile has changed, from inside the
// document operation that changed it.
#pragma once

class BDocumentView {
 public:
  virtual ~BDocumentView() = default;

  // One slot's bytes, start, length or name changed, the slot perhaps coming
  // into use or becoming empty; nothing else of the profile changed.
  virtual void OnFragmentChanged(int slot) = 0;
  // Anything else (several slots, the table's order, the playlist, the
  // buttons, a new or opened profile): the view fills itself anew.
  virtual void OnProfileReplaced() = 0;
  // What Undo and Redo would do changed (CanUndo, CanRedo, the step names).
  virtual void OnHistoryChanged() = 0;
};
