# The waveform window beside the main window: shown with Ctrl+G, a range
# marked by dragging over the sound, the play position set by a click; checked
# by the trackbar's range and by a screenshot.

test_wave_window_marks_a_range_by_dragging() {
  local name="WaveWindowMarksARangeByDragging"
  start_with_test_profile wave 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID window=$SIRELTA_WINDOW
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 40)) $((Y + 73)) click --repeat 2 --delay 120 1
  sleep 1
  xdotool key --window "$window" ctrl+g
  local wave="" i
  for i in $(seq 20); do
    wave=$(xdotool search --onlyvisible --name '^Осциллограмма$' 2>/dev/null | head -n 1)
    [ -n "$wave" ] && break
    sleep 0.25
  done
  if [ -z "$wave" ]; then
    import -window root "$E2E_OUT/wave_window.png"
    fail "$name" "Ctrl+G showed no waveform window (see wave_window.png)"
    wine_env wineserver -k 2>/dev/null || true
    return
  fi
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$wave")"
  # Drag over the sound from a fifth to a half of the width, then click at a third.
  xdotool mousemove $((X + WIDTH / 5)) $((Y + HEIGHT / 2)) mousedown 1
  xdotool mousemove $((X + WIDTH / 3)) $((Y + HEIGHT / 2)) sleep 0.1
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.1 mouseup 1
  sleep 0.3
  local range
  range=$(probe range)
  xdotool mousemove $((X + WIDTH / 3)) $((Y + HEIGHT / 2)) click 1
  sleep 0.5
  import -window root "$E2E_OUT/wave_window.png"
  local start=${range% *} end=${range#* }
  if [ -z "$range" ] || [ "$end" -le "$start" ]; then
    fail "$name" "the drag marked no range ('$range'; see wave_window.png)"
  else
    pass "$name"
  fi
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_wave_window_marks_a_range_by_dragging
