// Turns a text described by the siren link into words.
#pragma once

#include <windows.h>

#include <string>

#include "link/link_text.h"

// The text's string-table format with each argument formatted by its own
// conversion: numbers, ANSI strings (port names, system messages) and nested
// texts (a reason inside a message).
std::wstring FormatLinkText(HINSTANCE instance, const BLinkText& text);
