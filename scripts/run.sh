#!/usr/bin/env bash
# Installs whatever is missing, builds Sirelta.exe and starts it under Wine,
# with the siren emulator (4 memory chips, its memory kept in
# build/siren.state between runs) on COM1, where the program looks first.
# Without a display it starts a virtual X server (take a look with
# `import -window root shot.png` and that DISPLAY). Stops what it started
# when the program ends.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_tools
build_windows

EMULATOR_PID=""
trap '[ -n "$EMULATOR_PID" ] && kill "$EMULATOR_PID" 2>/dev/null; stop_display; wine_env wineserver -k 2>/dev/null || true' EXIT
ensure_display
log "starting the siren emulator on COM1"
"$BUILD/tools/emulator/siren_emulator" --chips 4 --state "$BUILD/siren.state" \
  --link "$SIREN_COM1" --log "$BUILD/siren.log" >/dev/null &
EMULATOR_PID=$!
for i in $(seq 50); do [ -L "$SIREN_COM1" ] && break; sleep 0.1; done
log "starting Sirelta.exe on DISPLAY=$DISPLAY"
cd "$BUILD"
wine_env wine "$BUILD/win/app/Sirelta.exe"
