#!/usr/bin/python3
"""Writes the project's own song, "Ring Buffer Blues in D", as a Standard
MIDI File (format 1, General MIDI): a conductor track with the tempo changes,
then one track per instrument.

    make_song.py OUT.mid            the full song, about 30 s
    make_song.py --short OUT.mid    the test's song, about 4 s

Both open with a real burst at tick 0: a General MIDI reset (system
exclusive, which the driver does not send), then on all 16 channels reset
controllers, volume, pan and reverb, the programs and the first chord: more
than 64 channel messages on one tick, more than one pump tick can hand over.
The climax bar opens with another such burst. The strings swell with
expression, the flute bends into notes and takes vibrato, the strings get
polyphonic pressure and the flute channel pressure, drums on channel 10.

Needs Debian's python3-mido (run with /usr/bin/python3).
"""
import random
import sys

import mido

PPQ = 480
BAR = 4 * PPQ

PIANO, BASS, STRINGS, FLUTE, BRASS, DRUMS = 0, 1, 2, 3, 4, 9
PROGRAMS = {PIANO: 0, BASS: 33, STRINGS: 48, FLUTE: 73, BRASS: 61}
PANS = {PIANO: 44, BASS: 64, STRINGS: 84, FLUTE: 70, BRASS: 54, DRUMS: 64}
KICK, SNARE, HAT, CRASH, RIDE, TOM_LOW, TOM_MID, TOM_HIGH = 36, 38, 42, 49, 51, 45, 47, 50

# One chord a bar: (bass root, chord tones from D4 = 62 upward).
CHORDS = [
    (38, [62, 66, 69, 73]),  # 1 D maj7
    (35, [62, 66, 71, 73]),  # 2 B m9 (no root in the right hand)
    (31, [62, 66, 67, 71]),  # 3 G maj7
    (33, [61, 64, 67, 69]),  # 4 A7
    (28, [62, 64, 67, 71]),  # 5 E m7
    (30, [61, 64, 66, 69]),  # 6 F# m7
    (31, [62, 66, 67, 71]),  # 7 G maj7
    (33, [62, 64, 67, 69]),  # 8 A7 sus4
    (35, [62, 66, 69, 71]),  # 9 B m7: the climax
    (31, [62, 64, 67, 71]),  # 10 G6
    (28, [62, 66, 67, 71]),  # 11 E m9
    (33, [61, 64, 67, 69]),  # 12 A7
    (38, [62, 64, 66, 69]),  # 13 D add9, held
]
CLIMAX = 8  # bar index of the second burst
# Tempo (beats per minute) from a bar on.
TEMPI_FULL = {0: 104, 4: 116, 10: 100, 11: 88, 12: 72}
TEMPI_SHORT = {0: 120, 1: 150, 2: 160}


class Track:
    """Events at absolute ticks; written out sorted, note-offs first."""

    def __init__(self, name):
        self.name = name
        self.events = []

    def add(self, tick, message, rank=5):
        self.events.append((tick, rank, len(self.events), message))

    def note(self, tick, channel, key, velocity, length, use_off=True):
        self.add(tick, mido.Message("note_on", channel=channel, note=key, velocity=velocity), rank=6)
        off = (mido.Message("note_off", channel=channel, note=key, velocity=64) if use_off
               else mido.Message("note_on", channel=channel, note=key, velocity=0))
        self.add(tick + length, off, rank=0)

    def to_midi(self):
        track = mido.MidiTrack([mido.MetaMessage("track_name", name=self.name, time=0)])
        now = 0
        for tick, _, _, message in sorted(self.events, key=lambda e: e[:3]):
            track.append(message.copy(time=tick - now))
            now = tick
        track.append(mido.MetaMessage("end_of_track", time=0))
        return track


def burst(track, tick, climax):
    """Controller reset on all 16 channels, then volume, pan, reverb."""
    for channel in range(16):
        track.add(tick, mido.Message("control_change", channel=channel, control=121, value=0), rank=1)
        track.add(tick, mido.Message("control_change", channel=channel, control=7, value=112 if climax else 100), rank=2)
        track.add(tick, mido.Message("control_change", channel=channel, control=10, value=PANS.get(channel, 64)), rank=2)
        track.add(tick, mido.Message("control_change", channel=channel, control=91, value=48), rank=2)
    for channel, program in PROGRAMS.items():
        track.add(tick, mido.Message("program_change", channel=channel, program=program), rank=3)


def piano_bar(track, start, chord, climax, last):
    voicing = chord + [k + 12 for k in chord[:2]] if climax else chord
    if last:
        for key in voicing + [chord[0] - 12]:
            track.note(start, PIANO, key, 80, 4 * PPQ - 10)
        return
    for beat, velocity in ((0, 92), (2, 78)):
        for key in voicing:
            track.note(start + beat * PPQ, PIANO, key, velocity, 2 * PPQ - 40, use_off=False)
    # An answering figure on the "and" of 4.
    track.note(start + 3 * PPQ + PPQ // 2, PIANO, chord[-1] + 12, 70, PPQ // 2 - 20, use_off=False)


def bass_bar(track, start, root, next_root, last):
    if last:
        track.note(start, BASS, root, 100, 4 * PPQ - 10)
        return
    track.note(start, BASS, root, 104, PPQ + PPQ // 2 - 20)
    track.note(start + PPQ + PPQ // 2, BASS, root + 12, 84, PPQ // 2 - 20)
    track.note(start + 2 * PPQ, BASS, root + 7, 96, PPQ - 20)
    # A walking step towards the next bar's root.
    step = next_root - 1 if next_root > root else next_root + 1
    track.note(start + 3 * PPQ, BASS, step, 90, PPQ - 20)


def strings_bar(track, start, chord, last):
    keys = [k - 12 for k in chord]
    length = 4 * PPQ - 10
    for key in keys:
        track.note(start, STRINGS, key, 70, length)
    # Expression swells up and back within the bar, an eighth of a beat apart.
    steps = 32
    for i in range(steps):
        rise = i / (steps - 1)
        value = int(60 + 60 * (1 - abs(2 * rise - 1)))
        track.add(start + i * length // steps, mido.Message("control_change", channel=STRINGS, control=11, value=value))
    if not last:
        # Pressure on the top voice at the height of the swell.
        track.add(start + 2 * PPQ, mido.Message("polytouch", channel=STRINGS, note=keys[-1], value=90))
        track.add(start + 3 * PPQ, mido.Message("polytouch", channel=STRINGS, note=keys[-1], value=30))


RHYTHMS = [
    [(0, 2), (2, 1), (3, 1)],
    [(0, 1), (1, 1), (2, 2)],
    [(0, 3), (3, 1)],
    [(0.5, 1.5), (2, 1), (3, 1)],
]


def flute_bar(track, start, chord, random_walk, last):
    """A melody of chord tones a step or two apart; long notes scoop up with
    the pitch wheel and get vibrato."""
    tones = sorted({k + 12 for k in chord} | {k + 24 for k in chord[:2]})
    if last:
        track.note(start, FLUTE, tones[2], 90, 4 * PPQ - 10)
        return
    for beat, beats in random_walk.choice(RHYTHMS):
        random_walk.index = max(0, min(len(tones) - 1, random_walk.index + random_walk.choice((-2, -1, 1, 1, 2))))
        tick = start + int(beat * PPQ)
        length = int(beats * PPQ) - 30
        if beats >= 2:
            # Scoop: the wheel starts a little flat and returns to the centre.
            for i, bend in enumerate((-2400, -1800, -1200, -600, -200, 0)):
                track.add(tick + i * 20, mido.Message("pitchwheel", channel=FLUTE, pitch=bend), rank=4 if i == 0 else 5)
            track.add(tick + PPQ // 2, mido.Message("control_change", channel=FLUTE, control=1, value=50))
            track.add(tick + length, mido.Message("control_change", channel=FLUTE, control=1, value=0))
            track.add(tick + PPQ, mido.Message("aftertouch", channel=FLUTE, value=70))
        track.note(tick, FLUTE, tones[random_walk.index], 96, length)


def brass_bar(track, start, chord):
    for key in chord[:3]:
        track.note(start, BRASS, key, 100, PPQ + PPQ // 2)
        track.note(start + 2 * PPQ, BRASS, key + 2, 88, PPQ)


def drum_bar(track, start, bar, fill, climax, last):
    if last:
        track.note(start, DRUMS, CRASH, 110, PPQ)
        track.note(start, DRUMS, KICK, 110, PPQ // 4)
        return
    cymbal = RIDE if climax else HAT
    for eighth in range(8):
        track.note(start + eighth * PPQ // 2, DRUMS, cymbal, 70 if eighth % 2 else 90, PPQ // 4, use_off=False)
    for beat in (0, 2):
        track.note(start + beat * PPQ, DRUMS, KICK, 110, PPQ // 4, use_off=False)
    for beat in (1, 3):
        track.note(start + beat * PPQ, DRUMS, SNARE, 100, PPQ // 4, use_off=False)
    if bar % 4 == 0:
        track.note(start, DRUMS, CRASH, 112, PPQ)
    if fill:
        for i, tom in enumerate((TOM_HIGH, TOM_HIGH, TOM_MID, TOM_MID, TOM_LOW, TOM_LOW)):
            track.note(start + 3 * PPQ + i * PPQ // 6, DRUMS, tom, 96 + i * 4, PPQ // 8, use_off=False)


def build(short):
    bars = [0, CLIMAX, 12] if short else list(range(len(CHORDS)))
    tempi = TEMPI_SHORT if short else TEMPI_FULL
    conductor = Track("Ring Buffer Blues in D")
    # General MIDI on: a system-exclusive message, which the driver skips.
    conductor.add(0, mido.Message("sysex", data=[0x7E, 0x7F, 0x09, 0x01]), rank=0)
    conductor.add(0, mido.MetaMessage("time_signature", numerator=4, denominator=4))
    conductor.add(0, mido.MetaMessage("key_signature", key="D"))
    for position, bpm in tempi.items():
        conductor.add(position * BAR, mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(bpm)), rank=0)
    parts = {name: Track(name) for name in ("piano", "bass", "strings", "flute", "brass", "drums")}
    burst(parts["piano"], 0, climax=False)
    walk = random.Random(1998)
    walk.index = 3
    for position, bar in enumerate(bars):
        start = position * BAR
        root, chord = CHORDS[bar]
        last = position == len(bars) - 1
        climax = bar == CLIMAX
        if climax:
            burst(parts["piano"], start, climax=True)
            conductor.add(start, mido.MetaMessage("marker", text="climax"))
        next_root = CHORDS[bars[position + 1]][0] if not last else root
        piano_bar(parts["piano"], start, chord, climax, last)
        bass_bar(parts["bass"], start, root, next_root, last)
        strings_bar(parts["strings"], start, chord, last)
        flute_bar(parts["flute"], start, chord, walk, last)
        if bar >= CLIMAX and not last:
            brass_bar(parts["brass"], start, chord)
        drum_bar(parts["drums"], start, bar, fill=bar == CLIMAX - 1, climax=climax, last=last)
    song = mido.MidiFile(type=1, ticks_per_beat=PPQ)
    song.tracks.append(conductor.to_midi())
    for part in parts.values():
        song.tracks.append(part.to_midi())
    return song


def main(argv):
    short = "--short" in argv
    paths = [a for a in argv if a != "--short"]
    if len(paths) != 1:
        sys.exit("usage: make_song.py [--short] OUT.mid")
    build(short).save(paths[0])


if __name__ == "__main__":
    main(sys.argv[1:])
