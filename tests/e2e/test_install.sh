# The set-up in a fresh Wine prefix: a silent install for the user, the .zpf
# association opening a profile in the installed program, a second start
# handing its profile to the first window, the About box naming every library
# the package ships, and the silent uninstall.

SETUP_EXE="${SIRELTA_E2E_SETUP:-$(ls "$ROOT"/dist/Sirelta-*-setup.exe 2>/dev/null | head -n 1)}"
INSTALL_PREFIX="$E2E_OUT/install-prefix"
INSTALL_PROFILES="$E2E_OUT/Профили установки"

# Wine in the fresh prefix.
in_install_prefix() { WINEPREFIX="$INSTALL_PREFIX" wine_env "$@"; }

installed_folder() {
  find "$INSTALL_PREFIX/drive_c/users" -path '*/AppData/Local/Programs/Sirelta' -type d 2>/dev/null |
    head -n 1
}

start_menu_shortcut() {
  find "$INSTALL_PREFIX/drive_c/users" -path '*/Start Menu/Programs/Sirelta.lnk' 2>/dev/null |
    head -n 1
}

# The default value of a key of the user's registry, or nothing ("reg"
# prints in the console's code page of Russian Windows, 866).
registry_default() {
  in_install_prefix wine reg query "$1" /ve 2>/dev/null | iconv -f CP866 -t UTF-8 | tr -d '\r' |
    sed -n 's/^ .*REG_SZ    //p' | head -n 1
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

test_setup_installs_for_the_user() {
  local name="SetupInstallsForTheUser"
  [ -f "$SETUP_EXE" ] || { fail "$name" "no set-up in dist/"; return 1; }
  rm -rf "$INSTALL_PREFIX" "$INSTALL_PROFILES"
  mkdir -p "$INSTALL_PROFILES"
  in_install_prefix wineboot -i >/dev/null 2>&1
  in_install_prefix wine reg add 'HKCU\Software\Sirelta' /v Language /d ru /f >/dev/null 2>&1
  in_install_prefix wine "$SETUP_EXE" /S >"$E2E_OUT/setup.log" 2>&1 ||
    { fail "$name" "the set-up failed"; return 1; }
  local folder
  folder=$(installed_folder)
  [ -n "$folder" ] && [ -f "$folder/Sirelta.exe" ] && [ -f "$folder/uninstall.exe" ] ||
    { fail "$name" "no Sirelta.exe under the user's local programs"; return 1; }
  cmp -s "$folder/Sirelta.exe" "$SIRELTA_EXE" || { fail "$name" "another Sirelta.exe was installed"; return 1; }
  [ -f "$folder/LAME-COPYING.txt" ] && [ -d "$folder/lame-source" ] && [ -f "$folder/relink/relink.sh" ] ||
    { fail "$name" "the licences and sources were not installed"; return 1; }
  [ -n "$(start_menu_shortcut)" ] || { fail "$name" "no Start-menu shortcut"; return 1; }
  local kind command
  kind=$(registry_default 'HKCU\Software\Classes\.zpf')
  command=$(registry_default 'HKCU\Software\Classes\Sirelta.Profile\shell\open\command')
  [ "$kind" = "Sirelta.Profile" ] || { fail "$name" ".zpf is associated with '$kind'"; return 1; }
  [ "$(registry_default 'HKCR\.zpf')" = "Sirelta.Profile" ] ||
    { fail "$name" "the shell does not see the association"; return 1; }
  case "$command" in
    *'\Programs\Sirelta\Sirelta.exe" "%1"') ;;
    *) fail "$name" "the open command is '$command'"; return 1 ;;
  esac
  [ "$(registry_default 'HKCU\Software\Classes\Sirelta.Profile')" = "Профиль сирены" ] ||
    { fail "$name" "the profile kind is not named"; return 1; }
  in_install_prefix wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sirelta' \
    /v UninstallString >/dev/null 2>&1 || { fail "$name" "no entry among the installed programs"; return 1; }
  pass "$name"
}

# Waits up to $2 seconds for the main window's title to end with $1.
wait_for_title_end() {
  local i
  for i in $(seq $(( $2 * 2 ))); do
    case "$(WINEPREFIX="$INSTALL_PREFIX" probe title)" in *"$1]") return 0 ;; esac
    sleep 0.5
  done
  return 1
}

test_association_opens_a_profile() {
  local name="AssociationOpensAProfile"
  python3 "$ROOT/tests/e2e/make_profile.py" "$INSTALL_PROFILES/первый.zpf"
  python3 "$ROOT/tests/e2e/make_profile.py" "$INSTALL_PROFILES/второй.zpf"
  in_install_prefix wine start "$(windows_path "$INSTALL_PROFILES/первый.zpf")" \
    >"$E2E_OUT/install-start.log" 2>&1
  wait_for_window 60 >/dev/null || { fail "$name" "no window came"; return 1; }
  wait_for_title_end "первый.zpf" 20 ||
    { fail "$name" "the title is '$(WINEPREFIX="$INSTALL_PREFIX" probe title)'"; return 1; }
  [ "$(WINEPREFIX="$INSTALL_PREFIX" probe rows)" = 3 ] || { fail "$name" "the fragments are not listed"; return 1; }
  pass "$name"
}

test_second_start_hands_its_profile() {
  local name="SecondStartHandsItsProfile"
  local second
  in_install_prefix wine "$(installed_folder)/Sirelta.exe" \
    "$(windows_path "$INSTALL_PROFILES/второй.zpf")" >"$E2E_OUT/install-second.log" 2>&1 &
  second=$!
  wait_for_exit "$second" 20 || { fail "$name" "the second start did not end"; kill "$second"; return 1; }
  wait_for_title_end "второй.zpf" 20 ||
    { fail "$name" "the title is '$(WINEPREFIX="$INSTALL_PREFIX" probe title)'"; return 1; }
  local count
  count=$(sirelta_windows | wc -l)
  [ "$count" = 1 ] || { fail "$name" "$count windows are shown"; return 1; }
  pass "$name"
}

test_about_names_every_library() {
  local name="AboutNamesEveryLibrary"
  WINEPREFIX="$INSTALL_PREFIX" probe command 57664  # ID_APP_ABOUT
  local text file missing=""
  text=$(WINEPREFIX="$INSTALL_PREFIX" probe dialog)
  [ -n "$text" ] || { fail "$name" "no About box came"; return 1; }
  for file in "$(installed_folder)"/*COPYING*.txt "$(installed_folder)"/*copyright*.txt; do
    grep -qF "$(basename "$file")" <<<"$text" || missing="$missing $(basename "$file")"
  done
  for file in lame-source soxr-source; do
    grep -qF "$file" <<<"$text" || missing="$missing $file"
  done
  grep -qF "Sirelta, версия" <<<"$text" || missing="$missing (the version)"
  [ -z "$missing" ] || { fail "$name" "the About box does not name:$missing"; return 1; }
  # Its button opens the read-me beside the program.
  WINEPREFIX="$INSTALL_PREFIX" probe dialog-click 1103  # IDC_ABOUT_README
  wait_for_dialog "ПРОЧТИ.*" >/dev/null || { fail "$name" "the read-me did not open"; return 1; }
  xdotool key --window "$(xdotool search --onlyvisible --name '^О программе$' | head -n 1)" Return 2>/dev/null
  pass "$name"
}

test_uninstaller_removes_what_it_installed() {
  local name="UninstallerRemovesWhatItInstalled"
  local folder
  folder=$(installed_folder)
  in_install_prefix wineserver -k 2>/dev/null
  in_install_prefix wine "$folder/uninstall.exe" /S >"$E2E_OUT/uninstall.log" 2>&1
  # The uninstaller goes on from a copy of itself in the temporary folder.
  local i
  for i in $(seq 60); do
    [ -d "$folder" ] || break
    sleep 0.5
  done
  in_install_prefix wineserver -w 2>/dev/null
  [ ! -d "$folder" ] || { fail "$name" "left in the folder: $(ls "$folder" | head -n 5 | tr '\n' ' ')"; return; }
  [ -z "$(start_menu_shortcut)" ] || { fail "$name" "the shortcut is still there"; return; }
  [ -z "$(registry_default 'HKCU\Software\Classes\.zpf')$(registry_default 'HKCR\.zpf')" ] ||
    { fail "$name" ".zpf is still associated"; return; }
  in_install_prefix wine reg query 'HKCU\Software\Classes\Sirelta.Profile' >/dev/null 2>&1 &&
    { fail "$name" "the profile kind is still registered"; return; }
  in_install_prefix wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sirelta' \
    >/dev/null 2>&1 && { fail "$name" "still among the installed programs"; return; }
  pass "$name"
}

if test_setup_installs_for_the_user; then
  test_association_opens_a_profile && test_second_start_hands_its_profile &&
    test_about_names_every_library
  test_uninstaller_removes_what_it_installed
fi
in_install_prefix wineserver -k 2>/dev/null || true
