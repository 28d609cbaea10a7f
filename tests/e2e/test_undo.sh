# Every change can be undone in the real program: a fragment that the
# playlist and a button use is deleted; Ctrl+Z brings it back with its row,
# Ctrl+Y deletes it again. (The window tests check what the Edit menu says and
# that the playlist and the button name the fragment again.)

test_undo_brings_a_deleted_fragment_back() {
  local name="UndoBringsADeletedFragmentBack"
  start_with_test_profile undo 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID window=$SIRELTA_WINDOW
  if ! wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20; then
    fail "$name" "the status log shows '$(probe status)'"
    return
  fi
  # "Сирена", the second row: the playlist and button 1 name it.
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --window "$window" Home Down
  sleep 0.5
  probe click 1013  # the delete button
  local question
  question=$(wait_for_dialog Sirelta) || { fail "$name" "no question before the deletion"; return; }
  xdotool key --window "$question" Return
  sleep 1
  local rows
  rows=$(probe rows)
  [ "$rows" = 2 ] || { fail "$name" "the deletion left $rows rows"; return; }
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --window "$window" ctrl+z
  sleep 1
  rows=$(probe rows)
  import -window "$window" "$E2E_OUT/undo.png"
  [ "$rows" = 3 ] || { fail "$name" "Ctrl+Z left $rows rows"; return; }
  xdotool key --window "$window" ctrl+y
  sleep 1
  rows=$(probe rows)
  [ "$rows" = 2 ] || { fail "$name" "Ctrl+Y left $rows rows"; return; }
  pass "$name"
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_undo_brings_a_deleted_fragment_back
