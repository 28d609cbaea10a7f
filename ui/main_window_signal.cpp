// The main window's side of the signals the program makes (Edit menu,
// "Создать сигнал..."): the dialog with its last values from the "Signal"
// setting, and the new fragment placed as an import places a sound.
#include "main_window.h"

#include <algorithm>

#include "audio/durations.h"
#include "audio/signal_form.h"
#include "audio/signal_synth.h"
#include "toolkit/list_controls.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlg::AddSignalRoutes() {
  AddRoute({WM_COMMAND, ID_MAKE_SIGNAL, ID_MAKE_SIGNAL, kAnyCode,
            [](BMainDlgBase& w, UINT, WPARAM, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnMakeSignal();
              return 0;
            }});
}

// The command is there whenever a fragment could be added.
void BMainDlg::UpdateSignalCommand() {
  bool possible = !m_link.IsJobRunning() && m_profile.CountFragments() < kMaxFragments &&
                  !m_profile.GetFreeBlocks().empty();
  EnableMenuItems(m_editMenu, {ID_MAKE_SIGNAL}, possible);
}

// The player is emptied for the dialog's previews; a cancelled dialog gives
// it the selected fragment back.
void BMainDlg::OnMakeSignal() {
  if (!ReadyForNewFragment()) return;
  EnablePlayer(false);
  BSignalForm form(SignalWords(), LargestFreeBlock());
  form.ParseSetting(Widen(m_settings.signal));
  bool accepted = m_prompts->AskSignal(form);
  EnablePlayer(false);
  if (accepted) {
    m_settings.signal = Narrow(form.FormatSetting());
    m_settings.SaveSignal();
  }
  if (!accepted || !PlaceSignal(form)) {
    LoadFragmentIntoPlayer();
    return;
  }
}

bool BMainDlg::PlaceSignal(const BSignalForm& form) {
  std::string name = Narrow(form.FragmentName());
  std::vector<uint8_t> samples = BSignalSynth(form.Params()).Synthesize();
  uint32_t length = static_cast<uint32_t>(samples.size());
  BMemRange block;
  if (!ChooseBlockFor(name, length, SamplesToMilliseconds(length), block)) return false;
  return PlaceNewFragment(name, block, samples.data(), length, BEditKind::Signal) >= 0;
}

BSignalWords BMainDlg::SignalWords() const {
  BSignalWords words;
  const UINT kinds[kSignalKindCount] = {IDS_SIGNAL_TONE,  IDS_SIGNAL_WAIL,  IDS_SIGNAL_YELP,
                                        IDS_SIGNAL_HI_LO, IDS_SIGNAL_PULSE, IDS_SIGNAL_SILENCE};
  for (int kind = 0; kind < kSignalKindCount; ++kind) words.kinds[kind] = LoadText(kinds[kind]);
  words.hertz = LoadText(IDS_SIGNAL_HERTZ);
  words.seconds = LoadText(IDS_SIGNAL_SECONDS);
  return words;
}

uint32_t BMainDlg::LargestFreeBlock() const {
  uint32_t largest = 0;
  for (const BMemRange& block : m_profile.GetFreeBlocks())
    largest = std::max(largest, block.length);
  return largest;
}
