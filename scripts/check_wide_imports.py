#!/usr/bin/env python3
"""Fails when Sirelta.exe imports an ANSI text function of the system: every
call with text must be the wide one, so that nothing is narrowed to the ANSI
code page. The toolchain's own runtime brings in a few, which it calls with
no text of the program; they are named below."""
import re
import subprocess
import sys

CHECKED = {"user32.dll", "kernel32.dll", "comdlg32.dll", "shell32.dll", "advapi32.dll"}
# The C start-up, the thread library and the C++ library's error texts.
RUNTIME = {"GetStartupInfoA", "CreateEventA", "CreateSemaphoreA", "OutputDebugStringA",
           "FormatMessageA"}


def imports(exe):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True,
                          capture_output=True, text=True).stdout
    dll = None
    for line in dump.splitlines():
        name = re.match(r"\s*DLL Name: (\S+)", line)
        if name:
            dll = name.group(1).lower()
            continue
        entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\w+)$", line)
        if entry and dll:
            yield dll, entry.group(1)


def main():
    exe = sys.argv[1]
    ansi = sorted({(dll, name) for dll, name in imports(exe)
                   if dll in CHECKED and re.search(r"[a-z0-9]A$", name) and name not in RUNTIME})
    for dll, name in ansi:
        print(f"{exe}: imports the ANSI text function {name} of {dll}")
    if ansi:
        return 1
    print(f"{exe}: no ANSI text function imported")
    return 0


if __name__ == "__main__":
    sys.exit(main())
