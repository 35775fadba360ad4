"""A Standard MIDI File as the trap driver stand-in plays it: the channel
voice messages packed into 32-bit ring slots (status | data 1 << 8 |
data 2 << 16, the multimedia short-message layout), grouped by the instant
they fall on, in microseconds from the start; everything else (system
exclusive, meta events) is counted and not sent.

Reading is mido's (Debian's python3-mido, under /usr/bin/python3), which
handles running status; the header is checked here first so that a file that
is not a Standard MIDI File gets a plain answer.
"""
import struct
from collections import Counter

import mido

CHANNEL_TYPES = ("note_off", "note_on", "polytouch", "control_change", "program_change", "aftertouch", "pitchwheel")


# The stand-ins keep at most 262144 time records a run (standin_times.h);
# a longer song would lose records and look like lost messages.
MAX_MESSAGES = 250000


class SongError(Exception):
    """The file cannot be played; the text says why."""


class Song:
    def __init__(self, path, form, tracks, instants, skipped):
        self.path = path
        self.format = form
        self.tracks = tracks
        self.instants = instants  # [(microseconds, [packed message, ...])], times ascending
        self.skipped = skipped    # Counter: "system exclusive", "meta", ...

    @property
    def messages(self):
        return [m for _, group in self.instants for m in group]

    @property
    def length_us(self):
        return self.instants[-1][0] if self.instants else 0


def pack(message):
    """The 32-bit ring slot of a channel voice message."""
    data = message.bytes()
    value = 0
    for shift, byte in enumerate(data):
        value |= byte << (8 * shift)
    return value


def unpack(value):
    """The mido message of a ring slot, or None when the slot holds no
    channel voice message."""
    status = value & 0xFF
    if status < 0x80 or status >= 0xF0:
        return None
    data = [status, (value >> 8) & 0xFF, (value >> 16) & 0xFF]
    if data[1] > 0x7F or data[2] > 0x7F:
        return None
    length = 2 if status & 0xF0 in (0xC0, 0xD0) else 3
    return mido.Message.from_bytes(data[:length])


def check_header(path):
    """(format, tracks, division) from the header chunk, or SongError."""
    try:
        with open(path, "rb") as f:
            head = f.read(14)
    except OSError as e:
        raise SongError(f"{path}: cannot be read ({e.strerror})") from None
    if len(head) < 14 or head[:4] != b"MThd":
        raise SongError(f"{path}: not a Standard MIDI File (it does not begin with an \"MThd\" header)")
    length, form, tracks, division = struct.unpack(">IHHH", head[4:])
    if length < 6:
        raise SongError(f"{path}: not a Standard MIDI File (header chunk of {length} bytes)")
    if form not in (0, 1):
        raise SongError(f"{path}: a format {form} MIDI file; formats 0 and 1 can be played")
    if division & 0x8000:
        raise SongError(f"{path}: time in SMPTE frames is not supported, only ticks per quarter note")
    if division == 0:
        raise SongError(f"{path}: zero ticks per quarter note")
    return form, tracks, division


def read_song(path):
    form, _, division = check_header(path)
    try:
        midi = mido.MidiFile(path, clip=False)
    except (OSError, EOFError, ValueError, KeyError, IndexError) as e:
        raise SongError(f"{path}: not a readable Standard MIDI File ({e})") from None
    # Tracks are merged by absolute tick, in track order within a tick. Times
    # are exact: the sum of ticks x tempo, divided once per event.
    events = []
    for number, track in enumerate(midi.tracks):
        tick = 0
        for seq, message in enumerate(track):
            tick += message.time
            events.append((tick, number, seq, message))
    events.sort(key=lambda e: e[:3])
    tempo = 500000
    elapsed = 0  # in tick x microseconds-per-quarter units
    last_tick = 0
    instants = []
    skipped = Counter()
    for tick, _, _, message in events:
        elapsed += (tick - last_tick) * tempo
        last_tick = tick
        if message.is_meta:
            skipped["meta"] += 1
            if message.type == "set_tempo":
                tempo = message.tempo
            continue
        if message.type not in CHANNEL_TYPES:
            skipped["system exclusive" if message.type == "sysex" else "system"] += 1
            continue
        us = elapsed // division
        if instants and instants[-1][0] == us:
            instants[-1][1].append(pack(message))
        else:
            instants.append((us, [pack(message)]))
    if not instants:
        raise SongError(f"{path}: holds no channel messages to play")
    count = sum(len(group) for _, group in instants)
    if count > MAX_MESSAGES:
        raise SongError(f"{path}: {count} channel messages; a run records at most {MAX_MESSAGES}")
    return Song(path, form, len(midi.tracks), instants, skipped)


def driver_script(song, drain_ms=2000):
    """The trap driver stand-in's script: start, the song in real time, a
    pause for the ring to drain, stop, exit 77."""
    lines = ["start", "sync", "song"]
    for us, group in song.instants:
        lines.append(f"at {us} " + " ".join(f"{m:08X}" for m in group))
    lines += ["song end", f"wait {drain_ms}", "stop", "sync", "wait 200", "exit 77"]
    return "\n".join(lines) + "\n"


def describe_skipped(skipped):
    if not skipped:
        return "none"
    return ", ".join(f"{n} {kind}" for kind, n in sorted(skipped.items()))
