// The main window's side of the levelling of fragments (Edit menu,
// "Выровнять громкость..."): the dialog with every fragment measured, and the
// chosen fragments brought to the target as one step of the edit history.
#include "main_window.h"

#include <algorithm>

#include "model/geometry.h"
#include "audio/loudness.h"
#include "loudness_dlg.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/list_controls.h"
#include "toolkit/ui_text.h"

namespace {}  // namespace

void BMainDlg::AddLoudnessRoutes() {
  AddRoute({WM_COMMAND, ID_LEVEL_LOUDNESS, ID_LEVEL_LOUDNESS, kAnyCode,
            [](BMainDlgBase& w, UINT, WPARAM, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnLevelLoudness();
              return 0;
            }});
}

// The fragments in the order of the list; the player is emptied for the
// dialog's previews and gets the selected fragment back afterwards.
void BMainDlg::OnLevelLoudness() {
  if (JobHoldsProfile()) return;
  std::vector<int> slots;
  std::vector<BLoudnessDlg::Fragment> fragments;
  for (int row = 0; row < RowCount(m_fragmentList); ++row) {
    const int slot = static_cast<int>(RowData(m_fragmentList, row));
    const BFragment& fragment = m_profile.GetFragment(slot);
    if (!fragment.IsInUse()) continue;
    const BMemRange range = fragment.ImageRange();
    const int8_t* bytes = reinterpret_cast<const int8_t*>(m_profile.Image()) + range.start;
    BLoudnessDlg::Fragment shown;
    shown.name = Widen(fragment.name);
    shown.samples.assign(bytes, bytes + range.length);
    shown.loudness = MeasureFragment(bytes, range.length, kSirenRate);
    fragments.push_back(std::move(shown));
    slots.push_back(slot);
  }
  if (fragments.empty()) return;
  OnStop();
  EnablePlayer(false);
  std::vector<bool> chosen;
  double target = 0.0;
  const bool accepted = m_prompts->AskLoudness(fragments, chosen, target);
  EnablePlayer(false);
  if (accepted) LevelFragments(slots, fragments, chosen, target);
  LoadFragmentIntoPlayer();
}

// Fragments too short or too quiet to be measured are left as they are.
void BMainDlg::LevelFragments(const std::vector<int>& slots,
                              const std::vector<BLoudnessDlg::Fragment>& fragments,
                              const std::vector<bool>& chosen, double target) {
  std::vector<int> levelled;
  for (size_t i = 0; i < slots.size() && i < chosen.size(); ++i)
    if (chosen[i] && fragments[i].loudness.measured) levelled.push_back(slots[i]);
  if (levelled.empty()) {
    ShowMessage(IDS_LOUDNESS_NOTHING_CHOSEN, MB_ICONINFORMATION);
    return;
  }
  // One step of the history for all of them.
  if (!m_document.BeginStep(BEditKind::Levelling)) return;
  ReleasePlayerCopies();
  for (size_t i = 0; i < slots.size() && i < chosen.size(); ++i) {
    if (!chosen[i] || !fragments[i].loudness.measured) continue;
    const std::vector<int8_t>& samples = fragments[i].samples;
    const std::vector<int8_t> result =
        LevelToLoudness(samples.data(), samples.size(), kSirenRate, target);
    // Through the profile, which takes the fragment out of step with the siren.
    const uint32_t count = static_cast<uint32_t>(
        std::min<size_t>(result.size(), m_profile.GetFragment(slots[i]).ImageRange().length));
    m_document.ChangeBytes(slots[i], 0, count, [&](uint8_t* bytes, uint32_t n) {
      std::copy(result.begin(), result.begin() + n, reinterpret_cast<int8_t*>(bytes));
    });
  }
  m_document.EndStep();
  if (SelectedRow(m_fragmentList) >= 0) ReloadEditedFragment();
  RepaintMemoryView();
  ShowStatus(IDS_LOUDNESS_DONE, static_cast<int>(levelled.size()), FormatLoudness(target).c_str());
}
