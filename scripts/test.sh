#!/usr/bin/env bash
# Installs whatever is missing, builds the native and the Windows targets and
# the release package, and runs every test layer: native unit tests, Windows
# tests under Wine, the check of the package, and the end-to-end tests of the
# Sirelta.exe from the package. Exits non-zero when anything fails.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment

# The house style and the uniqueness of the resource ids first, so that a
# slip is named at once; the other layers still run.
status=0
log "code style (clang-format-14)"
bash "$ROOT/scripts/format.sh" --check || status=1
log "string and command ids"
python3 "$ROOT/scripts/check_resource_ids.py" || status=1

log "building the native target"
build_native
log "building the native tools"
build_tools
log "building the Windows target"
build_windows
log "no ANSI text function in the program"
python3 "$ROOT/scripts/check_wide_imports.py" "$BUILD/win/app/Sirelta.exe" || status=1
log "building the release package"
PACKAGE=$(bash "$ROOT/scripts/package.sh" | tail -n 1) || status=1
PACKAGE_DIR="$BUILD/package-check"

trap 'stop_display; wine_env wineserver -k 2>/dev/null || true' EXIT
ensure_display

log "native unit tests"
ctest --test-dir "$BUILD/native" --output-on-failure || status=1
log "Windows tests under Wine"
ctest --test-dir "$BUILD/win" --output-on-failure || status=1
log "release package"
rm -rf "$PACKAGE_DIR"
bash "$ROOT/tests/e2e/package_check.sh" "$PACKAGE" "$PACKAGE_DIR" || status=1
log "end-to-end tests"
# They start the program as the package holds it, when the package could be
# unpacked; its check compares that copy with the build's.
packed="$PACKAGE_DIR/Sirelta.exe"
[ -f "$packed" ] || packed="$BUILD/win/app/Sirelta.exe"
SIRELTA_E2E_EXE="$packed" SIRELTA_E2E_SETUP="${PACKAGE%-win64.zip}-setup.exe" \
  bash "$ROOT/tests/e2e/run_all.sh" || status=1

if [ "$status" = 0 ]; then log "all test layers passed"; else log "SOME TESTS FAILED"; fi
exit "$status"
