# Sound files of the kinds people have, made by lame and sox for the Windows
# tests, through the add-fragment button of the real program: an MP3 with
# lame's tags and a cover picture, an MP3 cut inside its last frame, 32-bit
# float, 24-bit extensible and odd-chunk WAVE files. Each adds one fragment
# and shows no message box.

test_every_kind_of_sound_file_imports() {
  local name="EveryKindOfSoundFileImports"
  local files="$BUILD/win/tests/win"
  start_with_test_profile import 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  local rows=3 file dialog i
  for file in mp3/tagged_44100_2ch.mp3 mp3/cut_44100_2ch.mp3 wave_files/float32.wav \
      wave_files/extensible24.wav wave_files/odd_chunk.wav; do
    probe click 1009
    dialog=""
    for i in $(seq 40); do
      dialog=$(xdotool search --onlyvisible --name '^Sirelta$' 2>/dev/null | tail -n 1)
      [ -n "$dialog" ] && break
      sleep 0.25
    done
    [ -n "$dialog" ] || { fail "$name" "no open dialog for $file"; break; }
    sleep 0.5
    xdotool windowfocus "$dialog" 2>/dev/null
    xdotool type --delay 20 "Z:${files//\//\\}\\${file//\//\\}"
    xdotool key Return
    rows=$((rows + 1))
    for i in $(seq 40); do
      [ "$(probe rows)" = "$rows" ] && break
      sleep 0.25
    done
    if [ "$(probe rows)" != "$rows" ]; then
      import -window root "$E2E_OUT/import_failed.png"
      fail "$name" "$file was not imported (see import_failed.png)"
      break
    fi
  done
  if [ "$(probe rows)" = 8 ] && [ "$(sirelta_windows | wc -l)" = 1 ]; then
    import -window "$(sirelta_windows | head -n 1)" "$E2E_OUT/imported.png"
    pass "$name"
  elif [ "$rows" = 8 ]; then
    fail "$name" "a message box is shown"
  fi
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_every_kind_of_sound_file_imports
