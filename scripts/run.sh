#!/usr/bin/env bash
# Installs whatever is missing, builds Sirelta.exe and starts it under Wine.
# Without a display it starts a virtual X server (take a look with
# `import -window root shot.png` and that DISPLAY). Stops what it started
# when the program ends.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_tools
build_windows

trap 'stop_display; wine_env wineserver -k 2>/dev/null || true' EXIT
ensure_display
log "starting Sirelta.exe on DISPLAY=$DISPLAY"
cd "$BUILD"
wine_env wine "$BUILD/win/app/Sirelta.exe"
