# The interface language of a user who never chose one: started as on an
# English Windows (LANG=en_US.UTF-8, no "Language" value), the program shows
# its English menu (read inside the program by the probe's hook), window and
# status texts, and writes no "Language" value of its own.

english_env() { env HOME="$WINE_HOME" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 "$@"; }

test_english_windows_gives_the_english_interface() {
  local name="EnglishWindowsGivesTheEnglishInterface"
  wine_env wine reg delete 'HKCU\Software\Sirelta' /f >/dev/null 2>&1 || true
  start_emulator language --chips 4 || { fail "$name" "the emulator did not start"; return; }
  english_env wine "$SIRELTA_EXE" >"$E2E_OUT/sirelta-language.log" 2>&1 &
  local window
  window=$(wait_for_window 60) || { fail "$name" "no window titled Sirelta appeared"; return; }
  wait_for_status "Memory size received (255 kB), siren connected" 20 ||
    { fail "$name" "the status log shows '$(probe status)'"; return; }
  import -window "$window" "$E2E_OUT/main_window_english.png"
  [ "$(probe title)" = "Sirelta" ] || { fail "$name" "the title is '$(probe title)'"; return; }
  local menu texts problems
  menu=$(probe menu) || { fail "$name" "the probe could not read the menu"; return; }
  texts=$(probe texts)
  problems=$(MENU="$menu" TEXTS="$texts" python3 - <<'PYTHON'
import os, re
menu = os.environ["MENU"].split("\n")
texts = os.environ["TEXTS"].split("\n")
bar = [line for line in menu if line and not line.startswith(" ")]
if bar != ["File", "Edit", "Connection", "Siren", "View", "Help"]:
    print("menu bar:", bar)
for item in ["  Open Profile...\tCtrl+O", "  Undo\tCtrl+Z", "  Disconnect", "  Port (COM1)",
             "    Other Port...", "  Write Changes\tCtrl+Shift+W", "  Язык / Language",
             "    Русский", "    English", "  Write to Several Sirens...\tCtrl+Shift+M",
             "  About Sirelta"]:
    if item not in menu:
        print("no menu item %r" % item)
for line in menu:
    if re.search("[\u0400-\u04ff]", line) and line.strip() not in ("Язык / Language", "Русский"):
        print("Russian in the menu: %r" % line)
for text in ["Fragments", "Playlist", "Buttons", "Player", "Memory", "Not used"]:
    if text not in texts:
        print("no control text %r" % text)
PYTHON
  )
  [ -z "$problems" ] || { fail "$name" "$problems"; return; }
  if wine_env wine reg query 'HKCU\Software\Sirelta' /v Language >/dev/null 2>&1; then
    fail "$name" "the program wrote a Language value by itself"
    return
  fi
  pass "$name"
}

test_english_windows_gives_the_english_interface
