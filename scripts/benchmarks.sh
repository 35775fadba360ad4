#!/usr/bin/env bash
# The benchmarks, in one run, printed as one table:
#   - the MIDI pump against the bare loop (Google Benchmark, bench/pump_bench.cpp)
#   - the timer's tick lateness and the ring-to-synthesizer delay with real
#     threads (bench/timer_bench.cpp)
#   - processor time of the emulator waiting for a start
#     (bench/emulator_idle_bench.cpp) and of the installer's waits
#     (bench/installer_idle_bench.cpp)
#   - phase G's copies against cp of the same files (bench/copies_bench.cpp)
#   - when a win32 build (QT_BENCH_WIN32, default build/win32) and Wine are
#     present: the timer's tick lateness, the ring delay, the idle cost and
#     the delay of a song, of the Windows build under Wine
#     (bench/wine_bench.py)
#
#   scripts/benchmarks.sh [--quick]
#
# --quick runs every measurement briefly (2 s instead of 10 s and 30 s, a 1 s
# sleep instead of 5 s, 3 copy rounds instead of 7, the 5 s song instead of
# the 30 s one) as a check that each still produces its row; the figures in
# docs/performance.md come from a full run. Either way the table is followed
# by "N passed, M failed", one count per expected row, and the exit status is
# non-zero when a row is missing; no figure is judged. Builds the `bench`
# preset (build/bench, Release).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
build=$root/build/bench
win32_build=${QT_BENCH_WIN32:-$root/build/win32}
quick=""
timer_s=10 idle_s=30 sleep_s=5 rounds=7 pump_s=0.5
case "${1:-}" in
  --quick) quick=--quick timer_s=2 idle_s=2 sleep_s=1 rounds=3 pump_s=0.05 ;;
  "") ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac

say() { echo "benchmarks: $*" >&2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

mkdir -p "$root/build"
if ! { cmake --preset bench && cmake --build --preset bench; } >"$root/build/bench-build.log" 2>&1; then
  tail -n 30 "$root/build/bench-build.log" >&2
  say "the bench build failed (log: build/bench-build.log)"
fi

# A benchmark that fails leaves its rows missing; the table says which.
run() {  # run OUTPUT COMMAND...
  local file=$1
  shift
  "$@" >"$out/$file" 2>"$out/$file.err" || say "$(basename "$1") ended with $?: $(tail -n 3 "$out/$file.err" | tr '\n' ' ')"
}
say "pump against the bare loop"
run pump.json "$build/bench/bench_pump" --benchmark_format=json --benchmark_min_time="$pump_s"
say "timer and ring delay, ${timer_s} s each"
run timer.txt "$build/bench/bench_timer" "$timer_s"
say "emulator idle, ${idle_s} s"
run idle.txt "$build/bench/bench_emulator_idle" "$idle_s"
say "installer waits"
# It exits 1 when the device was found, which the row reports.
"$build/bench/bench_installer_idle" "$sleep_s" >"$out/installer_idle.txt" 2>&1
say "phase G against cp, $rounds rounds"
run copies.txt "$build/bench/bench_copies" "$rounds"

wine=""
if [ -f "$win32_build/emulator/Qtmpu.exe" ] && command -v wine >/dev/null; then
  say "under Wine with $win32_build"
  wine=--wine
  /usr/bin/python3 "$root/bench/wine_bench.py" "$win32_build" ${quick:+"$quick"} >"$out/wine.txt" ||
    say "not every Wine row was measured (above)"
else
  say "no win32 build in $win32_build, or no Wine: the Wine rows are left out"
fi

/usr/bin/python3 "$root/bench/bench_table.py" "$out" "$timer_s" "$idle_s" ${wine:+"$wine"}
