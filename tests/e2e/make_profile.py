#!/usr/bin/env python3
"""Writes a profile file with a few fragments for the end-to-end tests.

usage: make_profile.py OUTPUT
The fragments are named in Russian (stored in code page 1251, as the program
stores names); the third one runs past the memory of a two-chip siren.
"""
import struct
import sys

IMAGE_SIZE = 4 * 65535
EMPTY = 0xFFFFF
FRAGMENTS = [  # slot: (name, start, length)
    ("Гудок", 0, 30000),
    ("Сирена", 60000, 40000),
    ("Тревога", 120000, 30000),
]
PLAYLIST = [0, 2, 1]
BUTTONS = [1, 255, 2, 255]


def profile_bytes():
    data = bytearray(b"ZPF\0")
    image = bytearray(b"\xff" * IMAGE_SIZE)
    for slot in range(16):
        if slot < len(FRAGMENTS):
            name, start, length = FRAGMENTS[slot]
            encoded = name.encode("cp1251")
            for i in range(length):  # a recognisable saw tooth
                image[start + i] = (i * (slot + 1)) & 0xFF
        else:
            encoded, start, length = b"", EMPTY, EMPTY
        data += bytes([len(encoded)]) + encoded + struct.pack("<II", start, length)
    data += bytes(BUTTONS)
    data += bytes(PLAYLIST + [255] * (16 - len(PLAYLIST)))
    data += image
    return bytes(data)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as output:
        output.write(profile_bytes())
