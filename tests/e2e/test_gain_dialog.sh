# The player with a fragment loaded, a marked range, and the gain dialog
# open over it: driven with the mouse and the keyboard, checked by a
# screenshot and by the dialog's window.

test_gain_dialog_opens_over_a_marked_range() {
  local name="GainDialogOverAMarkedRange"
  start_with_test_profile gain 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID window=$SIRELTA_WINDOW
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Double-click the second fragment, mark a range on the trackbar, amplify.
  xdotool mousemove $((X + 40)) $((Y + 73)) click --repeat 2 --delay 120 1
  sleep 1
  xdotool mousemove $((X + 60)) $((Y + 320)) click 1
  xdotool key --window "$window" ctrl+b
  xdotool mousemove $((X + 250)) $((Y + 320)) click 1 click 1
  xdotool key --window "$window" ctrl+e
  sleep 0.5
  local range
  range=$(probe range)
  local start=${range% *} end=${range#* }
  if [ -z "$range" ] || [ "$end" -le "$start" ]; then
    fail "$name" "no range was marked ('$range')"
    wine_env wineserver -k 2>/dev/null || true
    return
  fi
  xdotool key --window "$window" ctrl+a
  local dialog
  dialog=$(wait_for_dialog "Усиление")
  sleep 0.5
  import -window root "$E2E_OUT/gain_dialog.png"
  if [ -z "$dialog" ]; then
    fail "$name" "the gain dialog did not open (see gain_dialog.png)"
  else
    pass "$name"
    xdotool key --window "$dialog" Escape
  fi
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_gain_dialog_opens_over_a_marked_range
