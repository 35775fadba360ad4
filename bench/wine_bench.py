#!/usr/bin/python3
"""The emulator's timing under Wine, with the Windows build and the stand-ins
of tests/wine/standins/emulator, printed as rows of the table of
scripts/benchmarks.sh. Three runs of the real Qtmpu.exe in one copy of the
prepared prefix, set to Windows 98, through the emulator scenario runner
(tests/wine/run_emulator_scenarios.py), each checked as a scenario is:

  - paced playback: the trap driver stand-in writes one message every 3.7 ms
    (script line "pace") for PLAY seconds between a start and a stop, with a
    free card mixer (the proxy winmm.dll); the synthesizer must get every
    message once and in order. Two rows:
      tick lateness: the proxy wraps the 10 ms timer's callback and reads
        QueryPerformanceCounter as each tick begins (ticks.txt); tick n is
        due n x 10 ms after the moment the timer was created;
      ring to synth: the driver reads the counter just before each store
        (writes.txt), the synthesizer as each message arrives
        (arrivals.txt); same process, same counter;
  - idle: the scenario idle.scn (a driver that never queues a call), its
    processor time from /proc/<pid>/stat over IDLE seconds;
  - song: the scenario song.scn with the bundled song (the short test song
    with --quick); its report leaves the row.

    wine_bench.py WIN32_BUILD_DIR [--quick]

--quick: 2 s of playback, 2 s of idle and the 5 s song instead of 10 s,
30 s and the 30 s song. A run that fails its check prints why, and its rows
are missing. Needs Wine with the prepared prefix template
(tests/wine/wineprefix.py). Under the i386 user-mode emulator every figure
includes the emulator.
"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_TESTS = os.path.join(HERE, "..", "tests", "wine")
sys.path.insert(0, WINE_TESTS)
import run_emulator_scenarios as scenarios  # noqa: E402
import wineprefix  # noqa: E402

STEP_US = 3700  # between paced writes


def say(text):
    print("wine_bench: " + text, file=sys.stderr, flush=True)


def paced_scenario(play_s):
    count = play_s * 1000000 // STEP_US
    return scenarios.Scenario("paced.scn", [
        "version\twin98", "library\tWTSYNTH.DLL", "mixer\tQ-Tonal Audio Mixer=292", "times",
        "deadline\t%d\t%d" % ((play_s + 60) * 1000, play_s + 120),
        "driver\tstart", "driver\tsync", "driver\tpace %d 00400000 %d" % (count, STEP_US), "driver\twait 500",
        "driver\tstop", "driver\tsync", "driver\twait 200", "driver\texit 77",
        "exit\t77",
        "synth\tLoadDls", "synth\tStartMidi", "messages\t00400000\t%d" % count, "synth\tStopMidi",
        "played\toff-main-thread"])


def events(folder, name):
    """(frequency, [(counter, kind, value)]) of one times file."""
    freq, out = None, []
    with open(os.path.join(folder, name)) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "freq":
                freq = int(parts[1])
            elif len(parts) == 3:
                out.append((int(parts[0]), parts[1], int(parts[2], 16)))
    return freq, out


def stats(values):
    """Median, 99th percentile and maximum: the picks of bench/timer_bench.cpp."""
    v = sorted(values)
    return v[int(0.5 * (len(v) - 1))], v[int(0.99 * (len(v) - 1))], v[-1]


def timing_rows(folder):
    """The tick lateness and ring-to-synth rows of a paced run's times files."""
    freq, ticks = events(folder, "ticks.txt")
    sets = [e for e in ticks if e[1] == "set"]
    if len(sets) != 1:
        raise ValueError("expected one timer, the proxy saw %d" % len(sets))
    origin, timer = sets[0][0], sets[0][2]
    period = freq // 100  # 10 ms
    times = [e[0] for e in ticks if e[1] == "tick" and e[2] == timer]
    lateness = [(t - (origin + (n + 1) * period)) * 1e6 / freq for n, t in enumerate(times)]
    if not lateness or min(lateness) < -1000:
        raise ValueError("%d ticks, earliest %.0f us before its due time" % (len(times), min(lateness, default=0)))
    wfreq, writes = events(folder, "writes.txt")
    afreq, arrivals = events(folder, "arrivals.txt")
    if wfreq != freq or afreq != freq:
        raise ValueError("the stand-ins report different counter frequencies")
    written = {v: t for t, k, v in writes if k == "write"}
    arrived = {}
    for t, k, v in arrivals:
        if k == "arrive":
            arrived.setdefault(v, t)
    delays = [(arrived[v] - t) * 1e6 / freq for v, t in written.items() if v in arrived]
    if not delays or min(delays) < 0:
        raise ValueError("%d messages matched, smallest delay %.0f us" % (len(delays), min(delays, default=0)))
    m, p, x = stats(lateness)
    rows = [("Wine: tick lateness (%d ticks, %.1f s)" % (len(lateness), len(lateness) / 100),
             "median %.0f us" % m, "p99 %.0f us" % p, "max %.0f us" % x)]
    m, p, x = stats(delays)
    rows.append(("Wine: ring to synth (%d/%d msgs)" % (len(delays), len(written)),
                 "median %.0f us" % m, "p99 %.0f us" % p, "max %.0f us" % x))
    return rows


def idle_row(idle, idle_s):
    ticks, hz = idle
    cpu_ms = ticks * 1000 / hz
    return ("Wine: emulator idle %d s" % idle_s, "process %.0f ms CPU" % cpu_ms,
            "%.2f %% of a core" % (100 * cpu_ms / (idle_s * 1000)), "%d clock ticks" % ticks)


def song_row(song_out):
    with open(os.path.join(song_out, "row.md")) as f:
        return tuple(cell.strip() for cell in f.read().strip().strip("|").split("|"))


def measure(runner, s, rows_of):
    """Runs scenario S; the rows ROWS_OF(S) makes of it, or none (and why)
    when the run fails its check or leaves no usable record."""
    say("%s under Wine" % s.name)
    agrees, why = runner.run(s)
    if not agrees:
        say("%s: the run failed its check: %s" % (s.name, why))
        return []
    try:
        return rows_of(s)
    except (OSError, ValueError, KeyError, IndexError) as e:
        say("%s: no usable record: %s" % (s.name, e))
        return []


def main(args):
    if not args or not os.path.isdir(args[0]) or args[1:] not in ([], ["--quick"]):
        print(__doc__)
        return 2
    quick = args[1:] == ["--quick"]
    play_s, idle_s = (2, 2) if quick else (10, 30)
    runner = scenarios.Runner(os.path.abspath(args[0]), None, wineprefix.time_scale())
    if runner.missing():
        say("missing %s: build the win32 preset first" % ", ".join(runner.missing()))
        return 2
    work = wineprefix.work_folder("bench")
    runner.song_out = os.path.join(work, "song")
    idle = scenarios.Scenario(os.path.join(scenarios.SCENARIOS, "idle.scn"))
    # The robot ends the idle program at its deadline: room for the
    # registration, 3 s of start-up and the window.
    idle.deadline_ms = max(idle.deadline_ms, (idle_s + 20) * 1000)
    runner.idle_seconds = idle_s
    song = scenarios.Scenario(os.path.join(scenarios.SCENARIOS, "song.scn"))
    if not quick:
        song.song = os.path.join(work, "ring_buffer_blues.mid")
        subprocess.run(scenarios.MAKE_SONG + [song.song], check=True)
    rows = []
    try:
        with scenarios.prepared(runner):
            rows += measure(runner, paced_scenario(play_s), lambda s: timing_rows(s.folder))
            rows += measure(runner, idle, lambda s: [idle_row(s.idle, idle_s)])
            rows += measure(runner, song, lambda s: [song_row(runner.song_out)])
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for row in rows:
        print("| " + " | ".join(row) + " |")
    return 0 if len(rows) == 4 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
