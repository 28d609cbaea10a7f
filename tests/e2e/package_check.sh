#!/usr/bin/env bash
# Checks the release package that scripts/package.sh wrote: the files it
# holds, its texts, the LAME and libsoxr sources it ships and the relinking
# kit, which must link the very same Sirelta.exe again and must take LAME and
# libsoxr from where it is told. Unpacks the package into DIR (emptied first); the end-to-end tests
# then start the Sirelta.exe found there.
# Usage: package_check.sh ZIP DIR
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/common.sh"
ZIP=$1
DIR=$2
FAILURES=0
PASSES=0
pass() { PASSES=$((PASSES + 1)); printf '[       OK ] %s\n' "$1"; }
fail() { FAILURES=$((FAILURES + 1)); printf '[  FAILED  ] %s: %s\n' "$1" "$2"; }

test_package_holds_its_files() {
  local name="PackageHoldsItsFiles"
  [ -f "$ZIP" ] || { fail "$name" "no package $ZIP"; return 1; }
  rm -rf "$DIR" && mkdir -p "$DIR"
  # Every name is listed; the Cyrillic ones are marked as UTF-8 for Windows.
  local problems
  problems=$(python3 - "$ZIP" "$DIR" <<'EOF'
import sys, zipfile
required = ["Sirelta.exe", "ПРОЧТИ.txt", "README.txt", "LAME-COPYING.txt", "SOXR-COPYING.txt",
            "FLAC-COPYING.txt", "OGG-COPYING.txt", "VORBIS-COPYING.txt", "OPUS-COPYING.txt",
            "OPUSFILE-COPYING.txt", "EBUR128-COPYING.txt", "mingw-w64-runtime-copyright.txt", "relink/relink.sh",
            "relink/ПЕРЕСБОРКА.txt", "relink/lib/libmp3lame.a", "relink/lib/libsoxr.a"]
with zipfile.ZipFile(sys.argv[1]) as archive:
    names = archive.namelist()
    for name in required:
        if name not in names:
            print("missing", name)
    for info in archive.infolist():
        if not info.filename.isascii() and not info.flag_bits & 0x800:
            print("not marked as UTF-8:", info.filename)
    if not any(n.startswith("lame-source/") and n.endswith(".orig.tar.gz") for n in names):
        print("no LAME source archive")
    if not any(n.startswith("soxr-source/") and ".orig.tar." in n for n in names):
        print("no libsoxr source archive")
    if not any(n.startswith("relink/obj/") for n in names):
        print("no object files to relink")
    if archive.testzip() is not None:
        print("damaged member", archive.testzip())
    archive.extractall(sys.argv[2])
EOF
  )
  [ -z "$problems" ] || { fail "$name" "$problems"; return 1; }
  cmp -s "$DIR/Sirelta.exe" "$BUILD/win/app/Sirelta.exe" ||
    { fail "$name" "the packed Sirelta.exe is not the one built"; return 1; }
  pass "$name"
}

test_texts_read_right_on_windows() {
  local name="TextsReadRightOnWindows"
  local text version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win/CMakeCache.txt")
  for text in "$DIR/ПРОЧТИ.txt" "$DIR/README.txt" "$DIR/relink/ПЕРЕСБОРКА.txt"; do
    [ "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
      { fail "$name" "$text has no byte order mark"; return; }
    [ "$(grep -c $'\r$' "$text")" = "$(wc -l <"$text")" ] ||
      { fail "$name" "$text has lines without CRLF"; return; }
    ! grep -q '@[A-Z_]*@' "$text" || { fail "$name" "$text keeps a placeholder"; return; }
  done
  for text in "$DIR/ПРОЧТИ.txt" "$DIR/README.txt"; do
    head -n 1 "$text" | grep -q "Sirelta $version"$'\r' ||
      { fail "$name" "the heading of $text is not Sirelta $version"; return; }
    grep -qF 'HKEY_CURRENT_USER\Software\Sirelta' "$text" ||
      { fail "$name" "$text does not name the settings key"; return; }
  done
  grep -q "GNU LIBRARY GENERAL PUBLIC LICENSE" "$DIR/LAME-COPYING.txt" ||
    { fail "$name" "LAME-COPYING.txt is not the LGPL"; return; }
  grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$DIR/SOXR-COPYING.txt" ||
    { fail "$name" "SOXR-COPYING.txt is not the LGPL"; return; }
  pass "$name"
}

# Each read-me names every value the program keeps in the registry (the
# settings' names in ui/settings.cpp) and every command of the menu of its
# language, quoted by the menu's own text: ПРОЧТИ.txt the Russian menu
# (ui/sirelta.rc) in «», README.txt the English one (ui/dialogs_en.rc) in "";
# neither names a setting the program does not keep.
test_read_me_names_every_setting_and_command() {
  local name="ReadMeNamesEverySettingAndCommand"
  local missing
  missing=$(python3 - "$ROOT/ui/settings.cpp" "$DIR/ПРОЧТИ.txt" "$ROOT/ui/sirelta.rc" "«%s»" \
    "$DIR/README.txt" "$ROOT/ui/dialogs_en.rc" '"%s"' <<'EOF'
import re, sys
settings = re.findall(r'k\w+Value\[\] = L?"(\w+)"', open(sys.argv[1], encoding="utf-8").read())
for readme, script, quoted in zip(sys.argv[2::3], sys.argv[3::3], sys.argv[4::3]):
    text = open(readme, encoding="utf-8-sig").read().replace("\r", "")
    commands = re.findall(r'MENUITEM "([^"\\]+)', open(script, encoding="utf-8").read())
    if not settings or not commands:
        print("no settings or no menu commands found in the sources")
    listed = set(re.findall(r"^  ([A-Za-z]\w*) +- ", text, re.M))
    where = readme.rsplit("/", 1)[-1] + ":"
    for setting in settings:
        if setting not in listed:
            print(where, "setting", setting)
    for setting in sorted(listed - set(settings)):
        print(where, "a setting the program does not keep:", setting)
    for command in commands:
        if quoted % command not in text:
            print(where, "command", quoted % command)
EOF
  )
  [ -z "$missing" ] || { fail "$name" "the read-me does not name: $missing"; return; }
  pass "$name"
}

# The LAME and libsoxr sources are those the libraries were built from: the
# archives match the checksums of their Debian source descriptions.
test_sources_are_complete() {
  local name="SourcesAreComplete"
  local folder listed result
  for folder in lame-source soxr-source; do
    listed=$(cd "$DIR/$folder" &&
      sed -n '/^Checksums-Sha256:/,/^[A-Z]/p' ./*.dsc | awk 'NF == 3 { print $1 "  " $3 }')
    [ -n "$listed" ] || { fail "$name" "no checksums in the .dsc of $folder"; return; }
    result=$(cd "$DIR/$folder" && echo "$listed" | sha256sum -c 2>&1) ||
      { fail "$name" "$result"; return; }
  done
  pass "$name"
}

# The kit alone links the very same program: every file the linker reads
# (its trace) is in the kit or belongs to the MinGW toolchain, so no library
# of the link is missing and relink.sh reaches nothing outside the kit.
test_kit_relinks_the_program() {
  local name="KitRelinksTheProgram"
  local kit="$DIR/relink" out outside
  if ! out=$(sh "$kit/relink.sh" -Wl,--trace 2>&1); then
    fail "$name" "relink.sh failed: $out"
    return
  fi
  cmp -s "$kit/Sirelta.exe" "$DIR/Sirelta.exe" ||
    { fail "$name" "the relinked Sirelta.exe differs from the packed one"; return; }
  outside=$(echo "$out" | grep -v '^Sirelta.exe linked in ' | python3 -c '
import os, subprocess, sys
kit = os.path.realpath(sys.argv[1])
dirs = subprocess.run(["x86_64-w64-mingw32-g++-posix", "-print-search-dirs"], text=True,
                      capture_output=True, check=True).stdout
toolchain = [os.path.realpath(d) for line in dirs.splitlines() if line.startswith("libraries: =")
             for d in line.split("=", 1)[1].split(":") if d]
for line in sys.stdin:
    path = os.path.realpath(os.path.join(kit, line.strip()))
    if not any(path.startswith(base + os.sep) for base in [kit] + toolchain):
        print(line.strip())
' "$kit")
  [ -z "$outside" ] || { fail "$name" "the link reads files outside the kit: $outside"; return; }
  # With a LAME or libsoxr archive that lacks their code, the link must fail on it.
  rm -f "$kit/Sirelta.exe" "$BUILD/empty-library.a"
  x86_64-w64-mingw32-ar rc "$BUILD/empty-library.a"
  if out=$(LAME="$BUILD/empty-library.a" sh "$kit/relink.sh" 2>&1); then
    fail "$name" "linked without the LAME library"
    return
  fi
  echo "$out" | grep -q "undefined reference to .hip_decode" ||
    { fail "$name" "the link without LAME failed otherwise: $out"; return; }
  out=$(SOXR="$BUILD/empty-library.a" sh "$kit/relink.sh" 2>&1) &&
    { fail "$name" "linked without the libsoxr library"; return; }
  echo "$out" | grep -q "undefined reference to .soxr_" ||
    { fail "$name" "the link without libsoxr failed otherwise: $out"; return; }
  pass "$name"
}

if test_package_holds_its_files; then
  test_texts_read_right_on_windows
  test_read_me_names_every_setting_and_command
  test_sources_are_complete
  test_kit_relinks_the_program
fi
printf '[==========] release package: %d passed, %d failed\n' "$PASSES" "$FAILURES"
[ "$FAILURES" = 0 ]
