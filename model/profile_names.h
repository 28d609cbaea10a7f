// How the profile file keeps a fragment's name. The program holds names in
// UTF-8; the file keeps at most kMaxNameLength bytes. A name that Windows'
// Cyrillic code page (1251) can spell is kept in it, as profiles have always
// kept their names, so that every older profile and every tool that reads
// them still shows it; any other name (Kazakh, Chinese, an emoji) is kept as
// UTF-8 behind the byte order mark, which no name in code page 1251 begins with.
#pragma once

#include <string>

// The name the file's bytes hold: UTF-8 behind the mark, else code page 1251.
std::string NameFromFile(const std::string& bytes);
// The bytes the file keeps for `name`, cut (at a whole character) to kMaxNameLength.
std::string NameForFile(const std::string& name);
// `name` as it comes back from the file: the longest start of it that fits.
std::string FitName(const std::string& name);
