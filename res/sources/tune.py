#!/usr/bin/env python3
"""Writes the setup's background tune, a Standard MIDI File, from the score below.

    tune.py RES_DIR

Writes RES_DIR/music/Trawlix.mid and RES_DIR/Tune.cpp (the same bytes as the
program's constant data). The file is format 1 with five tracks (tempo and
names, melody, broken chords over a pad, bass, drums) at 480 ticks per quarter note. It is
sixteen bars in F major that end on the dominant, so that the player's restart
from the beginning sounds like the next bar. The setup writes the tune out with
a fixed size, so the generator insists on it.
"""

import os
import struct
import sys

TUNE_SIZE = 3785
TICKS = 480                 # per quarter note
EIGHTH = TICKS // 2
BAR = 4 * TICKS
BARS = 16
TEMPO_BPM = 100

# Notes by name, octave 4 being the one of middle C (60).
STEPS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    pitch = STEPS[name[0]]
    rest = name[1:]
    if rest.startswith("b"):
        pitch, rest = pitch - 1, rest[1:]
    return 12 * (int(rest) + 1) + pitch


# The melody: per bar, notes as NAME:EIGHTHS ("r" is a rest); eight eighths a bar.
MELODY = [
    "C5:2 F5:2 A5:3 G5:1",  "F5:4 D5:2 E5:2",       "F5:2 D5:2 Bb4:2 D5:2", "C5:6 r:2",
    "C5:2 F5:2 A5:3 G5:1",  "A5:2 G5:2 E5:2 C5:2",  "D5:2 F5:2 Bb5:2 A5:1 G5:1", "G5:6 r:2",
    "A5:3 G5:1 F5:2 E5:2",  "D5:3 C5:1 D5:2 F5:2",  "C5:3 Bb4:1 A4:2 C5:2", "G4:4 E5:2 C5:2",
    "D5:2 F5:2 Bb5:3 A5:1", "G5:2 E5:2 C5:2 G5:2",  "A5:4 G5:2 F5:2",       "E5:2 G5:2 C5:4",
]

# One chord a bar: the notes that the broken chords and the bass draw on.
CHORDS = [
    "F3 A3 C4", "D3 F3 A3", "Bb2 D3 F3", "C3 E3 G3", "F3 A3 C4", "A2 C3 E3", "Bb2 D3 F3", "C3 E3 G3",
    "D3 F3 A3", "Bb2 D3 F3", "F3 A3 C4", "C3 E3 G3", "Bb2 D3 F3", "C3 E3 G3", "F3 A3 C4", "C3 E3 G3",
]

# Eighth-note order in which the broken chords walk through a chord's notes
# (3 is the lowest note an octave up).
ARPEGGIO = [0, 1, 2, 3, 2, 1, 2, 1]
# The bass line of a bar: (eighth where the note starts, eighths it lasts, 0 root / 1 fifth / 2 octave).
BASS = [(0, 3, 0), (3, 1, 0), (4, 2, 1), (6, 2, 2)]

KICK, SNARE, HAT, CRASH = 36, 38, 42, 49


class Track:
    """Events at absolute ticks, written out with delta times and running status."""

    def __init__(self, name):
        self.events = []   # (tick, order, bytes)
        self.meta(0, 0x03, name.encode("ascii"))

    def meta(self, tick, kind, data):
        self.events.append((tick, 0, bytes([0xFF, kind]) + varlen(len(data)) + data))

    def control(self, tick, channel, *data):
        self.events.append((tick, 1, bytes([data[0] | channel]) + bytes(data[1:])))

    def play(self, tick, length, channel, pitch, velocity):
        # A note-on of velocity 0 ends a note: every note event then shares one status byte.
        self.events.append((tick, 3, bytes([0x90 | channel, pitch, velocity])))
        self.events.append((tick + length, 2, bytes([0x90 | channel, pitch, 0])))

    def chunk(self, end):
        out, now, status = bytearray(), 0, None
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            out += varlen(tick - now)
            now = tick
            if data[0] < 0xF0 and data[0] == status:
                out += data[1:]
            else:
                out += data
                status = data[0] if data[0] < 0xF0 else None
        out += varlen(end - now) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(out)) + bytes(out)


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def conductor(note_text):
    track = Track("Trawlix")
    track.meta(0, 0x02, b"(C) Varnholt Technologies")
    track.meta(0, 0x01, note_text.encode("ascii"))
    track.meta(0, 0x58, bytes([4, 2, 24, 8]))              # 4/4
    track.meta(0, 0x59, bytes([0xFF, 0]))                   # F major (one flat)
    track.meta(0, 0x51, (60_000_000 // TEMPO_BPM).to_bytes(3, "big"))
    return track


def instrument(name, channel, program, volume, pan):
    track = Track(name)
    track.control(0, channel, 0xC0, program)
    track.control(0, channel, 0xB0, 7, volume)
    track.control(0, channel, 0xB0, 10, pan)
    track.control(0, channel, 0xB0, 91, 40)                 # a little reverb
    return track


def melody_track():
    track = instrument("Melody", 0, 73, 100, 64)            # flute
    for bar, line in enumerate(MELODY):
        tick = bar * BAR
        for item in line.split():
            name, eighths = item.split(":")
            length = int(eighths) * EIGHTH
            if name != "r":
                accent = 92 if tick % BAR == 0 else 80
                track.play(tick, length - 20, 0, note(name), accent)
            tick += length
        if tick != (bar + 1) * BAR:
            sys.exit(f"tune.py: melody bar {bar + 1} does not last one bar")
    return track


def chord_track():
    track = instrument("Chords", 1, 4, 70, 44)              # electric piano
    track.control(0, 3, 0xC0, 48)                            # and strings beneath it
    track.control(0, 3, 0xB0, 7, 52)
    track.control(0, 3, 0xB0, 10, 84)
    for bar, chord in enumerate(CHORDS):
        notes = [note(n) for n in chord.split()]
        notes.append(notes[0] + 12)
        for step, which in enumerate(ARPEGGIO):
            track.play(bar * BAR + step * EIGHTH, EIGHTH - 30, 1, notes[which], 64 if step % 2 else 74)
        for pitch in notes[:3]:
            track.play(bar * BAR, BAR - 60, 3, pitch + 12, 56)
    return track


def bass_track():
    track = instrument("Bass", 2, 33, 96, 64)               # finger bass
    for bar, chord in enumerate(CHORDS):
        root = note(chord.split()[0])
        root = root - 12 if root >= note("E3") else root
        for start, eighths, degree in BASS:
            pitch = root + (0, 7, 12)[degree]
            track.play(bar * BAR + start * EIGHTH, eighths * EIGHTH - 40, 2, pitch, 90)
    return track


def drum_track():
    track = instrument("Drums", 9, 0, 84, 64)
    for bar in range(BARS):
        tick = bar * BAR
        if bar % 8 == 0:
            track.play(tick, EIGHTH, 9, CRASH, 84)
        for beat in range(4):
            track.play(tick + beat * TICKS, EIGHTH, 9, KICK if beat % 2 == 0 else SNARE, 96 if beat % 2 == 0 else 80)
            track.play(tick + beat * TICKS, EIGHTH // 2, 9, HAT, 60)
            track.play(tick + beat * TICKS + EIGHTH, EIGHTH // 2, 9, HAT, 44)
        if bar % 4 == 3:                                     # a pick-up into the next phrase
            track.play(tick + 7 * EIGHTH, EIGHTH // 2, 9, SNARE, 64)
        else:
            track.play(tick + 5 * EIGHTH, EIGHTH, 9, KICK, 76)
    return track


# The text event of the first track; its length is what makes the file exactly
# TUNE_SIZE bytes, so a change of the score is followed by a change of this text.
NOTE_TEXT = ("Trawlix theme for the Trawlmark 5.3 setup, composed by Varnholt Technologies: sixteen bars in F major "
             "for flute, piano, strings, bass and drums. They end on C and lead back to the start, as a loop.")


def tune():
    end = BARS * BAR
    tracks = [conductor(NOTE_TEXT), melody_track(), chord_track(), bass_track(), drum_track()]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    return header + b"".join(t.chunk(end) for t in tracks)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: tune.py RES_DIR")
    res = sys.argv[1]
    data = tune()
    if len(data) != TUNE_SIZE:
        sys.exit(f"tune.py: the tune has {len(data)} bytes, not {TUNE_SIZE}: "
                 f"make the text event {TUNE_SIZE - len(data):+d} characters longer")
    os.makedirs(os.path.join(res, "music"), exist_ok=True)
    with open(os.path.join(res, "music", "Trawlix.mid"), "wb") as f:
        f.write(data)
    lines = [", ".join(f"0x{b:02x}" for b in data[i:i + 16]) for i in range(0, len(data), 16)]
    with open(os.path.join(res, "Tune.cpp"), "w", encoding="ascii", newline="\n") as f:
        f.write("// The background tune (a Standard MIDI File). Written by res/sources/tune.py\n"
                "// from its score: change the score there, not these bytes.\n"
                "#include \"Tune.h\"\n\n"
                "const unsigned char kTune[] = {\n    " + ",\n    ".join(lines) + ",\n};\n\n"
                "const unsigned kTuneSize = sizeof kTune;\n")


if __name__ == "__main__":
    main()
