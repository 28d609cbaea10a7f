// Texts of the windows: the program title and printf-style formatting with a
// wide format. The string table, the described texts and the conversion
// between UTF-8 and the wide strings are platform/text.h's.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

#include "platform/text.h"

// The program title: window caption and the caption of every message box.
extern const wchar_t kProgramTitle[];

// printf rules with Microsoft's wide conventions: %s takes a wide string.
std::wstring FormatText(const wchar_t* format, ...);
std::wstring FormatTextV(const wchar_t* format, va_list arguments);

// The text with white space removed at both ends.
std::string Trim(const std::string& text);
