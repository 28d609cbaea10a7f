// The levelling dialog (Edit menu, "Выровнять громкость..."): every fragment
// with its measured loudness, each with a check box (all checked when the
// dialog opens), the target loudness (by default the loudest level every
// checked fragment reaches with at most 6 dB of limiting, recomputed while
// the checks change until the user types a target), a button that lets the
// selected fragment be heard levelled, OK (Return) and Cancel. The rules are
// audio/loudness.h's; this is its window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "audio/loudness.h"
#include "audio/preview_player.h"
#include "model/profile.h"
#include "toolkit/dialog_window.h"

class BLoudnessDlg : public BDialogWindow {
 public:
  struct Fragment {
    std::wstring name;
    std::vector<int8_t> samples;  // the siren's signed samples
    BFragmentLoudness loudness;
  };

  // The profile's fragments in the order of their slots, measured; `slots`
  // receives their slots.
  static std::vector<Fragment> Measure(const BProfile& profile, std::vector<int>& slots);

  BLoudnessDlg(BPreviewPlayer& player, const std::vector<Fragment>& fragments)
      : m_player(player), m_fragments(fragments), m_chosen(fragments.size(), true) {}

  INT_PTR DoModal(HINSTANCE instance, HWND owner);

  // After OK: which fragments are checked, and the target.
  const std::vector<bool>& Chosen() const { return m_chosen; }
  double Target() const { return m_target; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The message about a bad target (virtual so that tests can answer it).
  virtual void ShowError(const std::wstring& text);

 private:
  void OnInitDialog();
  void ReadChecks();
  void ShowDefaultTarget();
  // The typed target; on a bad one its message and the focus.
  bool TakeTarget();
  void OnListen();
  void ShowListenCaption();

  BPreviewPlayer& m_player;
  const std::vector<Fragment>& m_fragments;
  std::vector<bool> m_chosen;
  double m_target = 0.0;
  bool m_targetTyped = false;  // the user has typed a target: the checks leave it
  bool m_settingTarget = false;
  bool m_ready = false;  // the list is filled: its notifications count
};
