// Importing a sound file as a new fragment: the add-fragment command, files
// dropped on the window, and the import itself.
#include "main_window_base.h"

#include <memory>

#include "audio/audio_source.h"
#include "audio/durations.h"
#include "audio/import_plan.h"
#include "toolkit/list_controls.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

void BMainDlgBase::OnAddFragment() {
  if (!ReadyForNewFragment()) return;
  std::string path;
  if (!m_prompts->AskAudioPath(path)) return;
  EnablePlayer(false);
  if (!ImportFile(path)) return;
}

// A new fragment needs a free slot and free room; during a siren job the
// profile belongs to the job. What plays stops.
bool BMainDlgBase::ReadyForNewFragment() {
  if (JobHoldsProfile()) return false;
  OnStop();
  if (RowCount(m_fragmentList) >= kMaxFragments) {
    ShowMessage(IDS_TOO_MANY_FRAGMENTS, MB_ICONERROR, kMaxFragments);
    return false;
  }
  if (m_profile.GetFreeBlocks().empty()) {
    ShowMessage(IDS_NO_FREE_MEMORY, MB_ICONERROR);
    return false;
  }
  return true;
}

// Each file in turn; the first that cannot be imported stops the rest.
// During a siren job nothing is imported and the controls stay as they are.
void BMainDlgBase::ImportDroppedFiles(const std::vector<std::string>& paths) {
  if (JobHoldsProfile()) return;
  EnablePlayer(false);
  for (const std::string& path : paths) {
    if (m_profile.GetFreeBlocks().empty()) {
      ShowMessage(IDS_NO_FREE_MEMORY, MB_ICONERROR);
      return;
    }
    if (RowCount(m_fragmentList) >= kMaxFragments) {
      ShowMessage(IDS_DROPPED_FILE_TOO_MANY_FRAGMENTS, MB_ICONERROR, Widen(path).c_str(),
                  kMaxFragments);
      return;
    }
    if (path.empty()) continue;
    if (!ImportFile(path)) return;
  }
}

bool BMainDlgBase::ImportFile(const std::string& path) {
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
bool BMainDlgBase::ChooseBlockFor(const std::string& what, uint64_t neededBytes,
                                  uint32_t milliseconds, BMemRange& block) {
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
int BMainDlgBase::PlaceNewFragment(const std::string& name, const BMemRange& block,
                                   const uint8_t* samples, uint32_t length, BEditKind kind) {
  int slot = m_document.PlaceFragment(name, block, samples, length, kind);
  if (slot < 0) return slot;
  int row = RowOfFragment(slot);
  if (row >= 0) SelectFragmentRow(row);
  LoadFragmentIntoPlayer();
  return slot;
}
