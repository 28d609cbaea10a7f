#!/usr/bin/env bash
# Runs a Windows test program with ser2net in front of the siren emulator's
# line: ser2net listens on two free loopback ports, one passing the bytes as
# they are and one speaking Telnet with RFC 2217 port control, and opens the
# line at a path in a folder of its own whenever a client connects. The tests
# start the emulator with its link at that path (SIRELTA_SER2NET_LINE) and
# connect to the ports (SIRELTA_SER2NET_RAW_PORT, SIRELTA_SER2NET_TELNET_PORT).
# Arguments: the command that runs Windows programs, the test program and its
# arguments. The server sends what the line gives at once (no wait for more
# characters, which would add a millisecond or more to every exchange).
set -euo pipefail
wine_run=$1
shift
command -v ser2net >/dev/null || { echo "ser2net is not installed" >&2; exit 1; }

work=$(mktemp -d /tmp/sirelta-ser2net-XXXXXX)
ser2net_pid=""
cleanup() {
  if [ -n "$ser2net_pid" ]; then kill "$ser2net_pid" 2>/dev/null || true; wait "$ser2net_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Two ports the system hands out as free, let go just before ser2net takes them.
read -r raw telnet < <(python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in sockets])
for s in sockets: s.close()')

line="$work/line"
cat >"$work/ser2net.yaml" <<YAML
connection: &siren_raw
  accepter: tcp,127.0.0.1,$raw
  connector: serialdev,$line,115200n81,local
  options:
    kickolduser: true
    chardelay: false
connection: &siren_rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet
  connector: serialdev,$line,115200n81,local
  options:
    kickolduser: true
    chardelay: false
YAML
# -n: stay in front; -d: no daemon; -P: a pid file of our own.
ser2net -n -d -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
ser2net_pid=$!
for _ in $(seq 100); do
  if python3 -c "import socket,sys; [socket.create_connection(('127.0.0.1', p), 1).close() for p in ($raw, $telnet)]" 2>/dev/null; then
    break
  fi
  kill -0 "$ser2net_pid" 2>/dev/null || { cat "$work/ser2net.log" >&2; exit 1; }
  sleep 0.1
done
echo "ser2net $(ser2net -v 2>&1 | head -n 1): raw on $raw, RFC 2217 on $telnet, line $line"

status=0
SIRELTA_SER2NET_LINE="$line" SIRELTA_SER2NET_RAW_PORT="$raw" SIRELTA_SER2NET_TELNET_PORT="$telnet" \
  "$wine_run" "$@" || status=$?
[ "$status" = 0 ] || { echo "ser2net's log:" >&2; cat "$work/ser2net.log" >&2; }
exit "$status"
