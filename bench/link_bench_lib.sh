# Shared steps of the benchmarks that run the program's link under Wine
# against the siren emulator: the builds, and the emulator on a COM port of
# the Wine prefix with its frame log. Sourced after scripts/common.sh; the
# caller sets PORT_NUMBER.

EMULATOR=${EMULATOR_OVERRIDE:-$EMULATOR}
EMULATOR_PID=""
REPORT=$(mktemp)
FRAMES=$(mktemp)

# The benchmark program: the one the variable named by $1 holds, or the
# build's bench/$2 after the builds are made.
bench_program() {
  local variable=$1 program=$2
  if [ -z "${!variable:-}" ]; then
    prepare_environment
    build_tools
    build_windows
    printf -v "$variable" '%s' "$BUILD/win/bench/$program"
  else
    ensure_wineprefix
  fi
}

stop_emulator() {
  if [ -n "$EMULATOR_PID" ]; then
    kill "$EMULATOR_PID" 2>/dev/null || true
    wait "$EMULATOR_PID" 2>/dev/null || true
  fi
  EMULATOR_PID=""
}
trap 'stop_emulator; rm -f "$REPORT" "$FRAMES"' EXIT

# Starts the emulator (4 chips, frames logged to $FRAMES, further options as
# arguments) on COM$PORT_NUMBER and waits until it reports its line.
start_emulator() {
  : >"$REPORT"
  "$EMULATOR" --link "$WINEPREFIX/dosdevices/com$PORT_NUMBER" --chips 4 --log "$FRAMES" "$@" \
    >"$REPORT" &
  EMULATOR_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$REPORT" ] && return 0
    sleep 0.05
  done
  log "the emulator did not start"
  return 1
}
