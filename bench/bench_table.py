#!/usr/bin/python3
"""The table of scripts/benchmarks.sh, made from what each benchmark left in
one folder, and the check that every row of it was produced.

    bench_table.py OUT_DIR TIMER_S IDLE_S [--wine]

OUT_DIR holds pump.json (bench_pump), timer.txt, idle.txt, installer_idle.txt
and copies.txt (the other native benchmarks), and with --wine wine.txt
(bench/wine_bench.py's rows). Prints the table, then one line for each
expected row that is missing and why, and "N passed, M failed" (one count per
expected row). Exits 1 when a row is missing. No figure is judged: a row
passes when its benchmark ran and reported it.
"""
import json
import os
import re
import sys

WINE_ROWS = ("Wine: tick lateness", "Wine: ring to synth", "Wine: emulator idle", "Wine: song ring to synth")


def kv(out, name):
    values = {}
    with open(os.path.join(out, name)) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2:
                values[parts[0]] = parts[1]
    return values


def pump_rows(out, _timer_s, _idle_s):
    with open(os.path.join(out, "pump.json")) as f:
        pump = {b["name"]: b for b in json.load(f)["benchmarks"]}

    def per_message(name):
        return 1e9 / pump[name]["items_per_second"]  # CPU ns per message

    rows = []
    for entry, label in (("counter:0", "counting entry"), ("standin:1/iterations:1000", "recording stand-in")):
        p = per_message(f"PumpDrainsFullRing/{entry}")
        f = per_message(f"BareLoopDrainsFullRing/{entry}")
        rows.append((f"pump, {label}", f"{p:.2f} ns/msg", f"floor {f:.2f} ns/msg", f"ratio {p / f:.2f}"))
    return rows


def timer_rows(out, timer_s, _idle_s):
    t = kv(out, "timer.txt")
    return [(f"tick lateness ({t['tick_lateness_count']} ticks, {timer_s} s)",
             f"median {float(t['tick_lateness_median_us']):.0f} us", f"p99 {float(t['tick_lateness_p99_us']):.0f} us",
             f"max {float(t['tick_lateness_max_us']):.0f} us"),
            (f"ring to synth ({t['ring_arrived']}/{t['ring_written']} msgs)",
             f"median {float(t['ring_delay_median_us']):.0f} us", f"p99 {float(t['ring_delay_p99_us']):.0f} us",
             f"max {float(t['ring_delay_max_us']):.0f} us")]


def idle_rows(out, _timer_s, idle_s):
    with open(os.path.join(out, "idle.txt")) as f:
        m = re.search(r"main thread used ([0-9.]+) s of processor time \(process ([0-9.]+) s\); "
                      r"SleepEx calls (\d+), wake-ups (\d+)", f.read())
    return [(f"emulator idle {idle_s} s", f"thread {float(m.group(1)) * 1e3:.3f} ms CPU",
             f"process {float(m.group(2)) * 1e3:.3f} ms CPU", f"wake-ups {m.group(4)}")]


def installer_rows(out, _timer_s, _idle_s):
    i = kv(out, "installer_idle.txt")
    return [("installer device wait", f"{i['device_wait_sleeps']} x 5 s virtual",
             f"{float(i['device_wait_cpu_s']) * 1e3:.3f} ms CPU",
             "found" if i["device_wait_found"] == "1" else "not found"),
            (f"installer real {float(i['real_sleep_s']):g} s sleep", f"{i['real_sleep_s']} s",
             f"{float(i['real_sleep_cpu_s']) * 1e3:.3f} ms CPU", "")]


def copies_rows(out, _timer_s, _idle_s):
    c = kv(out, "copies.txt")
    return [(f"phase G copies ({c['copies_files']} files, {int(c['copies_bytes']) / 1e6:.1f} MB)",
             f"phase G {float(c['phase_g_median_s']) * 1e3:.0f} ms", f"cp {float(c['cp_median_s']) * 1e3:.0f} ms",
             f"ratio {float(c['phase_g_over_cp']):.2f}"),
            ("phase G with the status window",
             f"without {float(c['phase_g_median_s']) * 1e3:.0f} ms",
             f"with {float(c['phase_g_window_median_s']) * 1e3:.0f} ms",
             f"ratio {float(c['window_over_none']):.3f}")]


def wine_rows(out, _timer_s, _idle_s):
    """bench/wine_bench.py prints its rows as table lines: they are taken
    as they stand."""
    rows = []
    with open(os.path.join(out, "wine.txt")) as f:
        for line in f:
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if line.startswith("|") and len(cells) == 4:
                rows.append(tuple(cells))
    return rows


# What each benchmark's output gives, and the rows expected of it (the
# beginning of the first cell).
NATIVE = ((pump_rows, ("pump, counting entry", "pump, recording stand-in")),
          (timer_rows, ("tick lateness", "ring to synth")),
          (idle_rows, ("emulator idle",)),
          (installer_rows, ("installer device wait", "installer real")),
          (copies_rows, ("phase G copies", "phase G with the status window")))


def table(rows):
    widths = [max(len(r[k]) for r in rows) for k in range(4)]
    lines = ["| " + " | ".join(h.ljust(w) for h, w in zip(("measure", "value", "value", "value"), widths)) + " |",
             "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    return lines + ["| " + " | ".join(v.ljust(w) for v, w in zip(r, widths)) + " |" for r in rows]


def collect(out, timer_s, idle_s, wine):
    """(rows, [(expected row, why it is missing)])."""
    sources = NATIVE + (((wine_rows, WINE_ROWS),) if wine else ())
    rows, missing = [], []
    for make, expected in sources:
        try:
            made, why = make(out, timer_s, idle_s), "not reported"
        except (OSError, ValueError, KeyError, IndexError, AttributeError, ZeroDivisionError) as e:
            made, why = [], "%s: %s" % (type(e).__name__, e)
        for name in expected:
            found = [r for r in made if r[0].startswith(name)]
            rows += found[:1]
            if not found:
                missing.append((name, why))
    return rows, missing


def main(args):
    if len(args) not in (3, 4) or args[3:] not in ([], ["--wine"]):
        print(__doc__)
        return 2
    rows, missing = collect(args[0], args[1], args[2], args[3:] == ["--wine"])
    if rows:
        print("\n".join(table(rows)))
    for name, why in missing:
        print("missing row: %s (%s)" % (name, why))
    print("%d passed, %d failed" % (len(rows), len(missing)))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
