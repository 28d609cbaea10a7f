#!/usr/bin/env bash
# Builds the Windows target and writes the release package
# dist/Sirelta-<version>-win64.zip (the version is the CMake project's):
#   Sirelta.exe, ПРОЧТИ.txt (what the program does, how to connect a siren,
#   where the settings are, how to report a problem) and README.txt, the same
#   in English, LAME-COPYING.txt and
#   SOXR-COPYING.txt (the licences of the MP3 decoder and of the resampler
#   linked in), the licences of the FLAC, Ogg, Vorbis, Opus and opusfile
#   libraries linked in (BSD-style, *-COPYING.txt) and of libebur128 (MIT,
#   EBUR128-COPYING.txt),
#   mingw-w64-runtime-copyright.txt, lame-source/ and
#   soxr-source/ (their Debian source packages as built) and relink/ (the
#   program's objects and libraries with the link command, so that a user can
#   link Sirelta.exe with a modified LAME or libsoxr, as the LGPL asks of a
#   static build).
# Beside it, dist/Sirelta-<version>-setup.exe: the set-up made by NSIS from
# package/sirelta.nsi with the same files (per-user install, Start-menu
# shortcut, .zpf association, uninstaller).
# Prints the path of the package on its last line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
log "building the Windows target"
build_windows >&2

APP_BUILD="$BUILD/win/app"
LAME_SRC=$(debian_source_dir lame)
SOXR_SRC=$(debian_source_dir libsoxr)
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win/CMakeCache.txt")
[ -n "$VERSION" ] || { log "no project version in $BUILD/win/CMakeCache.txt"; exit 1; }
NAME="Sirelta-$VERSION-win64"
STAGE="$BUILD/package/$NAME"
ZIP="$ROOT/dist/$NAME.zip"

# The upstream version of Debian's source package $1, from its folder's name.
source_version() {
  local source
  source=$(debian_source_dir "$1")
  source=${source##*/$1-}
  printf '%s\n' "${source%%+*}"  # without Debian's repacking mark (+ds)
}

# A text for Windows' Notepad: UTF-8 with a byte order mark, CRLF line ends,
# the placeholders filled in.
windows_text() {
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$VERSION/g" -e "s/@LAME_VERSION@/$LAME_VERSION/g" \
    -e "s/@SOXR_VERSION@/$SOXR_VERSION/g" \
    -e "s/@FLAC_VERSION@/$(source_version flac)/g" -e "s/@OGG_VERSION@/$(source_version libogg)/g" \
    -e "s/@VORBIS_VERSION@/$(source_version libvorbis)/g" \
    -e "s/@OPUS_VERSION@/$(source_version opus)/g" \
    -e "s/@OPUSFILE_VERSION@/$(source_version opusfile)/g" \
    -e "s/@EBUR128_VERSION@/$(source_version libebur128)/g" \
    -e "s/@GCC_VERSION@/$GCC_VERSION/g" -e 's/$/\r/' "$1"
}

# The program's objects and libraries with the link command that links the
# same executable from them (see scripts/write_relink_kit.py).
write_relink_kit() {
  python3 "$ROOT/scripts/write_relink_kit.py" "$APP_BUILD" "$1"
  windows_text "$ROOT/package/ПЕРЕСБОРКА.txt" >"$1/ПЕРЕСБОРКА.txt"
}

log "packing $NAME"
LAME_VERSION=${LAME_SRC##*/lame-}
SOXR_VERSION=${SOXR_SRC##*/libsoxr-}
GCC_VERSION=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
rm -rf "$STAGE"
mkdir -p "$STAGE/lame-source" "$STAGE/soxr-source" "$ROOT/dist"
cp "$APP_BUILD/Sirelta.exe" "$STAGE/"
windows_text "$ROOT/package/ПРОЧТИ.txt" >"$STAGE/ПРОЧТИ.txt"
windows_text "$ROOT/package/README.txt" >"$STAGE/README.txt"
cp "$LAME_SRC/COPYING" "$STAGE/LAME-COPYING.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$STAGE/mingw-w64-runtime-copyright.txt"
cp "$DEPS/lame-src"/lame_*.dsc "$DEPS/lame-src"/lame_*.tar.* "$STAGE/lame-source/"
# libsoxr: its licence notice, the copyright file of its source (which names
# the licence of the FFT code it includes) and the LGPL itself.
{
  cat "$SOXR_SRC/LICENCE"
  printf '\n\n'
  cat "$SOXR_SRC/debian/copyright"
  printf '\n\n'
  cat "$SOXR_SRC/COPYING.LGPL"
} >"$STAGE/SOXR-COPYING.txt"
cp "$DEPS/libsoxr-src"/libsoxr_*.dsc "$DEPS/libsoxr-src"/libsoxr_*.tar.* "$STAGE/soxr-source/"
# The reference decoders of FLAC, Ogg Vorbis and Opus: BSD-style licences,
# whose texts go with the program.
cp "$(debian_source_dir flac)/COPYING.Xiph" "$STAGE/FLAC-COPYING.txt"
cp "$(debian_source_dir libogg)/COPYING" "$STAGE/OGG-COPYING.txt"
cp "$(debian_source_dir libvorbis)/COPYING" "$STAGE/VORBIS-COPYING.txt"
cp "$(debian_source_dir opus)/COPYING" "$STAGE/OPUS-COPYING.txt"
cp "$(debian_source_dir opusfile)/COPYING" "$STAGE/OPUSFILE-COPYING.txt"
cp "$(debian_source_dir libebur128)/COPYING" "$STAGE/EBUR128-COPYING.txt"
write_relink_kit "$STAGE/relink"

# Python's zip module marks the Cyrillic names as UTF-8 (flag bit 11).
rm -f "$ZIP"
python3 - "$STAGE" "$ZIP" <<'EOF'
import os, sys, zipfile
stage, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
    for folder, folders, files in os.walk(stage):
        folders.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            archive.write(path, os.path.relpath(path, stage))
EOF
log "written $ZIP"

# The uninstaller's list of what the set-up installs: every file, then every
# folder, deepest first, so that it removes nothing else.
write_uninstall_list() {
  (
    cd "$STAGE"
    find . -type f | LC_ALL=C sort | sed -e 's|^\./||' -e 's|/|\\|g' -e 's|\$|$$|g' \
      -e 's|.*|  Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | LC_ALL=C sort -r | sed -e 's|^\./||' -e 's|/|\\|g' \
      -e 's|\$|$$|g' -e 's|.*|  RMDir "$INSTDIR\\&"|'
  ) >"$1"
}

SETUP="$ROOT/dist/Sirelta-$VERSION-setup.exe"
log "writing the set-up $SETUP"
write_uninstall_list "$BUILD/package/uninstall-files.nsh"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$VERSION" -DSTAGE="$STAGE" \
  -DFILES="$BUILD/package/uninstall-files.nsh" -DICON="$ROOT/ui/res/app.ico" \
  -DSIZE_KB="$(du -sk "$STAGE" | cut -f1)" -DOUTFILE="$SETUP" "$ROOT/package/sirelta.nsi" >&2
echo "$ZIP"
