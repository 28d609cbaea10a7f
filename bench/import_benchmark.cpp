// Times the import of sound files through the program's own code path: open
// the file, measure it, convert it to the siren format and place it in a
// profile. Usage: import_benchmark FILE...   (prints one line per file)
#include <windows.h>

#include <cstdio>
#include <string>

#include "audio/audio_source.h"
#include "audio/import_plan.h"
#include "model/profile.h"

namespace {

double NowMs() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

bool ImportOnce(const std::string& path) {
  double start = NowMs();
  BAudioSource source;
  if (!source.Open(path)) {
    std::printf("%s: cannot open: %s\n", path.c_str(), source.GetErrorText().c_str());
    return false;
  }
  int32_t length = source.GetLength();
  BProfile profile;
  BImportPlan plan = PlanImport(profile.GetFreeBlocks(), BytesForMilliseconds(length));
  uint32_t roomMs = static_cast<uint32_t>(plan.chosen.length * 1000 / 9765.0);
  if (!source.Convert(9765, roomMs)) {
    std::printf("%s: cannot convert: %s\n", path.c_str(), source.GetErrorText().c_str());
    return false;
  }
  uint32_t bytes = 0;
  const uint8_t* data = source.GetData(bytes);
  int slot = profile.PlaceFragment("bench", plan.chosen, data, bytes);
  double elapsed = NowMs() - start;
  std::printf("%-40s %6d ms of sound -> %6u bytes in slot %d: %8.1f ms\n", path.c_str(), length,
              profile.GetFragment(slot).length, slot, elapsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;
  for (int i = 1; i < argc; ++i) ok = ImportOnce(argv[i]) && ok;
  return ok ? 0 : 1;
}
