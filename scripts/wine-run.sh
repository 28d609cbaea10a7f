#!/usr/bin/env bash
# Runs a Windows program of the build under the project's Wine prefix.
# CTest uses it as the emulator for the Windows test executables.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"
exec env HOME="$WINE_HOME" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 wine "$@"
