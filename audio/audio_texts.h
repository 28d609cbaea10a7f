// The sound readers' own refusal texts, by their string-table id
// (ui/string_ids.h), with up to two numbers for the text's printf fields.
// In the program they come from the executable's string table, in the ANSI
// code page like every other error text of the readers. The native build has
// no string table: it names the id and the numbers ("text 220: 3, 32"), so
// that its tests can still tell the texts apart. Any thread may call it.
#pragma once

#include <string>

std::string AudioText(unsigned id, unsigned long first = 0, unsigned long second = 0);
// The same with a name (ANSI code page) for the text's one %s field; the
// native build gives "text 335: name".
std::string AudioText(unsigned id, const std::string& name);
