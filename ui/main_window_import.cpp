// New fragments: sound files imported, signals made by the program (Edit
// menu, "Создать сигнал..."), and the levelling of fragments to one loudness
// ("Выровнять громкость...") as one step of the history.
#include "main_window.h"

#include <algorithm>
#include <memory>

#include "audio/audio_source.h"
#include "audio/durations.h"
#include "audio/import_plan.h"
#include "audio/loudness.h"
#include "audio/signal_form.h"
#include "audio/signal_synth.h"
#include "signal_dlg.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"
#include "toolkit/wait_cursor.h"

namespace {

uint32_t LargestFreeBlock(const BProfile& profile) {
  uint32_t largest = 0;
  for (const BMemRange& block : profile.GetFreeBlocks()) largest = std::max(largest, block.length);
  return largest;
}

}  // namespace

void BMainDlg::OnAddFragment() {
  if (!ReadyForNewFragment()) return;
  std::string path;
  if (!m_prompts->AskAudioPath(path)) return;
  EnablePlayer(false);
  ImportFile(path);
}

// A new fragment needs a free slot and free room; during a siren job the
// profile belongs to the job. What plays stops.
bool BMainDlg::ReadyForNewFragment() {
  if (JobHoldsProfile()) return false;
  OnStop();
  if (m_profile.CountFragments() >= kMaxFragments) {
    ShowMessage(IDS_TOO_MANY_FRAGMENTS, MB_ICONERROR, kMaxFragments);
    return false;
  }
  if (m_profile.GetFreeBlocks().empty()) {
    ShowMessage(IDS_NO_FREE_MEMORY, MB_ICONERROR);
    return false;
  }
  return true;
}

// The import runs on this thread: the hourglass shows meanwhile.
bool BMainDlg::ImportFile(const std::string& path) {
  BWaitCursor wait;
  BAudioSource source;
  const bool highQuality = m_settings.highQualityConversion;
  source.SetConversion(highQuality ? BConversion::HighQuality : BConversion::Standard);
  if (!source.Open(path)) {
    ShowMessage(IDS_AUDIO_FILE_OPEN_FAILED, MB_ICONERROR, Widen(path).c_str(),
                Widen(source.GetErrorText()).c_str());
    return false;
  }
  int32_t milliseconds = source.GetLength();
  BMemRange block;
  if (!ChooseBlockFor(path, BytesForMilliseconds(milliseconds),
                      milliseconds > 0 ? static_cast<uint32_t>(milliseconds) : 0, block))
    return false;
  uint32_t roomMs = static_cast<uint32_t>(block.length * 1000 / static_cast<double>(kSirenRate));
  if (!source.Convert(kSirenRate, roomMs)) {
    ShowMessage(IDS_AUDIO_FILE_OPEN_FAILED, MB_ICONERROR, Widen(path).c_str(),
                Widen(source.GetErrorText()).c_str());
    return false;
  }
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  int slot = PlaceNewFragment(FragmentNameFromPath(path), block, data, length, BEditKind::Import);
  if (slot < 0) return false;
  const std::wstring name = Widen(m_profile.GetFragment(slot).name);
  ShowStatus(highQuality ? IDS_IMPORTED_HIGH_QUALITY : IDS_IMPORTED_STANDARD, name.c_str());
  for (const BText& note : source.GetNotes())
    ShowStatus(IDS_IMPORT_NOTE, name.c_str(), FormatText(note).c_str());
  return true;
}

// The first free block that holds the sound; when none does, the largest,
// if the user agrees to have the sound cut to it. `what` (a path or a name)
// and the sound's length in milliseconds are said in the question.
bool BMainDlg::ChooseBlockFor(const std::string& what, uint64_t neededBytes, uint32_t milliseconds,
                              BMemRange& block) {
  BImportPlan plan = PlanImport(m_profile.GetFreeBlocks(), neededBytes);
  block = plan.chosen;
  if (plan.fits) return true;
  std::wstring room = Widen(RoomDurationText(SamplesToMilliseconds(plan.chosen.length)));
  std::wstring length = Widen(FileDurationText(milliseconds));
  UINT question =
      plan.fitsAfterDefragment ? IDS_NOT_ENOUGH_ROOM_UNTIL_DEFRAGMENT : IDS_NOT_ENOUGH_ROOM;
  return ShowMessage(question, MB_YESNO | MB_ICONWARNING, Widen(what).c_str(), room.c_str(),
                     length.c_str()) == IDYES;
}

// The sound becomes the fragment in the first empty slot, cut to the block,
// one step of the history; the panels show it (the document says so), and it
// is selected and loaded into the player. Its slot, or -1.
int BMainDlg::PlaceNewFragment(const std::string& name, const BMemRange& block,
                               const uint8_t* samples, uint32_t length, BEditKind kind) {
  int slot = m_document.PlaceFragment(name, block, samples, length, kind);
  if (slot < 0) return slot;
  int row = m_panels.RowOfFragment(slot);
  if (row >= 0) m_panels.SelectFragmentRow(row);
  LoadFragmentIntoPlayer();
  return slot;
}

// ---- Signals ----------------------------------------------------------------------

// The player is emptied for the dialog's previews; a cancelled dialog gives
// it the selected fragment back.
void BMainDlg::OnMakeSignal() {
  if (!ReadyForNewFragment()) return;
  EnablePlayer(false);
  BSignalForm form(BSignalDlg::Words(), LargestFreeBlock(m_profile));
  form.ParseSetting(Widen(m_settings.signal));
  bool accepted = m_prompts->AskSignal(form);
  EnablePlayer(false);
  if (accepted) {
    m_settings.signal = Narrow(form.FormatSetting());
    m_settings.SaveSignal();
  }
  if (!accepted || !PlaceSignal(form)) LoadFragmentIntoPlayer();
}

bool BMainDlg::PlaceSignal(const BSignalForm& form) {
  std::string name = Narrow(form.FragmentName());
  std::vector<uint8_t> samples = BSignalSynth(form.Params()).Synthesize();
  uint32_t length = static_cast<uint32_t>(samples.size());
  BMemRange block;
  if (!ChooseBlockFor(name, length, SamplesToMilliseconds(length), block)) return false;
  return PlaceNewFragment(name, block, samples.data(), length, BEditKind::Signal) >= 0;
}

// ---- Levelling ---------------------------------------------------------------------

// The fragments in the order of the list; the player is emptied for the
// dialog's previews and gets the selected fragment back afterwards.
void BMainDlg::OnLevelLoudness() {
  if (JobHoldsProfile()) return;
  std::vector<int> slots;
  const std::vector<BLoudnessDlg::Fragment> fragments = BLoudnessDlg::Measure(m_profile, slots);
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
  if (m_panels.SelectedFragmentRow() >= 0) ReloadEditedFragment();
  RepaintMemoryView();
  ShowStatus(IDS_LOUDNESS_DONE, static_cast<int>(levelled.size()), FormatLoudness(target).c_str());
}
