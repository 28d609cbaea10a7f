# Helpers of the end-to-end tests: the real Sirelta.exe under Wine and an X
# server, found and driven with xdotool, checked by what it shows.
# Expects ROOT and the environment of scripts/common.sh.

E2E_OUT="$BUILD/e2e"
# The program under test: the build's, or the copy that SIRELTA_E2E_EXE names
# (the test command passes the one unpacked from the release package).
SIRELTA_EXE="${SIRELTA_E2E_EXE:-$BUILD/win/app/Sirelta.exe}"
PROBE_EXE="$BUILD/win/tests/e2e/window_probe.exe"
EMULATOR="${SIRELTA_EMULATOR:-$BUILD/tools/emulator/siren_emulator}"
EMULATOR_PID=""
mkdir -p "$E2E_OUT"
E2E_FAILURES=0
E2E_PASSES=0

pass() { E2E_PASSES=$((E2E_PASSES + 1)); printf '[       OK ] %s\n' "$1"; }
fail() { E2E_FAILURES=$((E2E_FAILURES + 1)); printf '[  FAILED  ] %s: %s\n' "$1" "$2"; }

# Visible top-level windows whose title begins with the program title.
sirelta_windows() { xdotool search --onlyvisible --name '^Sirelta' 2>/dev/null || true; }

# Waits up to $1 seconds until exactly one window is shown; prints its id.
wait_for_window() {
  local i ids
  for i in $(seq $(( $1 * 5 ))); do
    ids=$(sirelta_windows)
    if [ -n "$ids" ]; then echo "$ids" | head -n 1; return 0; fi
    sleep 0.2
  done
  return 1
}

# Waits up to 5 seconds for a visible window titled exactly $1; prints its id.
wait_for_dialog() {
  local i id
  for i in $(seq 20); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end.
wait_for_exit() {
  local i
  for i in $(seq $(( $2 * 5 ))); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.2
  done
  return 1
}

start_sirelta() {
  wine_env wine "$SIRELTA_EXE" >"$E2E_OUT/sirelta-$1.log" 2>&1 &
  echo $!
}

# What the running window shows: `probe status`, `probe title`, `probe range`.
probe() { wine_env wine "$PROBE_EXE" "$@" 2>/dev/null | tr -d '\r'; }

# Waits up to $2 seconds until the newest status line is $1.
wait_for_status() {
  local i
  for i in $(seq $(( $2 * 2 ))); do
    [ "$(probe status)" = "$1" ] && return 0
    sleep 0.5
  done
  return 1
}

# The siren emulator on COM1 of the prefix (see ensure_wineprefix), logging to $E2E_OUT/emulator-$1.log.
start_emulator() {
  local name=$1; shift
  "$EMULATOR" --link "$SIREN_COM1" --log "$E2E_OUT/emulator-$name.log" "$@" \
    >"$E2E_OUT/emulator-$name.out" 2>&1 &
  EMULATOR_PID=$!
  local i
  for i in $(seq 50); do
    [ -L "$SIREN_COM1" ] && [ -s "$E2E_OUT/emulator-$name.out" ] && return 0
    sleep 0.1
  done
  return 1
}

stop_emulator() {
  [ -n "$EMULATOR_PID" ] || return 0
  kill "$EMULATOR_PID" 2>/dev/null
  wait "$EMULATOR_PID" 2>/dev/null
  EMULATOR_PID=""
}

# Starts the program with the test profile (make_profile.py) as its last
# profile and the emulator with $2 chips on COM1; sets SIRELTA_PID and
# SIRELTA_WINDOW. Fails when no window comes.
start_with_test_profile() {
  local name=$1 chips=$2
  reset_settings
  python3 "$ROOT/tests/e2e/make_profile.py" "$E2E_OUT/$name.zpf"
  wine_env wine reg add 'HKCU\Software\Sirelta' /v Profile /d "Z:${E2E_OUT//\//\\}\\$name.zpf" /f >/dev/null 2>&1
  start_emulator "$name" --chips "$chips" || return 1
  SIRELTA_PID=$(start_sirelta "$name")
  SIRELTA_WINDOW=$(wait_for_window 60)
}

# A fresh user of the Russian interface, which the tests quote: the settings
# hold only "Language" = "ru".
reset_settings() {
  wine_env wine reg delete 'HKCU\Software\Sirelta' /f >/dev/null 2>&1 || true
  wine_env wine reg add 'HKCU\Software\Sirelta' /v Language /d ru /f >/dev/null 2>&1
}

stop_all_wine() {
  wine_env wineserver -k 2>/dev/null || true
  stop_emulator
}
