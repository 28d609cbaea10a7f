#!/usr/bin/env python3
"""Checks that no two texts of the string table share an id.

The string ids live beside their subsystems (audio/, link/, model/, ui/) and
the one string table includes them all; the resource compiler takes two
entries with the same id without a word and keeps one of them, so a clash
would show the user another text. Also checks the menu command ids of
ui/resource.h among themselves. Exits 1 and names every clash.
"""

import glob
import os
import re
import sys

DEFINE = re.compile(r"^\s*#define\s+(ID[A-Z]*_\w+)\s+(\d+)\b", re.M)


def clashes(paths, prefixes):
    owners = {}
    found = []
    for path in paths:
        with open(path, encoding="utf-8") as stream:
            for name, value in DEFINE.findall(stream.read()):
                if not name.startswith(prefixes):
                    continue
                key = (name.split("_")[0], int(value))
                if key in owners:
                    found.append("%s and %s are both %s" % (owners[key], name, value))
                else:
                    owners[key] = name
    return found


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    string_headers = sorted(glob.glob(os.path.join(root, "*", "*string_ids.h")))
    problems = clashes(string_headers, ("IDS_",))
    problems += clashes([os.path.join(root, "ui", "resource.h")], ("ID_",))
    if not string_headers:
        problems.append("no string id headers found")
    for problem in problems:
        print("resource ids: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
