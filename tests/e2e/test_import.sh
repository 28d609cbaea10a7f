# Sound files of the kinds people have, made at build time for the Windows
# tests, through the add-fragment button of the real program. Each adds one
# fragment and shows no message box.

# Imports the files $3... (full paths) one after another into
# the running program, whose list holds $2 rows; passes test $1 when every
# file added its row and no message box is left. The path goes into the open
# dialog's name field whole (typing it through the keyboard map loses letters
# of some scripts).
import_through_the_dialog() {
  local name=$1 rows=$2 file i
  shift 2
  local expected=$((rows + $#))
  for file in "$@"; do
    probe click 1009
    local windows_path="Z:${file//\//\\}"
    probe open "$windows_path" || { fail "$name" "no open dialog for $file"; return; }
    rows=$((rows + 1))
    for i in $(seq 60); do
      [ "$(probe rows)" = "$rows" ] && break
      sleep 0.25
    done
    if [ "$(probe rows)" != "$rows" ]; then
      import -window root "$E2E_OUT/import_failed.png"
      fail "$name" "${file##*/} was not imported (see import_failed.png)"
      return
    fi
  done
  if [ "$(probe rows)" = "$expected" ] && [ "$(sirelta_windows | wc -l)" = 1 ]; then
    import -window "$(sirelta_windows | head -n 1)" "$E2E_OUT/imported.png"
    pass "$name"
  else
    fail "$name" "a message box is shown"
  fi
}

FILES="$BUILD/win/tests/win"

# An MP3 with lame's tags and a cover picture, an MP3 cut inside its last
# frame, 32-bit float, 24-bit extensible and odd-chunk WAVE files.
test_every_kind_of_sound_file_imports() {
  local name="EveryKindOfSoundFileImports"
  start_with_test_profile import 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  import_through_the_dialog "$name" 3 "$FILES/mp3/tagged_44100_2ch.mp3" \
    "$FILES/mp3/cut_44100_2ch.mp3" "$FILES/wave_files/float32.wav" \
    "$FILES/wave_files/extensible24.wav" "$FILES/wave_files/odd_chunk.wav"
  # A recording named as phones name them, in scripts beyond any code page:
  # the status line names the fragment made of it.
  local named="$E2E_OUT/names/Қазақша 日本 ёж.wav"
  mkdir -p "$E2E_OUT/names" && cp "$FILES/wave_files/float32.wav" "$named"
  import_through_the_dialog "NamesInAnyScriptImport" 8 "$named"
  probe status | grep -q "Қазақша 日本 ёж" ||
    fail "NamesInAnyScriptImport" "the status line does not name the fragment: $(probe status)"
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

# One spoken announcement as FLAC, Ogg Vorbis and Opus, and as an MP3 whose
# first frames a late start of the recording cut off, into an empty profile
# (they fill most of the memory).
test_recordings_of_every_kind_import() {
  local name="RecordingsOfEveryKindImport"
  reset_settings
  start_emulator recordings --chips 4 || { fail "$name" "the emulator did not start"; return; }
  local pid
  pid=$(start_sirelta recordings)
  wait_for_window 60 >/dev/null || { fail "$name" "the program did not start"; return; }
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  import_through_the_dialog "$name" 0 "$FILES/sounds/announcement.flac" \
    "$FILES/sounds/announcement.ogg" "$FILES/sounds/announcement.opus" "$FILES/sounds/cut_start.mp3"
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_every_kind_of_sound_file_imports
stop_all_wine
test_recordings_of_every_kind_import
