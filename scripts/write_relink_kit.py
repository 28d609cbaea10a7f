#!/usr/bin/env python3
"""Writes the relinking kit of Sirelta.exe: its objects, the libraries of its
link and relink.sh, the link command rewritten to those copies.

Usage: write_relink_kit.py APP_BUILD_DIR KIT_DIR

The link is read from what CMake wrote for it (CMakeFiles/Sirelta.dir/
link.txt and the response files it names), each file split by its own quoting
rules, so that a build folder whose path holds spaces, dashes or Cyrillic
letters gives the same kit. Every file the link reads is copied into the kit;
relink.sh names no path outside it. The LGPL libraries (LAME, libsoxr) are
taken from variables of relink.sh ($LAME, $SOXR) so that a user can link
another build of them, as their licence asks.
"""

import os
import shlex
import shutil
import sys

TARGET = "Sirelta.exe"
TARGET_DIR = os.path.join("CMakeFiles", "Sirelta.dir")
# The libraries a user may replace, by the variable of relink.sh that names them.
REPLACEABLE = {"libmp3lame.a": "LAME", "libsoxr.a": "SOXR"}
DROPPED_FLAGS = ("-Wl,--whole-archive", "-Wl,--no-whole-archive")


def split_response_file(text):
    """Splits a GCC response file (@file) as GCC does: words separated by
    white space, single and double quotes group, a backslash takes the next
    character as it is, inside quotes too."""
    words, word, quote, i = [], None, None, 0
    while i < len(text):
        char = text[i]
        if char == "\\" and i + 1 < len(text):
            word = (word or "") + text[i + 1]
            i += 2
            continue
        if quote:
            if char == quote:
                quote = None
            else:
                word += char
        elif char.isspace():
            if word is not None:
                words.append(word)
                word = None
        elif char in "'\"":
            quote = char
            word = word or ""
        else:
            word = (word or "") + char
        i += 1
    if word is not None:
        words.append(word)
    return words


def read_words(path):
    with open(path, encoding="utf-8") as stream:
        return split_response_file(stream.read())


def link_lines(app_build):
    """The commands of link.txt, each split as the shell splits it."""
    with open(os.path.join(app_build, TARGET_DIR, "link.txt"), encoding="utf-8") as stream:
        return [shlex.split(line) for line in stream if line.strip()]


class KitWriter:
    def __init__(self, app_build, kit):
        self.app_build = app_build
        self.kit = kit
        self.copied = {}  # name in the kit -> source path
        self.command = ['"$CXX"']

    def source_path(self, path):
        return path if os.path.isabs(path) else os.path.join(self.app_build, path)

    def copy_into(self, folder, path, name=None):
        source = self.source_path(path)
        name = name or os.path.basename(source)
        relative = folder + "/" + name
        previous = self.copied.get(relative)
        if previous and os.path.realpath(previous) != os.path.realpath(source):
            sys.exit("two link inputs are both named %s: %s and %s" % (relative, previous, source))
        self.copied[relative] = source
        shutil.copyfile(source, os.path.join(self.kit, folder, name))
        return relative

    def add_objects(self, archive_words):
        """The program's own objects: CMake puts them into objects.a from a
        response file named on the archiver's command line."""
        for word in archive_words:
            if word.startswith("@"):
                for obj in read_words(self.source_path(word[1:])):
                    name = os.path.basename(obj)
                    if not name.endswith(".obj"):
                        name += ".obj"
                    self.command.append(shlex.quote(self.copy_into("obj", obj, name)))

    def add_library(self, word):
        if not word.endswith((".a", ".lib", ".o", ".obj")):
            self.command.append(shlex.quote(word))  # -lname, a flag
            return
        relative = self.copy_into("lib", word)
        variable = REPLACEABLE.get(os.path.basename(word))
        self.command.append('"$%s"' % variable if variable else shlex.quote(relative))

    def add_link(self, link_words, archive_words):
        words = iter(link_words[1:])
        for word in words:
            if word == "-o":
                next(words)
                self.command.append("-o " + TARGET)
            elif word in DROPPED_FLAGS or word.startswith("-Wl,--out-implib,"):
                continue
            elif os.path.basename(word) == "objects.a":
                self.add_objects(archive_words)
            elif word.startswith("@"):
                for library in read_words(self.source_path(word[1:])):
                    self.add_library(library)
            elif word.startswith("-"):
                self.command.append(shlex.quote(word))
            else:
                self.add_library(word)
        linked = {os.path.basename(p) for p in self.copied}
        for library in REPLACEABLE:
            if library not in linked:
                sys.exit("the link of %s names no %s" % (TARGET, library))

    def write_script(self):
        lines = [
            "#!/bin/sh",
            "# Links Sirelta.exe again from obj/ and lib/ (see ПЕРЕСБОРКА.txt).",
            "# CXX: the MinGW-w64 C++ compiler; LAME, SOXR: the LAME and libsoxr",
            "# libraries to link. Arguments given to this script are added to the",
            "# link command.",
            "set -e",
            'cd "$(dirname "$0")"',
            "CXX=${CXX:-x86_64-w64-mingw32-g++-posix}",
        ] + ["%s=${%s:-lib/%s}" % (v, v, name) for name, v in REPLACEABLE.items()] + [
            " \\\n  ".join(self.command + ['"$@"']),
            'echo "Sirelta.exe linked in $(pwd)"',
        ]
        path = os.path.join(self.kit, "relink.sh")
        with open(path, "w", encoding="utf-8", newline="\n") as stream:
            stream.write("\n".join(lines) + "\n")
        os.chmod(path, 0o755)


def main():
    app_build, kit = sys.argv[1], sys.argv[2]
    os.makedirs(os.path.join(kit, "obj"), exist_ok=True)
    os.makedirs(os.path.join(kit, "lib"), exist_ok=True)
    lines = link_lines(app_build)
    link = [words for words in lines if "-o" in words and TARGET in words]
    archive = [words for words in lines if any(w.endswith("objects.a") for w in words[1:3])]
    if len(link) != 1:
        sys.exit("link.txt holds no single link command of %s" % TARGET)
    writer = KitWriter(app_build, kit)
    writer.add_link(link[0], archive[0] if archive else [])
    writer.write_script()


if __name__ == "__main__":
    main()
