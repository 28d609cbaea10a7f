// Texts of the user interface: string-table lookup, printf-style formatting
// and the conversion between the ANSI code page (file names, fragment names)
// and the wide strings that every window shows.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

// The program title: window caption and the caption of every message box.
extern const wchar_t kProgramTitle[];

// The string of the module's string table with this id, or an empty string.
std::wstring LoadText(HINSTANCE instance, UINT id);

// printf rules with Microsoft's wide conventions: %s takes a wide string.
std::wstring FormatText(const wchar_t* format, ...);
std::wstring FormatTextV(const wchar_t* format, va_list arguments);

// Between the ANSI code page and UTF-16.
std::wstring Widen(const std::string& ansi);
std::string Narrow(const std::wstring& wide);

// The text with white space removed at both ends.
std::string Trim(const std::string& text);
