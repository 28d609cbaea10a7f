#!/usr/bin/env bash
# Builds the Windows target and writes the release package
# dist/Sirelta-<version>-win64.zip (the version is the CMake project's):
#   Sirelta.exe, ПРОЧТИ.txt (what the program does, how to connect a siren,
#   where the settings are, how to report a problem), LAME-COPYING.txt (the
#   licence of the MP3 decoder linked in), mingw-w64-runtime-copyright.txt,
#   lame-source/ (the decoder's source as built) and relink/ (the program's
#   objects and libraries with the link command, so that a user can link
#   Sirelta.exe with a modified LAME, as the LGPL asks of a static build).
# Prints the path of the package on its last line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
log "building the Windows target"
build_windows >&2

APP_BUILD="$BUILD/win/app"
LINK_DIR="$APP_BUILD/CMakeFiles/Sirelta.dir"
LAME_SRC=$(ls -d "$DEPS/lame-src"/lame-*/ | head -n 1)
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win/CMakeCache.txt")
[ -n "$VERSION" ] || { log "no project version in $BUILD/win/CMakeCache.txt"; exit 1; }
NAME="Sirelta-$VERSION-win64"
STAGE="$BUILD/package/$NAME"
ZIP="$ROOT/dist/$NAME.zip"

# A text for Windows' Notepad: UTF-8 with a byte order mark, CRLF line ends,
# the placeholders filled in.
windows_text() {
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$VERSION/g" -e "s/@LAME_VERSION@/$LAME_VERSION/g" \
    -e "s/@GCC_VERSION@/$GCC_VERSION/g" -e 's/$/\r/' "$1"
}

# The link command of Sirelta.exe as CMake runs it (link.txt), rewritten to
# the copies of its objects and libraries in relink/: a shell script that
# links the same executable again, with the LAME library that $LAME names.
write_relink_kit() {
  local kit=$1 line token object library skip=0
  mkdir -p "$kit/obj" "$kit/lib"
  line=$(grep -- ' -o Sirelta.exe ' "$LINK_DIR/link.txt")
  local -a tokens command=('"$CXX"')
  read -r -a tokens <<<"$line"
  for token in "${tokens[@]:1}"; do
    if [ "$skip" = 1 ]; then skip=0; continue; fi
    case "$token" in
      -o) skip=1 ;;
      -Wl,--whole-archive | -Wl,--no-whole-archive | -Wl,--out-implib,*) ;;
      */objects.a)  # the program's own objects, listed in objects1
        for object in $(cat "$LINK_DIR/objects1"); do
          local name
          name=$(basename "$object")
          case "$name" in *.obj) ;; *) name="$name.obj" ;; esac
          cp "$APP_BUILD/$object" "$kit/obj/$name"
          command+=("obj/$name")
        done
        command+=(-o Sirelta.exe)
        ;;
      @*)  # the libraries, in their link order
        for library in $(cat "$APP_BUILD/${token#@}"); do
          case "$library" in
            */libmp3lame.a) cp "$library" "$kit/lib/"; command+=('"$LAME"') ;;
            *.a)
              [ -f "$library" ] || library="$APP_BUILD/$library"
              cp "$library" "$kit/lib/"
              command+=("lib/$(basename "$library")")
              ;;
            *) command+=("$library") ;;
          esac
        done
        ;;
      *) command+=("$token") ;;
    esac
  done
  {
    printf '#!/bin/sh\n'
    printf '# Links Sirelta.exe again from obj/ and lib/ (see ПЕРЕСБОРКА.txt).\n'
    printf '# CXX: the MinGW-w64 C++ compiler; LAME: the LAME library to link.\n'
    printf 'set -e\ncd "$(dirname "$0")"\n'
    printf 'CXX=${CXX:-x86_64-w64-mingw32-g++-posix}\n'
    printf 'LAME=${LAME:-lib/libmp3lame.a}\n'
    printf '%s' "${command[0]}"
    printf ' \\\n  %s' "${command[@]:1}"
    printf '\necho "Sirelta.exe linked in $(pwd)"\n'
  } >"$kit/relink.sh"
  windows_text "$ROOT/package/ПЕРЕСБОРКА.txt" >"$kit/ПЕРЕСБОРКА.txt"
}

log "packing $NAME"
LAME_VERSION=$(basename "$LAME_SRC" | sed 's/^lame-//')
GCC_VERSION=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
rm -rf "$STAGE"
mkdir -p "$STAGE/lame-source" "$ROOT/dist"
cp "$APP_BUILD/Sirelta.exe" "$STAGE/"
windows_text "$ROOT/package/ПРОЧТИ.txt" >"$STAGE/ПРОЧТИ.txt"
cp "$LAME_SRC/COPYING" "$STAGE/LAME-COPYING.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$STAGE/mingw-w64-runtime-copyright.txt"
cp "$DEPS/lame-src"/lame_*.dsc "$DEPS/lame-src"/lame_*.tar.* "$STAGE/lame-source/"
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
echo "$ZIP"
