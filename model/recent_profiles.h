// BRecentProfiles: the profiles opened or saved last, newest first, as the
// File menu lists them. Paths are UTF-8; Windows paths name the same file
// whatever the case of their letters and the kind of their slashes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class BRecentProfiles {
 public:
  static constexpr size_t kMaxEntries = 8;

  BRecentProfiles() = default;
  // Keeps the first kMaxEntries distinct, non-empty paths of `paths`.
  explicit BRecentProfiles(const std::vector<std::string>& paths);

  // Puts `path` first; an older entry for the same file goes, and the oldest
  // entry when the list is longer than kMaxEntries.
  void Add(const std::string& path);
  // Takes the entry for the file `path` off; false when it was not listed.
  bool Remove(const std::string& path);
  const std::vector<std::string>& Paths() const { return m_paths; }

  // True when the two paths name the same file as Windows compares names:
  // letters of any script without regard to their case, "/" as "\".
  static bool SamePath(const std::string& a, const std::string& b);

 private:
  std::vector<std::string> m_paths;
};

// The menu text of entry `index` (0 = newest): its number as the accelerator
// ("&1 ".."&8 "), then the path, shortened in the middle to about
// `maxCharacters` characters (the drive or server and the file name are
// kept) and with its "&" doubled so that the menu shows it.
std::wstring RecentMenuText(size_t index, const std::wstring& path, size_t maxCharacters = 60);
