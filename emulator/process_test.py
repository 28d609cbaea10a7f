#!/usr/bin/env python3
"""The siren emulator as a process on a real pseudo-terminal: the printed path,
the --link symlink, a reconnect, the state file across runs, clean exits on
end of stdin and on SIGTERM, the other siren's state file, and the timing of a
late copy. Usage: process_test.py PATH_TO_siren_emulator"""
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import tty

EMULATOR = sys.argv[1]
failures = []


def check(condition, what):
    print(("ok     " if condition else "FAILED ") + what)
    if not condition:
        failures.append(what)


def frame(start, code, payload):
    body = bytes([start, code, len(payload)]) + bytes(payload)
    checksum = 0
    for b in body:
        checksum ^= b
    return body + bytes([checksum])


def request(code, payload=()):
    return frame(0xAA, code, payload)


def reply(code, data=()):
    return frame(0x55, code, data)


def start(*arguments):
    process = subprocess.Popen([EMULATOR, *arguments], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    path = process.stdout.readline().decode().strip()
    return process, path


def open_line(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    return fd


def exchange(fd, data, expected_length, timeout=3.0):
    os.write(fd, data)
    received = b""
    deadline = time.monotonic() + timeout
    while len(received) < expected_length and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            received += os.read(fd, 1024)
    return received


def other_siren_checks(folder):
    state, other = os.path.join(folder, "current.state"), os.path.join(folder, "older.state")
    for content in (None, b"SEMU" + bytes(50)):
        if content:
            with open(other, "wb") as file:
                file.write(content)
        run = subprocess.run([EMULATOR, "--state", state, "--other-state", other], capture_output=True, text=True)
        check(run.returncode == 2 and other in run.stderr and not os.path.exists(state),
              "a bad --other-state file: exit code 2, no state written: " + run.stderr.strip())


def late_copy_checks():
    # With a USB adapter's 16 ms latency; the reply may also wait for the 10 ms look for an opener.
    process, path = start("--late-copy", "1", "--delay", "16", "--exit-on-eof")
    fd = open_line(path)
    sent = time.monotonic()
    os.write(fd, request(0x10))
    arrivals = []
    while time.monotonic() < sent + 0.3:
        if select.select([fd], [], [], 0.05)[0]:
            arrivals.append((time.monotonic(), os.read(fd, 64)))
    times = [(t - sent) * 1000 for t, _ in arrivals] or [0]
    check(b"".join(b for _, b in arrivals) == reply(0x10, [4]) * 2 and times[0] >= 16 and
          19 <= times[-1] - times[0] <= 60, "a reply after --delay 16 (%.1f ms) and its late copy alone, "
          "20 ms later when no request comes (%.1f ms)" % (times[0], times[-1] - times[0]))
    os.close(fd)
    process.stdin.close()
    process.wait(timeout=5)


def main():
    folder = tempfile.mkdtemp(prefix="emulator-process-")
    link = os.path.join(folder, "com9")
    state = os.path.join(folder, "siren.state")
    log = os.path.join(folder, "emulator.log")

    help_run = subprocess.run([EMULATOR, "--help"], capture_output=True, text=True)
    check(help_run.returncode == 0 and "--refuse-table" in help_run.stdout, "--help lists the options")
    bad_run = subprocess.run([EMULATOR, "--chips", "300"], capture_output=True, text=True)
    check(bad_run.returncode == 2 and "--chips" in bad_run.stderr, "a bad option is refused with exit code 2")

    process, path = start("--link", link, "--state", state, "--chips", "2", "--exit-on-eof", "--log", log)
    check(path.startswith("/dev/pts/"), "the first line is the slave path: " + path)
    check(os.path.islink(link) and os.readlink(link) == path, "--link points at the slave")

    fd = open_line(link)
    check(exchange(fd, request(0x00), 4) == bytes([0x55, 0xFF, 0x00, 0xAA]), "detect answers 55 FF 00 AA")
    check(exchange(fd, request(0x40, [0x34, 0x12, 0x01, 0x5A]), 5) == reply(0x40, [0]), "write byte")
    os.close(fd)
    time.sleep(0.1)

    fd = open_line(link)
    merged = request(0x10) + request(0x30, [0x34, 0x12, 0x01])
    check(exchange(fd, merged, 11) == reply(0x10, [2]) + reply(0x30, [0, 0x5A]),
          "after a reconnect, two merged requests are answered in order")
    os.close(fd)

    process.stdin.close()
    check(process.wait(timeout=5) == 0, "end of stdin ends the emulator cleanly")
    check(not os.path.lexists(link), "the link is removed on exit")
    with open(state, "rb") as file:
        saved = file.read()
    check(len(saved) == 262264 and saved[124 + 0x11234] == 0x5A, "the state file holds the written byte")
    with open(log) as file:
        text = file.read()
    check("other side closed" in text and "request 1: detect" in text, "the log shows frames and the hang-up")

    # A second run starts from the saved state and saves again on SIGTERM.
    process, path = start("--state", state, "--chips", "2")
    fd = open_line(path)
    check(exchange(fd, request(0x30, [0x34, 0x12, 0x01]), 6) == reply(0x30, [0, 0x5A]),
          "the next run answers from the saved state")
    check(exchange(fd, request(0x40, [0x00, 0x00, 0x00, 0x01]), 5) == reply(0x40, [0]), "write byte 0")
    os.close(fd)
    process.send_signal(signal.SIGTERM)
    check(process.wait(timeout=5) == 0, "SIGTERM ends the emulator cleanly")
    with open(state, "rb") as file:
        saved = file.read()
    check(saved[124] == 0x01 and saved[124 + 0x11234] == 0x5A, "SIGTERM saved the state")

    # Silent: nothing comes back within half a second.
    process, path = start("--silent", "--exit-on-eof")
    fd = open_line(path)
    check(exchange(fd, request(0x00), 4, timeout=0.5) == b"", "--silent answers nothing")
    os.close(fd)
    process.stdin.close()
    process.wait(timeout=5)

    other_siren_checks(folder)
    late_copy_checks()

    shutil.rmtree(folder, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
