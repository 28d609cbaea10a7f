#!/usr/bin/env bash
# Runs every end-to-end test against the built Sirelta.exe. Needs an X server
# (DISPLAY) and the Wine prefix that scripts/test.sh prepares.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/common.sh"
. "$ROOT/tests/e2e/lib.sh"

trap stop_all_wine EXIT
for script in "$ROOT"/tests/e2e/test_*.sh; do
  . "$script"
  stop_all_wine
done

printf '[==========] end-to-end: %d passed, %d failed; screenshots in %s\n' \
  "$E2E_PASSES" "$E2E_FAILURES" "$E2E_OUT"
[ "$E2E_FAILURES" = 0 ]
