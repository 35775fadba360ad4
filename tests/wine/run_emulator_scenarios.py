#!/usr/bin/python3
"""Runs the emulator scenarios under Wine with the real Windows build.

    run_emulator_scenarios.py WIN32_BUILD_DIR [SCENARIO...]

SCENARIO is a file of tests/wine/emulator_scenarios/ or its name without
".scn"; the format is described in that folder's README.md. Each scenario
gets a folder C:\\qtmpu\\NAME in one prefix (a copy of the prepared template,
wineprefix.py) holding Qtmpu.exe, the stand-ins of tests/wine/standins/emulator
(WTSYNTH.DLL, DOVORAV.VXD, the winmm proxy) and their logs, and the UI robot,
which starts the program, answers its message boxes and writes down what it
saw. The trap driver stand-in is set up through DOVORAV_ANSWER and
DOVORAV_SCRIPT (see dovorav.cpp). Wine runs as an ordinary user.

Prints one line per scenario ("PASS name: title", "FAIL name: why" or
"GAP name: reason", known_gaps.py), then "K known gaps" and the closing line
"N passed, M failed". Exits non-zero when any scenario fails.

Environment: QT_SONG names the MIDI file a `song` scenario plays instead of
its own, QT_SONG_OUT the folder for its WAV, PNG and received MIDI file
(default WIN32_BUILD_DIR/song); QT_KEEP_SCENARIOS=1 keeps the scenario
folders for a look afterwards; QT_WINE_TIME_SCALE multiplies every deadline (default 1, or 2
where 32-bit programs run through the i386 user-mode emulator).
"""
import contextlib
import os
import re
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import known_gaps  # noqa: E402
import wineprefix  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "emulator_scenarios")
REAL_WINMM = "/usr/lib/i386-linux-gnu/wine/i386-windows/winmm.dll"
LIBRARIES = ("WTSYNTH.DLL", "WTSYNTH_NOLOADDLS.DLL")
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SONG_PY = [sys.executable, os.path.join(HERE, "song", "song.py")]
MAKE_SONG = [sys.executable, os.path.join(HERE, "song", "make_song.py")]


class Scenario:
    """One scenario, read and checked for form before anything runs: the
    file PATH, or LINES (without their line ends) under that file's name."""

    def __init__(self, path, lines=None):
        self.name = os.path.basename(path)[:-4]
        self.title = ""
        self.version = "win98"
        self.library = "WTSYNTH.DLL"
        self.mixer = None          # the proxy's card mixer, "NAME=ID"
        self.answer = None         # DOVORAV_ANSWER
        self.driver = []           # the trap driver's script lines
        self.deadline_ms, self.limit_s = 60000, 120
        self.script = []           # the robot's script
        self.transcript = []       # what the robot must write down
        self.synth = []            # the synthesizer's calls, all of them, in order
        self.device_absent = False
        self.device_counts = []    # (count, pattern) over the trap driver's log
        self.idle_percent = None
        self.off_main_thread = False
        self.gap = ""
        self.song = None           # "short" or a MIDI file below the checkout
        self.times = False         # the stand-ins write counter times
        self.has_deadline = False
        self.folder = None         # where it ran (the host side of C:\qtmpu\NAME)
        self.idle = None           # (processor ticks, ticks a second) of the idle measurement
        if lines is None:
            with open(path, encoding="latin-1") as f:
                lines = [text.rstrip("\r\n") for text in f]
        for number, text in enumerate(lines, 1):
            if text and not text.startswith("#"):
                self._take(text.split("\t"), number)

    def _take(self, f, number):
        verb, n = f[0], len(f)
        gap = known_gaps.gap_of(f)
        if gap is not None:
            self.gap = gap or self.gap
        elif verb == "title" and n == 2:
            self.title = f[1]
        elif verb == "version" and n == 2 and f[1] in ("win95", "win98", "winme", "nt40"):
            self.version = f[1]
        elif verb == "library" and n == 2 and (f[1] in LIBRARIES or f[1] == "-"):
            self.library = f[1]
        elif verb == "mixer" and n == 2 and "=" in f[1]:
            self.mixer = f[1]
        elif verb == "answer" and n == 2:
            self.answer = f[1]
        elif verb == "driver" and n == 2:
            self.driver.append(f[1])
        elif verb == "instant" and n == 4 and f[1].isdigit() and f[3].isdigit():
            first = int(f[2], 16)
            self.driver.append("at %s %s" % (f[1], " ".join("%08X" % (first + i) for i in range(int(f[3])))))
        elif verb == "song" and n == 2:
            self.song = f[1]
        elif verb == "times" and n == 1:
            self.times = True
        elif verb == "deadline" and n == 3 and f[1].isdigit() and f[2].isdigit():
            self.deadline_ms, self.limit_s = int(f[1]), int(f[2])
            self.has_deadline = True
        elif verb == "box" and n == 5:
            self.script.append("box\t" + f[4])
            self.transcript.append(text_of(f))
        elif verb == "exit" and n == 2 or verb == "timeout" and n == 1:
            self.transcript.append(text_of(f))
        elif verb == "synth" and n == 2:
            self.synth.append(f[1])
        elif verb == "messages" and n == 3 and f[2].isdigit():
            first = int(f[1], 16)
            self.synth += ["MidiMessage %08X" % (first + i) for i in range(int(f[2]))]
        elif verb == "device" and f[1:] == ["absent"]:
            self.device_absent = True
        elif verb == "device" and n == 3 and f[1].isdigit():
            self.device_counts.append((int(f[1]), re.compile(f[2])))
        elif verb == "idle" and n == 2 and f[1].isdigit():
            self.idle_percent = int(f[1])
        elif verb == "played" and f[1:] == ["off-main-thread"]:
            self.off_main_thread = True
        else:
            raise ValueError("%s.scn:%d: line not understood: %s" % (self.name, number, text_of(f)))


def text_of(fields):
    return "\t".join(fields)


def calls(folder, log):
    """A stand-in's log without its time and thread columns; None when the
    log does not exist."""
    path = os.path.join(folder, log)
    if not os.path.exists(path):
        return None
    with open(path, encoding="latin-1") as f:
        return [" ".join(line.split(" ")[2:]).rstrip("\r\n") for line in f if line.strip()]


def played_on_main_thread(folder):
    """Whether a message reached the synthesizer on the thread that started
    the playback (the program's main thread) instead of the timer's."""
    main, bad = None, False
    with open(os.path.join(folder, "WTSYNTH.LOG"), encoding="latin-1") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 3 and parts[2] == "StartMidi":
                main = parts[1]
            elif len(parts) >= 3 and parts[2] == "MidiMessage" and parts[1] == main:
                bad = True
    return bad


class Runner:
    def __init__(self, build, prefix, scale):
        self.build = build
        self.prefix = prefix
        self.scale = scale
        self.idle_seconds = 10     # the window of an `idle` measurement
        self.song_out = os.environ.get("QT_SONG_OUT") or os.path.join(build, "song")
        self.qtmpu = os.path.join(build, "emulator", "Qtmpu.exe")
        self.standins = os.path.join(build, "tests", "wine", "standins", "emulator")
        self.robot = os.path.join(build, "tests", "wine", "robot", "robot.exe")

    def missing(self):
        files = [self.qtmpu, self.robot, REAL_WINMM] + [
            os.path.join(self.standins, n) for n in LIBRARIES + ("DOVORAV.VXD", "winmm.dll")]
        return [f for f in files if not os.path.isfile(f)]

    def lay_out(self, s):
        """The scenario's folder C:\\qtmpu\\NAME with the program and the stand-ins."""
        folder = "qtmpu/" + s.name
        files = [self.qtmpu, self.robot, os.path.join(self.standins, "DOVORAV.VXD")]
        if s.mixer:
            files.append(os.path.join(self.standins, "winmm.dll"))
        target = self.prefix.install_programs(files, folder)
        if s.library != "-":
            shutil.copy2(os.path.join(self.standins, s.library), os.path.join(target, "WTSYNTH.DLL"))
        if s.mixer:
            # The proxy hands the timer calls to Wine's own library under this name.
            shutil.copy2(REAL_WINMM, os.path.join(target, "wmmreal.dll"))
        env = {}
        windows = "C:\\qtmpu\\" + s.name
        if s.answer is not None:
            env["DOVORAV_ANSWER"] = s.answer
        if s.song:
            self.lay_out_song(s, target)
            env["DOVORAV_SCRIPT"] = windows + "\\driver.txt"
        elif s.driver:
            with open(os.path.join(target, "driver.txt"), "w", encoding="latin-1", newline="\r\n") as f:
                f.write("".join(line + "\n" for line in s.driver))
            env["DOVORAV_SCRIPT"] = windows + "\\driver.txt"
        if s.song or s.times:
            env.update(DOVORAV_TIMES=windows + "\\writes.txt", WTSYNTH_TIMES=windows + "\\arrivals.txt")
        if s.mixer:
            env.update(CARD_MIXERS=s.mixer, WINEDLLOVERRIDES="winmm=n")
            if s.times:
                env["PROXY_TIMES"] = windows + "\\ticks.txt"
        return folder, target, env

    def song_file(self, s, target):
        """The MIDI file a song scenario plays: QT_SONG, else its own."""
        if os.environ.get("QT_SONG"):
            return os.environ["QT_SONG"]
        if s.song == "short":
            path = os.path.join(target, "short_song.mid")
            subprocess.run(MAKE_SONG + ["--short", path], check=True, stdout=subprocess.DEVNULL)
            return path
        return os.path.join(ROOT, s.song)

    def lay_out_song(self, s, target):
        """The trap driver's script for the song, written before the run (it
        plays the song into the ring in real time), and deadlines that fit
        the song's length unless the scenario sets its own."""
        s.song_path = self.song_file(s, target)
        done = subprocess.run(SONG_PY + ["script", s.song_path, os.path.join(target, "driver.txt")],
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise SongRefused(done.stderr.strip() or done.stdout.strip())
        last_us = 0
        with open(os.path.join(target, "driver.txt"), encoding="latin-1") as f:
            for line in f:
                if line.startswith("at "):
                    last_us = int(line.split()[1])
        if not s.has_deadline:
            seconds = last_us // 1000000 + 1
            s.deadline_ms, s.limit_s = (seconds + 60) * 1000, seconds + 120

    def run(self, s):
        """Runs one scenario; returns (agrees, why not)."""
        try:
            return self.run_laid_out(s)
        except SongRefused as e:
            return False, "the song cannot be played: %s" % e

    def run_laid_out(self, s):
        folder, target, env = self.lay_out(s)
        s.folder = target
        self.prefix.set_version("Qtmpu.exe", s.version)
        program = "C:\\qtmpu\\%s\\Qtmpu.exe" % s.name
        seen = []
        robot = threading.Thread(target=lambda: seen.extend(self.prefix.run_robot(
            s.script, program, s.deadline_ms * self.scale, folder, env=env, timeout=s.limit_s * self.scale)))
        robot.start()
        s.idle = self.measure_idle(target, robot) if s.idle_percent is not None else None
        robot.join()
        return self.check(s, target, seen)

    def measure_idle(self, target, robot):
        """Processor ticks of the waiting program over idle_seconds, once it
        has registered with the driver: (ticks, ticks per second), or None."""
        pid = None
        for _ in range(600 * self.scale):
            if not robot.is_alive():
                return None
            if any(c.startswith("answered 5") for c in calls(target, "DOVORAV.LOG") or []):
                pid = self.program_pid()
                if pid:
                    break
            time.sleep(0.1)
        if pid is None:
            return None
        time.sleep(3)  # let start-up finish
        before = cpu_ticks(pid)
        time.sleep(self.idle_seconds)
        after = cpu_ticks(pid)
        if before is None or after is None:
            return None
        return after - before, os.sysconf("SC_CLK_TCK")

    def program_pid(self):
        """The Windows process of Qtmpu.exe of this prefix (not the launcher
        or the robot, whose command lines name it too)."""
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/comm" % entry) as f:
                    if f.read().strip() != "Qtmpu.exe":
                        continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if ("WINEPREFIX=" + self.prefix.path).encode() in f.read().split(b"\0"):
                        return int(entry)
            except OSError:
                continue
        return None

    def check_song(self, s, target):
        """The song's report: what was written against what arrived, the
        sound and the picture (song.py report)."""
        done = subprocess.run(SONG_PY + ["report", s.song_path, target, self.song_out], capture_output=True, text=True)
        report = done.stdout + done.stderr
        print("".join("     " + line + "\n" for line in report.splitlines()), end="")
        rms = re.search(r"sound: .*RMS ([0-9.]+)\)", report)
        if done.returncode != 0:
            return False, "the playback report found faults (above)"
        if "each once and in order" not in report:
            return False, "the report does not say every message arrived once and in order"
        if s.song == "short" and not os.environ.get("QT_SONG") and not re.search(
                r"skipped \(not short messages\): .*1 system exclusive", report):
            return False, "the test song's system-exclusive message was not counted as skipped"
        if rms is None or float(rms.group(1)) <= 0:
            return False, "the WAV is missing or silent"
        return True, ""

    def check(self, s, target, seen):
        if seen != s.transcript:
            return False, "robot saw %s, expected %s" % (" | ".join(seen), " | ".join(s.transcript))
        if s.song:
            return self.check_song(s, target)
        synth = calls(target, "WTSYNTH.LOG") or []
        if synth != s.synth:
            return False, "synthesizer got %d calls, expected %d; first lines: %s" % (
                len(synth), len(s.synth), " | ".join(synth[:5]))
        device = calls(target, "DOVORAV.LOG")
        if s.device_absent and device is not None:
            return False, "the device module was loaded: %s" % " | ".join(device)
        for count, pattern in s.device_counts:
            matching = [c for c in device or [] if pattern.fullmatch(c)]
            if len(matching) != count:
                return False, "%d device log lines match '%s', expected %d: %s" % (
                    len(matching), pattern.pattern, count, " | ".join(device or ["(no log)"]))
        if s.off_main_thread and played_on_main_thread(target):
            return False, "messages were played on the main thread"
        if s.idle_percent is not None:
            if s.idle is None:
                return False, "the program never registered, or its processor time could not be read"
            ticks, hz = s.idle
            window = self.idle_seconds
            print("     idle Qtmpu.exe used %d of %d processor ticks in %d s" % (ticks, hz * window, window))
            # More than that share of a processor while waiting is a busy loop, not a sleep.
            if ticks > hz * window * s.idle_percent / 100:
                return False, "used %d ticks of processor time in %d s of waiting" % (ticks, window)
        return True, ""


class SongRefused(Exception):
    """The song could not be turned into the driver's script."""


def cpu_ticks(pid):
    """User and system clock ticks of a process, from /proc."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return None


def scenario_paths(args):
    if not args:
        return sorted(os.path.join(SCENARIOS, n) for n in os.listdir(SCENARIOS) if n.endswith(".scn"))
    return [a if a.endswith(".scn") else os.path.join(SCENARIOS, a + ".scn") for a in args]


@contextlib.contextmanager
def prepared(runner):
    """Gives RUNNER a fresh copy of the prepared prefix (wineprefix.py) and a
    display for the block; the copy is removed afterwards unless
    QT_KEEP_SCENARIOS=1."""
    work = wineprefix.work_folder("emulator")
    try:
        runner.prefix = wineprefix.Prefix.copy_of(wineprefix.template(), os.path.join(work, "prefix"))
        with wineprefix.Display():
            yield runner
    finally:
        if os.environ.get("QT_KEEP_SCENARIOS") == "1":
            print("the scenario folders are kept in %s" % os.path.join(work, "prefix", "drive_c", "qtmpu"))
        else:
            shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) < 2 or not os.path.isdir(sys.argv[1]):
        print(__doc__)
        return 2
    scenarios = [Scenario(p) for p in scenario_paths(sys.argv[2:])]
    runner = Runner(os.path.abspath(sys.argv[1]), None, wineprefix.time_scale())
    if runner.missing():
        print("missing %s: build the win32 preset first" % ", ".join(runner.missing()))
        return 2
    tally = known_gaps.Tally()
    with prepared(runner):
        for s in scenarios:
            agrees, why = runner.run(s)
            tally.record(s.name, agrees, s.gap, s.title if agrees else why)
    print("\n".join(tally.closing_lines()))
    return 0 if tally.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
