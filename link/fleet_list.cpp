#include "link/fleet_list.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool SameFleetEntry(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> ParseFleetList(const std::string& text) {
  std::vector<std::string> entries;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = Trimmed(text.substr(start, end - start));
    auto same = [&entry](const std::string& listed) { return SameFleetEntry(listed, entry); };
    if (!entry.empty() && std::none_of(entries.begin(), entries.end(), same))
      entries.push_back(entry);
    start = end + 1;
  }
  return entries;
}

std::string JoinFleetList(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text += (text.empty() ? "" : ";") + entry;
  return text;
}
