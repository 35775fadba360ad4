"""What one song run left behind, read back: the trap driver stand-in's
write times (DOVORAV_TIMES), the synthesizer stand-in's arrival times
(WTSYNTH_TIMES), and the driver's summary line in DOVORAV.LOG. Compares what
was written with what arrived, measures each message's delay, and writes the
arrivals as a Standard MIDI File at the times they arrived.
"""
import difflib
import re
from collections import defaultdict

import mido

from smf import unpack

# Ticks of the capture file: 100 us each (one quarter note of 1 s, 10000 ticks).
CAPTURE_TEMPO = 1000000
CAPTURE_PPQ = 10000


class CaptureError(Exception):
    pass


def read_times(path):
    """(counts per second, [(counter, kind, value)]) of a times file."""
    freq, events = None, []
    try:
        with open(path) as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise CaptureError(f"{path}: {e.strerror}") from None
    for line in lines:
        parts = line.split()
        if len(parts) == 2 and parts[0] == "freq":
            freq = int(parts[1])
        elif len(parts) == 3:
            events.append((int(parts[0]), parts[1], int(parts[2], 16)))
    if not freq:
        raise CaptureError(f"{path}: no counter frequency")
    return freq, events


def read_driver_summary(log_path):
    """The numbers of the driver's "song written ..." line."""
    try:
        with open(log_path, errors="replace") as f:
            text = f.read()
    except OSError as e:
        raise CaptureError(f"{log_path}: {e.strerror}") from None
    found = re.findall(r"song written (\d+) instants (\d+) waits (\d+) waited_us (\d+) late_us (\d+)", text)
    if not found:
        why = "abandoned: the ring stayed full" if "song abandoned" in text else "never finished writing the song"
        raise CaptureError(f"the driver {why} ({log_path})")
    keys = ("written", "instants", "waits", "waited_us", "late_us")
    return dict(zip(keys, map(int, found[-1])))


class Comparison:
    """Written against arrived: the pairs that match, and what did not."""

    def __init__(self, written, arrived):
        self.pairs = []      # (written index, arrived index)
        self.lost = []       # written indices that never arrived
        self.extra = []      # arrived indices that match no write
        self.doubled = []    # arrived indices repeating the message just before
        self.reordered = []  # (written index, arrived index) of messages that moved
        if written == arrived:
            self.pairs = [(i, i) for i in range(len(written))]
            return
        matcher = difflib.SequenceMatcher(None, written, arrived, autojunk=False)
        missing, surplus = [], []
        for op, a0, a1, b0, b1 in matcher.get_opcodes():
            if op == "equal":
                self.pairs += [(a0 + k, b0 + k) for k in range(a1 - a0)]
            else:
                missing += range(a0, a1)
                surplus += range(b0, b1)
        # A message missing in one place and surplus in another has moved.
        unmatched = {}
        for a in missing:
            unmatched.setdefault(written[a], []).append(a)
        values = set(written)
        for b in surplus:
            if unmatched.get(arrived[b]):
                self.reordered.append((unmatched[arrived[b]].pop(0), b))
            elif arrived[b] in values:
                self.doubled.append(b)
            else:
                self.extra.append(b)
        self.lost = sorted(a for left in unmatched.values() for a in left)

    @property
    def exact(self):
        return not (self.lost or self.extra or self.doubled or self.reordered)

    def describe(self, written, arrived, limit=5):
        """Lines naming what went wrong, by position and message."""
        lines = []

        def show(kind, indices, values):
            if indices:
                shown = ", ".join(f"#{i} {values[i]:08X}" for i in indices[:limit])
                more = f" and {len(indices) - limit} more" if len(indices) > limit else ""
                lines.append(f"{kind} {len(indices)}: {shown}{more}")

        show("lost (written, never arrived)", self.lost, written)
        show("doubled (arrived again)", self.doubled, arrived)
        show("extra (arrived, never written)", self.extra, arrived)
        if self.reordered:
            shown = ", ".join(f"{written[a]:08X} written #{a} arrived #{b}" for a, b in self.reordered[:limit])
            more = f" and {len(self.reordered) - limit} more" if len(self.reordered) > limit else ""
            lines.append(f"reordered {len(self.reordered)}: {shown}{more}")
        return lines


class Capture:
    def __init__(self, writes_path, arrivals_path, log_path):
        self.freq, writes = read_times(writes_path)
        afreq, arrivals = read_times(arrivals_path)
        if afreq != self.freq:
            raise CaptureError("the stand-ins report different counter frequencies")
        songs = [t for t, kind, _ in writes if kind == "song"]
        if not songs:
            raise CaptureError(f"{writes_path}: the song never began")
        self.origin = songs[-1]
        self.writes = [(t, v) for t, kind, v in writes if kind == "write" and t >= self.origin]
        self.arrivals = [(t, v) for t, kind, v in arrivals if kind == "arrive" and t >= self.origin]
        self.room_waits_us = [v for t, kind, v in writes if kind == "room" and t >= self.origin]
        self.summary = read_driver_summary(log_path)
        self.written = [v for _, v in self.writes]
        self.arrived = [v for _, v in self.arrivals]
        self.comparison = Comparison(self.written, self.arrived)

    def seconds(self, counter):
        return (counter - self.origin) / self.freq

    def delays_us(self):
        """Arrival minus write of each matched message."""
        return [(self.arrivals[b][0] - self.writes[a][0]) * 1e6 / self.freq for a, b in self.comparison.pairs]

    def held_at_end(self):
        """{channel 0-15: notes still sounding after the last arrival}: keyed
        and never released, or released while the sustain pedal stays down."""
        keyed, sustained, pedal = defaultdict(set), defaultdict(set), set()
        for _, value in self.arrivals:
            if unpack(value) is None:
                continue
            kind, channel, d1, d2 = value & 0xF0, value & 0x0F, (value >> 8) & 0x7F, (value >> 16) & 0x7F
            if kind == 0x90 and d2:
                keyed[channel].add(d1)
            elif kind in (0x80, 0x90) and d1 in keyed[channel]:
                keyed[channel].discard(d1)
                if channel in pedal:
                    sustained[channel].add(d1)
            elif kind == 0xB0 and d1 == 64 and d2 >= 64:
                pedal.add(channel)
            elif kind == 0xB0 and d1 in (64, 121):  # pedal up, or reset all controllers
                pedal.discard(channel)
                sustained[channel].clear()
            elif kind == 0xB0 and d1 >= 123:  # all notes off (and the mode changes that imply it)
                if channel in pedal:
                    sustained[channel] |= keyed[channel]
                keyed[channel].clear()
            elif kind == 0xB0 and d1 == 120:  # all sound off
                keyed[channel].clear()
                sustained[channel].clear()
        held = {c: len(keyed[c] | sustained[c]) for c in range(16)}
        return {c: n for c, n in held.items() if n}

    def capture_midi(self, tail_s=None):
        """The arrivals as a format 0 file, at the times they arrived. With
        tail_s, for the renderer, the file also ends whatever still sounds
        (FluidSynth renders for as long as any voice does, and a held organ
        note sounds for ever): at the last arrival the pedals go up and all
        notes off on every channel, so the notes release as they would, and
        tail_s later all sound off on every channel."""
        track = mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=CAPTURE_TEMPO, time=0)])
        now = 0
        for counter, value in self.arrivals:
            message = unpack(value)
            if message is None:
                continue
            tick = max(0, round(self.seconds(counter) * 1e6 * CAPTURE_PPQ / CAPTURE_TEMPO))
            track.append(message.copy(time=tick - now))
            now = tick
        if tail_s is None:
            track.append(mido.MetaMessage("end_of_track", time=CAPTURE_PPQ))
        else:
            tail = round(tail_s * 1e6 * CAPTURE_PPQ / CAPTURE_TEMPO)
            for control, delay in ((64, 0), (66, 0), (123, 0), (120, tail)):
                track += [mido.Message("control_change", channel=c, control=control, value=0,
                                       time=delay if c == 0 else 0) for c in range(16)]
            track.append(mido.MetaMessage("end_of_track", time=0))
        midi = mido.MidiFile(type=0, ticks_per_beat=CAPTURE_PPQ)
        midi.tracks.append(track)
        return midi


def percentiles(values):
    """Median, 99th percentile and maximum: the picks of bench/timer_bench.cpp."""
    v = sorted(values)
    at = lambda q: v[int(q * (len(v) - 1))]
    return at(0.5), at(0.99), v[-1]
