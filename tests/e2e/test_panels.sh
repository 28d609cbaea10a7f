# The panels and the memory strip with a profile of several fragments, a
# connected two-chip siren (its boundary drawn) and a selected fragment.

test_panels_show_the_profile() {
  local name="PanelsShowTheProfile"
  start_with_test_profile panels 2 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID window=$SIRELTA_WINDOW
  if ! wait_for_status "Объем памяти получен (127 kB), сирена подключена" 20; then
    fail "$name" "the status log shows '$(probe status)'"
    return
  fi
  local title
  title=$(xdotool getwindowname "$window")
  case "$title" in
    *panels.zpf*) ;;
    *) fail "$name" "the profile was not loaded (title '$title')"; return ;;
  esac
  # The fragment list has the focus at start: select its second row.
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --window "$window" Home Down
  sleep 1
  import -window "$window" "$E2E_OUT/panels.png"
  pass "$name"
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_panels_show_the_profile
