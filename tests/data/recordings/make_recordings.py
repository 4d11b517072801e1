#!/usr/bin/env python3
"""Writes the small recordings the replay, index and summary tests read (run once; the files are
committed). Each report i (from 0) carries distance 100 + 10 i cm and gate g raw energy
100 * (1 + (7 i + 5 g) % 97); see README.md for the states."""
import struct

HEADER = b"\xF4\xF3\xF2\xF1"
TAIL = b"\xF8\xF7\xF6\xF5"


def report(i, state):
    payload = bytes([1, state]) + struct.pack("<H", 100 + 10 * i) + b"\0\0"
    for g in range(16):
        payload += struct.pack("<HH", 100 * (1 + (7 * i + 5 * g) % 97), 0)
    assert len(payload) == 70
    return HEADER + struct.pack("<H", 70) + payload + TAIL


# (state, reports): none 4, moving 6, none (1) 3, motionless 5, moving 2, none 10.
RUNS = [(0, 4), (2, 6), (1, 3), (3, 5), (2, 2), (0, 10)]

states = []
for state, count in RUNS:
    states += [state] * count

out = b"garbage"
for i, state in enumerate(states):
    out += report(i, state)
    if i in (2, 11):
        out += b"\x01\x02\xF4"  # noise, a lone header byte among it
    if i == 20:
        out += HEADER + struct.pack("<H", 4) + b"\x02\0\0\0" + TAIL  # another frame type
# A frame cut short, as a file still being written ends.
out += report(len(states), 2)[:37]
open("states_30.dat", "wb").write(out)
