#!/usr/bin/env python3
"""Checks the resource ids of the program.

1. No two texts of the string table share an id. The string ids live beside
   their subsystems (audio/, link/, model/, ui/) and the one string table
   includes them all; the resource compiler takes two entries with the same
   id without a word and keeps one of them, so a clash would show the user
   another text. The menu command ids of ui/resource.h are checked among
   themselves too.
2. Every language of the resource scripts (ui/*.rc, each resource under the
   LANGUAGE statement before it) holds the same ids as Russian, the
   program's own: the same string ids, the same menus with the same items
   in the same order, the same dialogs with the same controls in the same
   order, and the same accelerator tables. A resource that one language
   lacks would be shown in the other; a command or control that one lacks
   would be missing from that language's interface.

Exits 1 and names every problem.
"""

import glob
import os
import re
import sys

DEFINE = re.compile(r"^\s*#define\s+(ID[A-Z]*_\w+)\s+(\d+)\b", re.M)
LANGUAGE = re.compile(r"^\s*LANGUAGE\s+(\w+)\s*,\s*(\w+)")
BLOCK_START = re.compile(r"^\s*(\w+)\s+(MENU|MENUEX|DIALOG|DIALOGEX|ACCELERATORS|STRINGTABLE)\b")
STRINGTABLE = re.compile(r"^\s*STRINGTABLE\b")
CONTROLS = {"CONTROL", "LTEXT", "RTEXT", "CTEXT", "GROUPBOX", "PUSHBUTTON", "DEFPUSHBUTTON",
            "EDITTEXT", "COMBOBOX", "LISTBOX", "CHECKBOX", "AUTOCHECKBOX", "RADIOBUTTON",
            "AUTORADIOBUTTON", "STATE3", "AUTO3STATE", "ICON", "SCROLLBAR", "PUSHBOX"}
BASE_LANGUAGE = "LANG_RUSSIAN"


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


def skip_string(text, i):
    """The index after the quoted string that starts at text[i]."""
    i += 1
    while i < len(text):
        if text[i] == '"':
            if text[i + 1:i + 2] == '"':
                i += 2
                continue
            return i + 1
        i += 1
    return i


def statement_id(line):
    """The id of a dialog control or menu item statement: the token after its
    text, or the first token when it has none."""
    rest = line.split(None, 1)[1] if len(line.split(None, 1)) > 1 else ""
    rest = rest.lstrip()
    if rest.startswith('"'):
        rest = rest[skip_string(rest, 0):].lstrip().lstrip(",").lstrip()
    match = re.match(r"-?\w+", rest)
    return match.group(0) if match else "?"


class Resources:
    """The ids one language's resources hold."""

    def __init__(self):
        self.strings = {}  # string id -> file
        self.menus = {}  # menu name -> [item ids, "POPUP", "SEPARATOR" in order]
        self.dialogs = {}  # dialog name -> [(statement, id) in order]
        self.accelerators = {}  # table name -> [entries in order]


def read_script(path, languages, problems):
    """Adds the resources of one script to `languages`, by the LANGUAGE
    statement each stands under."""
    language = None
    block = None  # (kind, name, depth)
    with open(path, encoding="utf-8") as stream:
        lines = stream.read().splitlines()
    where = os.path.relpath(path)
    for number, raw in enumerate(lines, 1):
        line = raw.split("//")[0].rstrip() if not raw.lstrip().startswith('"') else raw.rstrip()
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        if block is None:
            match = LANGUAGE.match(line)
            if match:
                language = match.group(1)
                continue
            kind = name = None
            if STRINGTABLE.match(line):
                kind, name = "STRINGTABLE", ""
            else:
                match = BLOCK_START.match(line)
                if match:
                    name, kind = match.group(1), match.group(2)
            if kind is None:
                continue
            if language is None:
                problems.append("%s:%d: %s %s stands under no LANGUAGE statement" %
                                (where, number, kind, name))
                language = "?"
            res = languages.setdefault(language, Resources())
            if kind in ("MENU", "MENUEX"):
                res.menus[name] = []
            elif kind in ("DIALOG", "DIALOGEX"):
                res.dialogs[name] = []
            elif kind == "ACCELERATORS":
                res.accelerators[name] = []
            block = [kind, name, 0, res]
            continue
        kind, name, depth, res = block
        first = stripped.split()[0].rstrip(",")
        if first in ("BEGIN", "{"):
            block[2] += 1
            continue
        if first in ("END", "}"):
            block[2] -= 1
            if block[2] == 0:
                block = None
            continue
        if depth == 0:
            continue  # STYLE, CAPTION, FONT, MENU of a dialog
        if kind == "STRINGTABLE":
            match = re.match(r"\s*(\w+)\s*,?\s*\"", line)
            if match:
                res.strings[match.group(1)] = where
        elif kind in ("MENU", "MENUEX"):
            if first == "POPUP":
                res.menus[name].append("POPUP")
            elif first == "MENUITEM":
                res.menus[name].append("SEPARATOR" if stripped.split()[1:2] == ["SEPARATOR"]
                                       else statement_id(stripped))
        elif kind in ("DIALOG", "DIALOGEX"):
            if first in CONTROLS:
                res.dialogs[name].append("%s %s" % (first, statement_id(stripped)))
        elif kind == "ACCELERATORS":
            res.accelerators[name].append(" ".join(stripped.replace(",", " ").split()))


def compare_lists(what, base, other, language):
    problems = []
    missing = [x for x in base if x not in other]
    extra = [x for x in other if x not in base]
    for item in missing:
        problems.append("%s: %s lacks %s" % (what, language, item))
    for item in extra:
        problems.append("%s: %s has %s, which Russian lacks" % (what, language, item))
    if not problems and base != other:
        problems.append("%s: %s holds the same ids in another order" % (what, language))
    return problems


def compare_languages(languages):
    problems = []
    base = languages.get(BASE_LANGUAGE)
    if base is None or not base.strings:
        return ["no Russian resources found"]
    for language, res in sorted(languages.items()):
        if language in (BASE_LANGUAGE, "LANG_NEUTRAL"):
            continue
        for sid in sorted(set(base.strings) - set(res.strings)):
            problems.append("string table: %s lacks %s" % (language, sid))
        for sid in sorted(set(res.strings) - set(base.strings)):
            problems.append("string table: %s has %s, which Russian lacks" % (language, sid))
        for kind, base_blocks, blocks in (("menu", base.menus, res.menus),
                                          ("dialog", base.dialogs, res.dialogs),
                                          ("accelerators", base.accelerators, res.accelerators)):
            for name in sorted(set(base_blocks) | set(blocks)):
                if name not in blocks:
                    problems.append("%s %s: %s lacks it" % (kind, name, language))
                elif name not in base_blocks:
                    problems.append("%s %s: Russian lacks it" % (kind, name))
                else:
                    problems += compare_lists("%s %s" % (kind, name), base_blocks[name],
                                              blocks[name], language)
    if len([l for l in languages if l not in ("LANG_NEUTRAL",)]) < 2:
        problems.append("only one language found in the resource scripts")
    return problems


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    os.chdir(root)
    string_headers = sorted(glob.glob(os.path.join(root, "*", "*string_ids.h")))
    problems = clashes(string_headers, ("IDS_",))
    problems += clashes([os.path.join(root, "ui", "resource.h")], ("ID_",))
    if not string_headers:
        problems.append("no string id headers found")
    languages = {}
    for script in sorted(glob.glob(os.path.join(root, "ui", "*.rc"))):
        read_script(script, languages, problems)
    problems += compare_languages(languages)
    for problem in problems:
        print("resource ids: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
