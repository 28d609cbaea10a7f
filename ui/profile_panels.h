// BProfilePanels: the fragment list, the playlist, the four button combos and
// the memory view's bands, showing the profile. They are rebuilt or updated
// from the profile after every change and never hold anything it does not;
// the only state of their own is which rows the user selected.
#pragma once

#include <windows.h>

#include <string>

#include "model/profile.h"
#include "memory_view.h"

class BProfilePanels {
 public:
  BProfilePanels(const BProfile& profile, BMemoryView& memoryView)
      : m_profile(profile), m_memoryView(memoryView) {}

  // Takes the controls of the main window and sets up the lists' columns.
  void Attach(HWND window);
  HWND FragmentList() const { return m_fragments; }
  HWND Playlist() const { return m_playlist; }

  void Clear();
  void Fill();
  // After a change of the profile: the fragment rows rebuilt when the slots
  // in use changed (the selection kept by slot, else by row), else updated
  // in place; the playlist and the bindings always.
  void Sync();
  // The playlist rows, with `selected` selected (the last row when it is
  // past the end; none for -1).
  void ShowPlaylist(int selected);
  // Each combo shows its button's binding, or "Не используется".
  void ShowBindings();

  // The fragment list: rows follow the slots in use.
  int SelectedFragment() const;  // its slot, or -1
  int SelectedFragmentRow() const;
  int SlotAtRow(int row) const;
  int RowOfFragment(int slot) const;  // -1 when not shown
  void SelectFragmentRow(int row);
  // The band of the selected row stands out in the memory view.
  void ShowSelectedBand();

  int SelectedPlaylistRow() const;
  // In playlist mode: `row` is heard, the only one selected, its band lit.
  void ShowHeardPlaylistRow(int row);

  // The value chosen in a button's combo: a slot, or kNone.
  uint8_t ChosenBinding(int button) const;

  std::wstring FragmentName(int slot) const;

 private:
  HWND ButtonCombo(int button) const { return m_combos[button]; }
  void SetupColumns();
  bool ShowsSlotsInUse() const;
  void UpdateFragmentRows();

  const BProfile& m_profile;
  BMemoryView& m_memoryView;
  HWND m_fragments = nullptr;
  HWND m_playlist = nullptr;
  HWND m_combos[kButtonCount] = {};
};
