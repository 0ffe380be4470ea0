#!/usr/bin/env python3
"""Draws the new-mail chime: two soft bell notes rising a fifth, about half a second, 22050 Hz mono 16-bit PCM.

make_unread_wav.py OUT.wav

Standard library only, and the same bytes on every run, so a rebuild never shows a changed file.
"""
import math
import os
import struct
import sys
import wave

RATE = 22050
PEAK = 0.55  # of full scale: a notification, not an alarm; the sum of both notes stays well below 1

# (start in s, frequency in Hz, length in s, loudness): E5 then B5, the second ringing out; the partial an
# octave up keeps it bright without being shrill.
NOTES = ((0.00, 659.26, 0.30, 1.00),
         (0.14, 987.77, 0.38, 0.85))
LENGTH = 0.52
ATTACK = 0.008  # long enough to avoid a click, short enough to sound struck
RELEASE = 0.03  # every note ends at zero, so the file does not end in a click either


def note_sample(t, frequency, length, loudness):
    if t < 0 or t >= length:
        return 0.0
    attack = min(1.0, t / ATTACK)
    attack = attack * attack * (3 - 2 * attack)  # smoothstep: no corner at the start
    decay = math.exp(-t * 7.0)
    release = min(1.0, (length - t) / RELEASE)
    # A bell-like partial an octave up, decaying faster, gives the note some shimmer.
    tone = math.sin(2 * math.pi * frequency * t) + 0.25 * math.exp(-t * 12.0) * math.sin(4 * math.pi * frequency * t)
    return loudness * attack * decay * release * tone / 1.25


def samples():
    count = int(RATE * LENGTH)
    values = []
    for i in range(count):
        t = i / RATE
        values.append(sum(note_sample(t - start, f, length, loud) for start, f, length, loud in NOTES))
    top = max(abs(v) for v in values) or 1.0
    scale = PEAK * 32767 / top
    return [max(-32767, min(32767, int(round(v * scale)))) for v in values]


def main(argv):
    if len(argv) != 2:
        print("usage: make_unread_wav.py OUT.wav", file=sys.stderr)
        return 2
    data = struct.pack(f"<{int(RATE * LENGTH)}h", *samples())
    temporary = argv[1] + ".tmp"
    with wave.open(temporary, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(data)
    # Renamed into place, so a build stopped halfway never leaves a cut file that looks done.
    os.replace(temporary, argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
