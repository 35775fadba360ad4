"""Tests of the song pipeline's Linux side: reading Standard MIDI Files into
the driver's instants, comparing what was written with what arrived, the
capture file, and the bundled song's own make-up. Run with
/usr/bin/python3 -m unittest discover -s tests/wine/song."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import mido  # noqa: E402

from capture import Capture, CaptureError, Comparison  # noqa: E402
from smf import SongError, driver_script, pack, read_song, unpack  # noqa: E402
from song import SOUNDFONT, render  # noqa: E402

CAN_RENDER = shutil.which("fluidsynth") is not None and os.path.exists(SOUNDFONT)


def smf(form, division, *tracks):
    """A file from raw track bodies, as a sequencer would write them."""
    data = b"MThd" + struct.pack(">IHHH", 6, form, len(tracks), division)
    for body in tracks:
        data += b"MTrk" + struct.pack(">I", len(body)) + body
    return data


def tempo(us):
    return b"\xff\x51\x03" + us.to_bytes(3, "big")


END = b"\x00\xff\x2f\x00"

# Format 0, 96 ticks a quarter: running status for notes, controllers and
# programs, a tempo change half way, a system-exclusive message at the end.
FORMAT0 = smf(0, 96, b"".join([
    b"\x00" + tempo(500000),
    b"\x00\x90\x3c\x64", b"\x00\x40\x64",   # two notes on, the second in running status
    b"\x60\x3c\x00",                         # 96 ticks: note off as velocity 0, running status
    b"\x00" + tempo(1000000),
    b"\x60\x40\x00",                         # 96 ticks at the new tempo
    b"\x00\xe0\x00\x40",                     # pitch wheel centre
    b"\x30\xb0\x07\x64", b"\x00\x07\x50",    # 48 ticks: two volume changes, running status
    b"\x00\xc0\x05", b"\x00\x06",            # programs, running status
    b"\x00\xd0\x22", b"\x00\xa0\x3c\x10",    # channel and polyphonic pressure
    b"\x00\xf0\x03\x7e\x7f\xf7",             # system exclusive
]) + END)

# Format 1, 480 ticks a quarter: the tempo map in the first track, notes and
# controllers in two others, one instant shared between tracks.
FORMAT1 = smf(
    1, 480,
    b"\x00" + tempo(600000) + b"\x83\x60" + tempo(300000) + END,               # tempo halves at tick 480
    b"\x00\x91\x30\x50" + b"\x83\x60\x81\x30\x40" + b"\x87\x40\x91\x32\x50" + END,  # ticks 0, 480, 1440
    b"\x00\xff\x01\x02hi" + b"\x83\x60\xb2\x0a\x20" + b"\x81\x70\xe2\x7f\x7f" + END,  # ticks 480, 720
)


class Fixture:
    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()

    def write(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path


class ReadingTest(unittest.TestCase):
    def setUp(self):
        self.files = Fixture()

    def tearDown(self):
        self.files.dir.cleanup()

    def test_format0_running_status_and_tempo_change(self):
        song = read_song(self.files.write("f0.mid", FORMAT0))
        self.assertEqual(song.format, 0)
        self.assertEqual(song.instants, [
            (0, [0x643C90, 0x644090]),
            (500000, [0x003C90]),
            (1500000, [0x004090, 0x4000E0]),
            (2000000, [0x6407B0, 0x5007B0, 0x05C0, 0x06C0, 0x22D0, 0x103CA0]),
        ])
        self.assertEqual(dict(song.skipped), {"meta": 3, "system exclusive": 1})

    def test_format1_tracks_merge_on_one_tempo_map(self):
        song = read_song(self.files.write("f1.mid", FORMAT1))
        self.assertEqual(song.tracks, 3)
        # 480 ticks at 0.6 s a quarter, then 240 and 960 ticks at 0.3 s.
        self.assertEqual(song.instants, [
            (0, [0x503091]),
            (600000, [0x403081, 0x200AB2]),
            (750000, [0x7F7FE2]),
            (1200000, [0x503291]),
        ])
        self.assertEqual(dict(song.skipped), {"meta": 6})

    def test_bad_files_get_a_reason(self):
        cases = [
            ("text.mid", b"MIDI? no, just text\n", "does not begin"),
            ("empty.mid", b"", "does not begin"),
            ("format2.mid", smf(2, 96, END), "format 2"),
            ("smpte.mid", smf(0, 0xE728, END), "SMPTE"),
            ("cut.mid", smf(0, 96, b"\x00\x90\x3c\x64" + END)[:-6], "not a readable"),
            ("silent.mid", smf(0, 96, b"\x00" + tempo(500000) + END), "no channel messages"),
            ("data.mid", smf(0, 96, b"\x00\x90\x3c\xe4" + END), "not a readable"),
            ("huge.mid", smf(0, 96, b"\x00\x90\x3c\x64" + b"\x00\x3c\x64" * 250000 + END), "at most"),
        ]
        for name, data, reason in cases:
            with self.subTest(name):
                with self.assertRaises(SongError) as raised:
                    read_song(self.files.write(name, data))
                self.assertIn(reason, str(raised.exception))
        with self.assertRaises(SongError):
            read_song(os.path.join(self.files.dir.name, "absent.mid"))

    def test_check_command_refuses_a_file_that_is_not_midi(self):
        path = self.files.write("notes.txt", "C D E F G\n")
        done = subprocess.run([sys.executable, os.path.join(HERE, "song.py"), "check", path],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 2)
        self.assertIn("not a Standard MIDI File", done.stderr)


class PackingTest(unittest.TestCase):
    def test_every_channel_message_round_trips_through_a_slot(self):
        messages = [
            mido.Message("note_on", channel=9, note=36, velocity=127),
            mido.Message("note_off", channel=0, note=127, velocity=0),
            mido.Message("polytouch", channel=2, note=60, value=90),
            mido.Message("control_change", channel=15, control=121, value=0),
            mido.Message("program_change", channel=3, program=73),
            mido.Message("aftertouch", channel=3, value=70),
            mido.Message("pitchwheel", channel=1, pitch=-8192),
            mido.Message("pitchwheel", channel=1, pitch=8191),
        ]
        for message in messages:
            with self.subTest(str(message)):
                self.assertEqual(unpack(pack(message)), message)
        self.assertEqual(pack(messages[0]), 0x7F2499)
        self.assertEqual(pack(messages[6]), 0x0000E1)

    def test_slots_that_hold_no_channel_message(self):
        for value in (0x11111111, 0x00000000, 0x000000F0, 0x00008090, 0x00800090):
            with self.subTest(f"{value:08X}"):
                self.assertIsNone(unpack(value))

    def test_driver_script_plays_the_instants_then_stops(self):
        class Two:
            instants = [(0, [0x643C90, 0x644090]), (500000, [0x003C90])]
        lines = driver_script(Two()).splitlines()
        self.assertEqual(lines[:3], ["start", "sync", "song"])
        self.assertEqual(lines[3:5], ["at 0 00643C90 00644090", "at 500000 00003C90"])
        # The ring drains before the stop; the exit code tells the runner the script ran to its end.
        self.assertEqual(lines[5:], ["song end", "wait 2000", "stop", "sync", "wait 200", "exit 77"])


class ComparisonTest(unittest.TestCase):
    WRITTEN = [0x10, 0x11, 0x12, 0x13, 0x14, 0x15]

    def test_exact(self):
        c = Comparison(self.WRITTEN, list(self.WRITTEN))
        self.assertTrue(c.exact)
        self.assertEqual(len(c.pairs), 6)

    def test_each_fault_is_named_by_position(self):
        # Which of two equal neighbours counts as the double, and which of
        # two swapped messages as the one that moved, is the matcher's pick.
        cases = [
            ([0x10, 0x11, 0x13, 0x14, 0x15], "lost", lambda c: c.lost == [2]),
            ([0x10, 0x11, 0x12, 0x12, 0x13, 0x14, 0x15], "doubled", lambda c: c.doubled in ([2], [3])),
            ([0x10, 0x11, 0x13, 0x12, 0x14, 0x15], "reordered", lambda c: c.reordered in ([(2, 3)], [(3, 2)])),
            ([0x10, 0x11, 0x12, 0x99, 0x13, 0x14, 0x15], "extra", lambda c: c.extra == [3]),
        ]
        for arrived, kind, right in cases:
            with self.subTest(kind):
                c = Comparison(self.WRITTEN, arrived)
                self.assertFalse(c.exact)
                self.assertTrue(right(c), getattr(c, kind))
                text = " ".join(c.describe(self.WRITTEN, arrived))
                self.assertIn(kind, text)
                for other in {"lost", "doubled", "reordered", "extra"} - {kind}:
                    self.assertEqual(getattr(c, other), [], other)
                self.assertEqual(len(c.pairs) + len(c.lost) + len(c.reordered), len(self.WRITTEN))


def run_record(directory, writes, arrivals, summary="song written 3 instants 2 waits 1 waited_us 1500 late_us 20"):
    freq = 1000000
    with open(os.path.join(directory, "writes.txt"), "w") as f:
        f.write(f"freq {freq}\n" + "".join(f"{t} {k} {v:08X}\n" for t, k, v in writes))
    with open(os.path.join(directory, "arrivals.txt"), "w") as f:
        f.write(f"freq {freq}\n" + "".join(f"{t} arrive {v:08X}\n" for t, v in arrivals))
    with open(os.path.join(directory, "DOVORAV.LOG"), "w") as f:
        f.write(f"1 2 song begins\n3 4 {summary}\n")


class CaptureTest(unittest.TestCase):
    WRITES = [(5000000, "song", 0), (5000010, "write", 0x643C90), (5000012, "write", 0x644090),
              (5400000, "room", 1500), (5500000, "write", 0x003C90)]

    def setUp(self):
        self.files = Fixture()
        self.dir = self.files.dir.name

    def tearDown(self):
        self.files.dir.cleanup()

    def test_delays_summary_and_the_capture_file(self):
        run_record(self.dir, self.WRITES, [(5004000, 0x643C90), (5004001, 0x644090), (6500000, 0x003C90)])
        capture = Capture(*(os.path.join(self.dir, n) for n in ("writes.txt", "arrivals.txt", "DOVORAV.LOG")))
        self.assertTrue(capture.comparison.exact)
        self.assertEqual([round(d) for d in capture.delays_us()], [3990, 3989, 1000000])
        self.assertEqual(capture.room_waits_us, [1500])
        self.assertEqual(capture.summary["waits"], 1)
        track = capture.capture_midi().tracks[0]
        ticks, now = [], 0
        for message in track:
            now += message.time
            if not message.is_meta:
                ticks.append((now, message.type, message.velocity))
        # 100 us a tick from the song's time 0: 4.0 ms and 1.5 s.
        self.assertEqual(ticks, [(40, "note_on", 100), (40, "note_on", 100), (15000, "note_on", 0)])

    def test_a_run_that_never_finished_the_song(self):
        run_record(self.dir, self.WRITES, [], summary="song abandoned: the ring stayed full for 10 s")
        with self.assertRaises(CaptureError) as raised:
            Capture(*(os.path.join(self.dir, n) for n in ("writes.txt", "arrivals.txt", "DOVORAV.LOG")))
        self.assertIn("abandoned", str(raised.exception))

    def test_report_fails_and_names_a_lost_message(self):
        song = self.files.write("two.mid", smf(0, 96, b"\x00\x90\x3c\x64\x00\x40\x64\x60\x3c\x00" + END))
        # The song's 0.5 s: 96 ticks at the default tempo.
        writes = [(5000000, "song", 0), (5000010, "write", 0x643C90), (5000012, "write", 0x644090),
                  (5500000, "write", 0x003C90)]
        run_record(self.dir, writes, [(5004000, 0x643C90), (5504000, 0x003C90)])
        out = os.path.join(self.dir, "out")
        done = subprocess.run([sys.executable, os.path.join(HERE, "song.py"), "report", song, self.dir, out],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
        self.assertIn("lost (written, never arrived) 1: #1 00644090", done.stdout)
        self.assertTrue(os.path.getsize(os.path.join(out, "two.png")) > 0)


    def test_notes_held_at_the_end(self):
        # Arrivals, a millisecond apart, and the notes still sounding after them, by channel.
        cases = [
            ("all released", [0x643C90, 0x644090, 0x003C90, 0x404080], {}),
            ("never released", [0x643C90, 0x644090, 0x003C90, 0x643093], {0: 1, 3: 1}),
            ("released under the pedal", [0x7F40B0, 0x643C90, 0x003C90], {0: 1}),
            ("pedal up", [0x7F40B0, 0x643C90, 0x003C90, 0x0040B0], {}),
            ("all notes off", [0x643C90, 0x644090, 0x007BB0], {}),
            ("all sound off under the pedal", [0x7F40B0, 0x643C90, 0x0078B0], {}),
        ]
        for name, arrived, held in cases:
            with self.subTest(name):
                writes = [(5000000, "song", 0)] + [(5000000 + 1000 * i, "write", v) for i, v in enumerate(arrived)]
                run_record(self.dir, writes, [(5000500 + 1000 * i, v) for i, v in enumerate(arrived)])
                capture = Capture(*(os.path.join(self.dir, n) for n in ("writes.txt", "arrivals.txt", "DOVORAV.LOG")))
                self.assertEqual(capture.held_at_end(), held)

    @unittest.skipUnless(CAN_RENDER, "fluidsynth and the TimGM6mb soundfont are needed to render")
    def test_a_note_never_released_ends_a_few_seconds_after_the_song(self):
        # An organ (program 19) holds middle C for ever; a note on channel 4
        # comes and goes. Unended, FluidSynth would render the organ without end.
        song = self.files.write("held.mid", smf(0, 96, b"\x00\xc0\x13\x00\x90\x3c\x64"
                                                + b"\x60\x93\x40\x64\x60\x40\x00" + END))
        messages = [(5000000, 0x13C0), (5000000, 0x643C90), (5500000, 0x644093), (6000000, 0x004093)]
        run_record(self.dir, [(5000000, "song", 0)] + [(t, "write", v) for t, v in messages],
                   [(t + 4000, v) for t, v in messages])
        out = os.path.join(self.dir, "out")
        done = subprocess.run([sys.executable, os.path.join(HERE, "song.py"), "report", song, self.dir, out],
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("notes held at the end: 1 (channel 1: 1)", done.stdout)
        # The last arrival at 1.004 s and the 1.5 s tail.
        with wave.open(os.path.join(out, "held.wav")) as w:
            self.assertAlmostEqual(w.getnframes() / w.getframerate(), 2.504, places=2)
        # The bound behind the ending: the received file, which does not end
        # the organ, is stopped a few seconds of sound past the time asked for.
        wav = os.path.join(self.dir, "unended.wav")
        problem = render(os.path.join(out, "held-received.mid"), wav, 1)
        self.assertIn("fluidsynth was stopped: it went on past 11 s of sound", problem or "")
        self.assertFalse(os.path.exists(wav))


class BundledSongTest(unittest.TestCase):
    def test_the_song_is_what_the_player_needs(self):
        with tempfile.TemporaryDirectory() as d:
            for short, low, high in ((False, 20, 40), (True, 2, 8)):
                path = os.path.join(d, f"song{short}.mid")
                subprocess.run([sys.executable, os.path.join(HERE, "make_song.py")]
                               + (["--short"] if short else []) + [path], check=True)
                with self.subTest(short=short):
                    song = read_song(path)
                    messages = song.messages
                    self.assertTrue(low <= song.length_us / 1e6 <= high, song.length_us)
                    channels = {m & 0x0F for m in messages}
                    self.assertIn(9, channels)  # drums on channel 10
                    self.assertGreaterEqual(len(channels), 5)
                    self.assertTrue(any(len(group) > 64 for _, group in song.instants))
                    kinds = {m & 0xF0 for m in messages}
                    self.assertTrue({0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0} <= kinds, kinds)
                    tempi = [m for m in mido.MidiFile(path).tracks[0] if m.type == "set_tempo"]
                    self.assertGreater(len(tempi), 1)
                    self.assertEqual(song.skipped["system exclusive"], 1)


if __name__ == "__main__":
    unittest.main()
