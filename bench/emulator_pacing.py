#!/usr/bin/env python3
"""Measures how closely siren_emulator --pace holds the timing of a 115200 baud
8N1 line: memory exchanges (read byte: 7 + 6 bytes, write byte: 8 + 5 bytes)
one at a time, as the program's memory jobs do them, and prints the exchanges
per second against the line's limit of 115200 / 10 / 13 = 886 per second.

The turnaround of the pseudo-terminal and of this client comes on top of the
line time in both runs; the last line of the output takes it out and shows
what pacing itself adds per exchange.

Usage: emulator_pacing.py PATH_TO_siren_emulator [EXCHANGES]"""
import os
import select
import subprocess
import sys
import time
import tty

BYTE_TIME = 10 / 115200.0


def frame(code, payload):
    body = bytes([0xAA, code, len(payload)]) + bytes(payload)
    checksum = 0
    for b in body:
        checksum ^= b
    return body + bytes([checksum])


def run(emulator, exchanges, extra):
    process = subprocess.Popen([emulator, "--exit-on-eof", *extra], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    path = process.stdout.readline().decode().strip()
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    requests = []
    for n in range(exchanges):
        address = [n & 0xFF, (n >> 8) & 0xFF, 0]
        if n % 2 == 0:
            requests.append((frame(0x40, address + [n & 0xFF]), 5))
        else:
            requests.append((frame(0x30, address), 6))
    started = time.monotonic()
    for data, length in requests:
        os.write(fd, data)
        received = 0
        while received < length:
            select.select([fd], [], [], 2.0)
            received += len(os.read(fd, 64))
    elapsed = time.monotonic() - started
    os.close(fd)
    process.stdin.close()
    process.wait(timeout=5)
    return elapsed


def main():
    emulator = sys.argv[1]
    exchanges = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    line = exchanges * 13 * BYTE_TIME
    print("exchanges: %d, 13 bytes each; a real line needs %.1f ms (%.0f exchanges/s)"
          % (exchanges, line * 1000, exchanges / line))
    results = {}
    for label, extra in (("--pace", ["--pace"]), ("unpaced", [])):
        elapsed = run(emulator, exchanges, extra)
        results[label] = elapsed
        print("%-8s %8.1f ms  %6.0f exchanges/s  %+6.1f %% against the line"
              % (label, elapsed * 1000, exchanges / elapsed, (elapsed / line - 1) * 100))
    # What pacing itself adds, without the pseudo-terminal's and this
    # client's own turnaround, which a real line would add as well.
    added = (results["--pace"] - results["unpaced"]) / exchanges
    print("pacing adds %.0f us per exchange; the line takes %.0f us (%+.1f %%)"
          % (added * 1e6, 13 * BYTE_TIME * 1e6, (added / (13 * BYTE_TIME) - 1) * 100))


if __name__ == "__main__":
    main()
