# The File and Siren menus with the export, Write changes and Verify commands
# (screenshots), and Verify started by its accelerator against a one-chip
# siren that holds nothing: it runs to its end and reports the differences.

test_verify_by_its_key_reports_the_differences() {
  local name="VerifyByItsKeyReportsTheDifferences"
  start_with_test_profile extras 1 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID window=$SIRELTA_WINDOW
  wait_for_status "Объем памяти получен (63 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Select the first fragment, so that the export is offered, and open the menus.
  xdotool mousemove $((X + 40)) $((Y + 60)) click 1
  sleep 0.5
  xdotool mousemove $((X + 20)) $((Y + 10)) click 1
  sleep 1
  import -window root "$E2E_OUT/file_menu.png"
  xdotool key Escape; sleep 0.3; xdotool key Escape; sleep 0.3
  xdotool mousemove $((X + 300)) $((Y + 330)) click 1
  sleep 0.5
  xdotool mousemove $((X + 267)) $((Y + 10)) click 1
  sleep 1
  import -window root "$E2E_OUT/siren_menu.png"
  xdotool key Escape; sleep 0.3; xdotool key Escape; sleep 0.3

  xdotool key --window "$window" ctrl+shift+v
  if ! wait_for_status "Сверка с сиреной завершена." 180; then
    fail "$name" "Verify did not end (top status line: '$(probe status)')"
  elif ! grep -q 'request 3: read fragment 0' "$E2E_OUT/emulator-extras.log" ||
    [ "$(grep -c ' RX .*read byte' "$E2E_OUT/emulator-extras.log")" != 35535 ]; then
    fail "$name" "the emulator did not receive the tables and the 35535 bytes of the plan"
  else
    sleep 1
    import -window root "$E2E_OUT/verify_report.png"
    pass "$name"
  fi
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_verify_by_its_key_reports_the_differences
