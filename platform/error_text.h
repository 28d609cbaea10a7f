// The operating system's error codes and their texts.
#pragma once

#include <string>

// The calling thread's last system error code (GetLastError or errno).
// Read it right after the failing call, before anything else can change it.
unsigned long GetLastSystemError();

// The code the system uses for "not enough memory".
unsigned long OutOfMemorySystemError();

// The codes the readers report for "reached the end of the file" and for an
// operation on a file that is not open (ERROR_HANDLE_EOF and
// ERROR_INVALID_HANDLE on Windows; ENODATA and EBADF on POSIX, whose texts
// say the same in the system's words).
unsigned long EndOfFileSystemError();
unsigned long InvalidHandleSystemError();

// The system's message for an error code, without a trailing line break.
// On Windows it is in the user's default language, in UTF-8;
// when the system has no text, it is "Unknown error 0x<code>".
std::string GetErrorText(unsigned long code);
