# Signals made by the real program: Ctrl+Shift+G and Return make the default
# wail; after a restart with the "Signal" setting written by reg.exe, the
# dialog opens with its values and Return makes that signal. Both are saved
# with Ctrl+S and compared byte for byte with the synthesis of
# docs/signals.md, computed here again in Python.

# Over window $1: the dialog, its screenshot $2, Return, $3 rows, Ctrl+S.
make_signal_with_return() {
  local dialog i
  xdotool key --window "$1" ctrl+shift+g
  dialog=$(wait_for_dialog "Сигнал")
  sleep 0.5
  import -window root "$E2E_OUT/$2"
  [ -n "$dialog" ] && xdotool key --window "$dialog" Return
  for i in $(seq 20); do [ "$(probe rows)" = "$3" ] && break; sleep 0.25; done
  [ "$(probe rows)" = "$3" ] && xdotool key --window "$1" ctrl+s && sleep 1
}

# Prints what differs between the fragment named $2 of profile $1 and signal $3.
compare_signal() {
  python3 - "$@" 2>&1 <<'EOF' || echo "the comparison failed"
import math, struct, sys
profile, name, setting = sys.argv[1], sys.argv[2], sys.argv[3].split(",")
kind, (f1, f2, period, duration, level), rate = setting[0], map(float, setting[1:]), 9765.0
half_away = lambda x: int(math.copysign(math.floor(abs(x) + 0.5), x))
expected, phase = [], 0.0
for n in range(half_away(duration * rate)):
    t = n / rate
    p = math.fmod(t, period) / period
    f = {"wail": f1 + (f2 - f1) * (2 * p) if p < 0.5 else f1 + (f2 - f1) * (2 * (1 - p)),
         "hilo": f1 if p < 0.5 else f2}[kind]
    expected.append(half_away(level / 100.0 * 127.0 * math.sin(phase)) & 0xFF)
    phase += 2.0 * math.pi * f / rate
data, offset, fragments = open(profile, "rb").read(), 4, {}
for slot in range(16):
    size = data[offset]
    start, length = struct.unpack_from("<II", data, offset + 1 + size)
    fragments[data[offset + 1:offset + 1 + size].decode("cp1251")] = (start, length)
    offset += 1 + size + 8
start, length = fragments.get(name, (0, 0))
actual = data[offset + 20 + start:offset + 20 + start + length]
if actual != bytes(expected):
    print("%s: %d bytes, %d expected, %d differ" %
          (name, length, len(expected), sum(a != b for a, b in zip(actual, expected))))
EOF
}

test_signals_are_made_with_return() {
  local name="SignalsAreMadeWithReturn" setting="hilo,660,880,1,3,80"
  start_with_test_profile signal 4 || { fail "$name" "the program or the emulator did not start"; return; }
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected"; return; }
  make_signal_with_return "$SIRELTA_WINDOW" signal_dialog_default.png 4 ||
    { fail "$name" "no default signal (see signal_dialog_default.png)"; return; }
  stop_all_wine
  wine_env wine reg add 'HKCU\Software\Sirelta' /v Signal /d "$setting" /f >/dev/null 2>&1
  start_emulator signal-again --chips 4 && SIRELTA_PID=$(start_sirelta signal-again) &&
    SIRELTA_WINDOW=$(wait_for_window 60) || { fail "$name" "the program did not start again"; return; }
  wait_for_status "Объем памяти получен (255 kB), сирена подключена" 20 || { fail "$name" "not connected again"; return; }
  make_signal_with_return "$SIRELTA_WINDOW" signal_dialog.png 5 ||
    { fail "$name" "no signal from the setting (see signal_dialog.png)"; return; }
  stop_all_wine
  local differs
  differs=$(compare_signal "$E2E_OUT/signal.zpf" "Вой 600-1200 Гц" "wail,600,1200,4,8,90")
  differs+=$(compare_signal "$E2E_OUT/signal.zpf" "Двухтональный 660-880 Гц" "$setting")
  [ -z "$differs" ] || { fail "$name" "$differs"; return; }
  pass "$name"
}

test_signals_are_made_with_return
