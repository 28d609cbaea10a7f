#include "model/recent_profiles.h"

#include <algorithm>

#include "platform/text.h"

namespace {

// The capital of a letter of the Latin, Latin-1, Greek or Cyrillic alphabet
// (the scripts of the program's users' folder names); any other character is
// kept. Windows compares file names by such a table of capitals.
char32_t Capital(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c == 0x3AC) return 0x386;                 // accented alpha
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;  // epsilon, eta, iota
  if (c == 0x3CC) return 0x38C;                 // omicron
  if (c == 0x3CD || c == 0x3CE) return c - 63;  // upsilon, omega
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c == U'/') return U'\\';
  return c;
}

std::u32string FoldedPath(const std::string& path) {
  std::u32string folded;
  size_t at = 0;
  char32_t code = 0;
  while (at < path.size()) {
    if (!DecodeUtf8(path, at, code)) code = 0xFFFD;
    folded.push_back(Capital(code));
  }
  return folded;
}

// The start of a path that names where it lies: "C:\", "\\server\share\",
// or nothing.
size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) return 3;
  if (path.rfind(L"\\\\", 0) != 0) return 0;
  size_t server = path.find(L'\\', 2);
  if (server == std::wstring::npos) return 0;
  size_t share = path.find(L'\\', server + 1);
  return share == std::wstring::npos ? 0 : share + 1;
}

std::wstring Shortened(const std::wstring& path, size_t maxCharacters) {
  if (path.size() <= maxCharacters) return path;
  const size_t root = RootLength(path);
  size_t name = path.find_last_of(L"\\/");
  name = name == std::wstring::npos ? 0 : name + 1;
  const std::wstring ellipsis = L"...\\";
  // Whole folders from the end, as many as fit beside the root and the name.
  size_t keepFrom = name;
  while (keepFrom > root + 1) {
    size_t previous = path.find_last_of(L"\\/", keepFrom - 2);
    if (previous == std::wstring::npos || previous + 1 <= root) break;
    if (root + ellipsis.size() + (path.size() - (previous + 1)) > maxCharacters) break;
    keepFrom = previous + 1;
  }
  if (keepFrom <= root) return path;
  return path.substr(0, root) + ellipsis + path.substr(keepFrom);
}

}  // namespace

BRecentProfiles::BRecentProfiles(const std::vector<std::string>& paths) {
  for (auto it = paths.rbegin(); it != paths.rend(); ++it)
    if (!it->empty()) Add(*it);
}

void BRecentProfiles::Add(const std::string& path) {
  if (path.empty()) return;
  Remove(path);
  m_paths.insert(m_paths.begin(), path);
  if (m_paths.size() > kMaxEntries) m_paths.resize(kMaxEntries);
}

bool BRecentProfiles::Remove(const std::string& path) {
  auto same = [&path](const std::string& entry) { return SamePath(entry, path); };
  auto end = std::remove_if(m_paths.begin(), m_paths.end(), same);
  if (end == m_paths.end()) return false;
  m_paths.erase(end, m_paths.end());
  return true;
}

bool BRecentProfiles::SamePath(const std::string& a, const std::string& b) {
  return FoldedPath(a) == FoldedPath(b);
}

std::wstring RecentMenuText(size_t index, const std::wstring& path, size_t maxCharacters) {
  std::wstring text = L"&" + std::to_wstring(index + 1) + L" ";
  for (wchar_t c : Shortened(path, maxCharacters)) {
    if (c == L'&') text += L'&';
    text += c;
  }
  return text;
}
