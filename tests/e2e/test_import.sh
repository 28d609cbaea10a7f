# Sound files of the kinds people have, made at build time for the Windows
# tests, through the add-fragment button of the real program. Each adds one
# fragment and shows no message box.

# Imports the files $3... (below the Windows tests' build folder) one after
# another into the running program, whose list holds $2 rows; passes test $1
# when every file added its row and no message box is left.
import_through_the_dialog() {
  local name=$1 rows=$2 file dialog before i
  shift 2
  local expected=$((rows + $#))
  for file in "$@"; do
    # The main window of a program without a profile bears the dialog's
    # title too: the dialog is the window of that title that was not there.
    before=$(xdotool search --onlyvisible --name '^Sirelta$' 2>/dev/null)
    probe click 1009
    dialog=""
    for i in $(seq 40); do
      dialog=$(xdotool search --onlyvisible --name '^Sirelta$' 2>/dev/null | grep -vxF "${before:-none}" | tail -n 1)
      [ -n "$dialog" ] && break
      sleep 0.25
    done
    [ -n "$dialog" ] || { fail "$name" "no open dialog for $file"; return; }
    sleep 0.5
    xdotool windowfocus "$dialog" 2>/dev/null
    xdotool type --delay 20 "Z:${IMPORT_FILES//\//\\}\\${file//\//\\}"
    xdotool key Return
    rows=$((rows + 1))
    for i in $(seq 40); do
      [ "$(probe rows)" = "$rows" ] && break
      sleep 0.25
    done
    if [ "$(probe rows)" != "$rows" ]; then
      import -window root "$E2E_OUT/import_failed.png"
      fail "$name" "$file was not imported (see import_failed.png)"
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

# The files are typed into the open dialog as a path. xdotool does not type
# every Cyrillic letter of a checkout's path into Wine reliably, so they are
# reached through a link whose path is plain ASCII.
IMPORT_LINK_DIR=$(mktemp -d /tmp/sirelta-import-XXXXXX)
ln -s "$BUILD/win/tests/win" "$IMPORT_LINK_DIR/files"
IMPORT_FILES="$IMPORT_LINK_DIR/files"

# An MP3 with lame's tags and a cover picture, an MP3 cut inside its last
# frame, 32-bit float, 24-bit extensible and odd-chunk WAVE files.
test_every_kind_of_sound_file_imports() {
  local name="EveryKindOfSoundFileImports"
  start_with_test_profile import 4 || { fail "$name" "the program or the emulator did not start"; return; }
  local pid=$SIRELTA_PID
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  import_through_the_dialog "$name" 3 mp3/tagged_44100_2ch.mp3 mp3/cut_44100_2ch.mp3 \
    wave_files/float32.wav wave_files/extensible24.wav wave_files/odd_chunk.wav
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
  import_through_the_dialog "$name" 0 sounds/announcement.flac sounds/announcement.ogg \
    sounds/announcement.opus sounds/cut_start.mp3
  wine_env wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null
}

test_every_kind_of_sound_file_imports
stop_all_wine
test_recordings_of_every_kind_import
rm -rf "$IMPORT_LINK_DIR"
