// Helpers shared by the Windows tests: a scratch folder, whole-file reads and
// a clean settings key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A folder of its own under the system's temporary folder, removed with its files.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string Path(const std::string& name) const { return m_path + "\\" + name; }

 private:
  std::string m_path;
};

// A file name in the Linux /tmp for the emulator, which is a Linux program,
// unique to this test run: Wine's process ids are small and repeat in every
// Wine prefix, so tests of two checkouts running at once would share it.
std::string UnixScratchPath(const std::string& stem, const std::string& extension);

std::vector<unsigned char> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
bool FileExists(const std::string& path);
// A PCM WAVE file of 8-bit mono samples at `rate`.
void WriteWave(const std::string& path, uint32_t rate, const std::vector<uint8_t>& samples);

// Dispatches the thread's messages until `done` holds or the time is up;
// false on time-out.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Removes HKCU\Software\Sirelta so that a test starts from a fresh user,
// one of the Russian interface that the tests quote: the key then holds
// only "Language" = "ru", which a main window made afterwards reads.
// An environment variable as UTF-8 (a folder of any name); empty when unset.
std::string EnvironmentText(const char* name);
void DeleteSettingsKey();
void WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size);
std::string ReadSettingsString(const char* name);
