#!/usr/bin/env bash
# The benchmarks of the native build, in one run, printed as one table:
#   - the MIDI pump against the bare loop (Google Benchmark, bench/pump_bench.cpp)
#   - the timer's tick lateness and the ring-to-synthesizer delay with real
#     threads (bench/timer_bench.cpp)
#   - processor time of the emulator waiting 30 s for a start
#     (bench/emulator_idle_bench.cpp) and of the installer's 5 s waits
#     (bench/installer_idle_bench.cpp)
#   - phase G's copies against cp of the same files (bench/copies_bench.cpp)
#   - when a win32 build (QT_BENCH_WIN32, default build/win32) and Wine are
#     present: the timer's tick lateness, the ring delay and the idle cost of
#     the Windows build under Wine (bench/wine_timer.sh)
#
#   scripts/benchmarks.sh [--quick]
#
# --quick shortens the timed parts (2 s instead of 10 s and 30 s, 3 copy
# rounds) for a smoke run; the figures in docs/performance.md come from a
# full run. Builds in build/bench (Release) with two jobs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QT_BENCH_BUILD:-$root/build/bench}
win32_build=${QT_BENCH_WIN32:-$root/build/win32}
timer_s=10
idle_s=30
rounds=7
if [ "${1:-}" = "--quick" ]; then
  timer_s=2
  idle_s=2
  rounds=3
fi

say() { echo "benchmarks: $*" >&2; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target bench_pump bench_timer bench_copies bench_installer_idle bench_emulator_idle >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

say "pump against the bare loop"
"$build/bench/bench_pump" --benchmark_format=json --benchmark_min_time=0.5 >"$out/pump.json" 2>/dev/null
say "timer and ring delay, ${timer_s} s each"
"$build/bench/bench_timer" "$timer_s" >"$out/timer.txt"
say "emulator idle, ${idle_s} s"
"$build/bench/bench_emulator_idle" "$idle_s" >"$out/idle.txt"
say "installer waits"
"$build/bench/bench_installer_idle" 5 >"$out/installer_idle.txt" || true
say "phase G against cp, $rounds rounds"
"$build/bench/bench_copies" "$rounds" >"$out/copies.txt"
: >"$out/wine.txt"
if [ -f "$win32_build/emulator/Qtmpu.exe" ] && command -v wine >/dev/null; then
  say "under Wine with $win32_build"
  "$root/bench/wine_timer.sh" "$win32_build" ${1:+"$1"} >"$out/wine.txt" || say "Wine rows not measured"
  say "the bundled song under Wine"
  /usr/bin/python3 "$root/tests/songs/make_song.py" "$out/ring_buffer_blues.mid"
  # The song's report leaves its row in the output folder.
  if QT_SONG="$out/ring_buffer_blues.mid" QT_SONG_OUT="$out/song" \
    python3 "$root/tests/wine/run_emulator_scenarios.py" "$win32_build" song >"$out/song.txt" 2>    bash "$root/tests/wine/emulator_scenarios.sh" "$win32_build" song >"$out/song.txt" 2>&1; then1; then
    cat "$out/song/row.md" >>"$out/wine.txt"
  else
    say "song row not measured: $(tail -3 "$out/song.txt" | tr '\n' ' ')"
  fi
fi

python3 - "$out" "$timer_s" "$idle_s" <<'PY'
import json, re, sys
out, timer_s, idle_s = sys.argv[1], sys.argv[2], sys.argv[3]

def kv(name):
    values = {}
    for line in open(f"{out}/{name}"):
        parts = line.split()
        if len(parts) == 2:
            values[parts[0]] = parts[1]
    return values

rows = []
pump = {b["name"]: b for b in json.load(open(f"{out}/pump.json"))["benchmarks"]}
def per_message(name):
    b = pump[name]
    return 1e9 / b["items_per_second"]  # CPU ns per message
for entry, label in (("counter:0", "counting entry"), ("standin:1", "recording stand-in")):
    suffix = "/iterations:1000" if entry.startswith("standin") else ""
    p = per_message(f"PumpDrainsFullRing/{entry}{suffix}")
    f = per_message(f"BareLoopDrainsFullRing/{entry}{suffix}")
    rows.append((f"pump, {label}", f"{p:.2f} ns/msg", f"floor {f:.2f} ns/msg", f"ratio {p / f:.2f}"))

t = kv("timer.txt")
rows.append((f"tick lateness ({t['tick_lateness_count']} ticks, {timer_s} s)",
             f"median {float(t['tick_lateness_median_us']):.0f} us", f"p99 {float(t['tick_lateness_p99_us']):.0f} us",
             f"max {float(t['tick_lateness_max_us']):.0f} us"))
rows.append((f"ring to synth ({t['ring_arrived']}/{t['ring_written']} msgs)",
             f"median {float(t['ring_delay_median_us']):.0f} us", f"p99 {float(t['ring_delay_p99_us']):.0f} us",
             f"max {float(t['ring_delay_max_us']):.0f} us"))

idle = open(f"{out}/idle.txt").read()
m = re.search(r"main thread used ([0-9.]+) s of processor time \(process ([0-9.]+) s\); SleepEx calls (\d+), wake-ups (\d+)", idle)
rows.append((f"emulator idle {idle_s} s", f"thread {float(m.group(1)) * 1e3:.3f} ms CPU",
             f"process {float(m.group(2)) * 1e3:.3f} ms CPU", f"wake-ups {m.group(4)}"))

i = kv("installer_idle.txt")
rows.append(("installer device wait", f"{i['device_wait_sleeps']} x 5 s virtual",
             f"{float(i['device_wait_cpu_s']) * 1e3:.3f} ms CPU", "found" if i["device_wait_found"] == "1" else "not found"))
rows.append(("installer real 5 s sleep", f"{i['real_sleep_s']} s", f"{float(i['real_sleep_cpu_s']) * 1e3:.3f} ms CPU", ""))

c = kv("copies.txt")
rows.append((f"phase G copies ({c['copies_files']} files, {int(c['copies_bytes']) / 1e6:.1f} MB)",
             f"phase G {float(c['phase_g_median_s']) * 1e3:.0f} ms", f"cp {float(c['cp_median_s']) * 1e3:.0f} ms",
             f"ratio {float(c['phase_g_over_cp']):.2f}"))

# bench/wine_timer.sh prints a table of its own: take its rows.
for line in open(f"{out}/wine.txt"):
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) == 4 and cells[0] != "measure" and not cells[0].startswith("-"):
        rows.append(tuple(cells))

widths = [max(len(r[k]) for r in rows) for k in range(4)]
print("| " + " | ".join(h.ljust(w) for h, w in zip(("measure", "value", "value", "value"), widths)) + " |")
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print("| " + " | ".join(v.ljust(w) for v, w in zip(r, widths)) + " |")
PY
