# Start-up, the single-instance rule and closing, with the real program.

test_startup_shows_the_main_window() {
  local name="StartupShowsTheMainWindow"
  reset_settings
  start_emulator startup --chips 4 || { fail "$name" "the emulator did not start"; return; }
  FIRST_PID=$(start_sirelta first)
  local window
  if ! window=$(wait_for_window 60); then
    fail "$name" "no window titled Sirelta appeared"
    return
  fi
  local title
  title=$(xdotool getwindowname "$window")
  [ "$title" = "Sirelta" ] || { fail "$name" "title is '$title'"; return; }
  pass "$name"
}

test_startup_connects_to_the_siren() {
  local name="StartupConnectsToTheSiren"
  local expected="Объем памяти получен (255 kB), сирена подключена"
  if ! wait_for_status "$expected" 20; then
    fail "$name" "the status log shows '$(probe status)'"
    return
  fi
  grep -q 'AA 00 00 AA' "$E2E_OUT/emulator-startup.log" || { fail "$name" "the emulator saw no detect request"; return; }
  local count
  count=$(sirelta_windows | wc -l)
  [ "$count" = 1 ] || { fail "$name" "$count windows are shown (a message box?)"; return; }
  import -window "$(sirelta_windows | head -n 1)" "$E2E_OUT/main_window.png"
  pass "$name"
}

test_second_start_ends_by_itself() {
  local name="SecondStartEndsByItself"
  local second
  second=$(start_sirelta second)
  if ! wait_for_exit "$second" 20; then
    fail "$name" "the second process is still running"
    kill "$second" 2>/dev/null
    return
  fi
  local count
  count=$(sirelta_windows | wc -l)
  [ "$count" = 1 ] || { fail "$name" "$count windows are shown"; return; }
  pass "$name"
}

test_escape_closes_the_unchanged_program() {
  local name="EscapeClosesTheProgram"
  local window
  window=$(sirelta_windows | head -n 1)
  [ -n "$window" ] || { fail "$name" "no window to close"; return; }
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --window "$window" Escape
  if ! wait_for_exit "$FIRST_PID" 20; then
    fail "$name" "the program did not end"
    return
  fi
  pass "$name"
}

test_startup_shows_the_main_window
test_startup_connects_to_the_siren
test_second_start_ends_by_itself
test_escape_closes_the_unchanged_program
