#!/usr/bin/env bash
# The emulator's timing under Wine, with the Windows build and the stand-ins
# of tests/wine/standins/emulator, printed as rows of the table of
# scripts/benchmarks.sh:
#   - tick lateness: the proxy winmm.dll wraps the 10 ms timer's callback and
#     reads QueryPerformanceCounter as each tick begins (PROXY_TIMES); tick n
#     is due n x 10 ms after the moment the timer was created;
#   - ring to synth: the trap driver stand-in writes one message every 3.7 ms
#     (script line "pace") and reads the counter just before each store
#     (DOVORAV_TIMES); the synthesizer stand-in reads it as each message
#     arrives (WTSYNTH_TIMES); same process, same counter;
#   - idle: processor time of the Wine process of Qtmpu.exe registered with a
#     driver that never queues a call, from /proc/<pid>/stat.
# One playback covers both timing rows: the timer runs from the start call to
# the stop call, the paced writes fill PLAY seconds in between.
#
#   bench/wine_timer.sh WIN32_BUILD_DIR [--quick]
#
# --quick: 2 s of playback and 2 s of idle instead of 10 s and 30 s.
# Needs Wine with the prepared prefix template (tests/wine/wineprefix.py).
# Under the i386 user-mode emulator every figure includes the emulator.
set -u

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 WIN32_BUILD_DIR [--quick]" >&2
  exit 2
fi
BUILD=$(cd "$1" && pwd)
play_s=10
idle_s=30
if [ "${2:-}" = "--quick" ]; then
  play_s=2
  idle_s=2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
HERE=$root/tests/wine
# shellcheck source=SCRIPTDIR/../tests/wine/wine_env.sh
. "$HERE/wine_env.sh"

say() { echo "wine_timer: $*" >&2; }

QTMPU=$BUILD/emulator/Qtmpu.exe
STANDINS=$BUILD/tests/wine/standins/emulator
REAL_WINMM=/usr/lib/i386-linux-gnu/wine/i386-windows/winmm.dll
for file in "$QTMPU" "$STANDINS/WTSYNTH.DLL" "$STANDINS/DOVORAV.VXD" "$STANDINS/winmm.dll" "$REAL_WINMM"; do
  if [ ! -f "$file" ]; then
    say "missing $file"
    exit 2
  fi
done
TEMPLATE=$(python3 "$HERE/wineprefix.py" template | tail -1)
if [ ! -f "$TEMPLATE/.qt-ready" ]; then
  say "no prepared Wine prefix: $TEMPLATE"
  exit 2
fi
SCALE=1
grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 && SCALE=2

# Wine runs as an ordinary user (wine_env.sh), in a temporary folder of its own.
wine_user_init || exit 2
WORK=$(wine_work_folder bench) || exit 2
PREFIX=$WORK/prefix
cp -a "$TEMPLATE" "$PREFIX"
wine_env_init "$PREFIX" || exit 2
trap 'wine_stop; rm -rf "$WORK"; _wine_cleanup' EXIT
python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import wineprefix; wineprefix.Prefix(sys.argv[2]).set_version("Qtmpu.exe", "win98")' \
  "$HERE" "$WINEPREFIX"

ROOT=$WINEPREFIX/drive_c/qtmpu
# A folder C:\qtmpu\NAME with the program, the stand-ins and the proxy.
make_dir() {
  local dir=$ROOT/$1
  mkdir -p "$dir"
  cp "$QTMPU" "$STANDINS/DOVORAV.VXD" "$STANDINS/WTSYNTH.DLL" "$STANDINS/winmm.dll" "$dir/"
  cp "$REAL_WINMM" "$dir/wmmreal.dll"
  echo "$dir"
}

# ---- Playback: tick lateness and ring delay --------------------------------
say "playback with paced writes, ${play_s} s"
dir=$(make_dir play)
step_us=3700
count=$((play_s * 1000000 / step_us))
cat >"$dir/driver.txt" <<EOF
start
sync
pace $count 00400000 $step_us
wait 500
stop
sync
wait 200
exit 77
EOF
win='C:\qtmpu\play'
(cd "$dir" && CARD_MIXERS='Q-Tonal Audio Mixer=292' WINEDLLOVERRIDES='winmm=n' DOVORAV_SCRIPT="$win\\driver.txt" \
  PROXY_TIMES="$win\\ticks.txt" DOVORAV_TIMES="$win\\writes.txt" WTSYNTH_TIMES="$win\\arrivals.txt" \
  wine_run $(((play_s + 60) * SCALE)) wine "$win\\Qtmpu.exe" >/dev/null 2>&1)
rc=$?
if [ "$rc" != 77 ]; then
  say "the playback run ended with $rc, not 77 (the script's exit); DOVORAV.LOG: $(tr '\n' '|' <"$dir/DOVORAV.LOG" 2>/dev/null)"
  exit 1
fi

# ---- Idle: processor time while waiting for a start ------------------------
say "idle, ${idle_s} s"
dir=$(make_dir idle)
(cd "$dir" && wine_run $(((idle_s + 90) * SCALE)) wine 'C:\qtmpu\idle\Qtmpu.exe' >/dev/null 2>&1) &
runner=$!
pid=""
for _ in $(seq 1 $((600 * SCALE))); do
  if grep -qs "answered 5" "$dir/DOVORAV.LOG"; then
    # The Windows process itself (not the timeout or wine launcher whose
    # command lines name it too), of this prefix.
    for candidate in $(pgrep -x Qtmpu.exe); do
      if tr '\0' '\n' <"/proc/$candidate/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$PREFIX"; then
        pid=$candidate
      fi
    done
    [ -n "$pid" ] && break
  fi
  sleep 0.1
done
before="" after=""
if [ -n "$pid" ]; then
  sleep 3  # let start-up finish
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null)
  sleep "$idle_s"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null)
  say "idle Qtmpu.exe is pid $pid ($(cat "/proc/$pid/comm" 2>/dev/null)), $before clock ticks used by start-up"
fi
wine_stop
wait "$runner" 2>/dev/null
if [ -z "$before" ] || [ -z "$after" ]; then
  say "could not read the idle program's processor time (pid '${pid}')"
  exit 1
fi

python3 - "$ROOT/play" "$play_s" "$idle_s" "$((after - before))" "$(getconf CLK_TCK)" <<'PY'
import sys
play, play_s, idle_s, idle_ticks, hz = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])

def events(name):
    """(frequency, [(counter, kind, value)]) of one times file."""
    freq, out = None, []
    for line in open(f"{play}/{name}"):
        parts = line.split()
        if parts[0] == "freq":
            freq = int(parts[1])
        elif len(parts) == 3:
            out.append((int(parts[0]), parts[1], int(parts[2], 16)))
    return freq, out

def stats(values):
    # The same picks as bench/timer_bench.cpp.
    v = sorted(values)
    at = lambda q: v[int(q * (len(v) - 1))]
    return at(0.5), at(0.99), v[-1]

freq, ticks = events("ticks.txt")
sets = [e for e in ticks if e[1] == "set"]
if len(sets) != 1:
    sys.exit(f"wine_timer: expected one timer, the proxy saw {len(sets)}")
origin, timer = sets[0][0], sets[0][2]
period = freq // 100  # 10 ms
times = [e[0] for e in ticks if e[1] == "tick" and e[2] == timer]
lateness = [(t - (origin + (n + 1) * period)) * 1e6 / freq for n, t in enumerate(times)]
if not lateness or min(lateness) < -1000:
    sys.exit(f"wine_timer: {len(times)} ticks, earliest {min(lateness, default=0):.0f} us before its due time")

wfreq, writes = events("writes.txt")
afreq, arrivals = events("arrivals.txt")
if wfreq != freq or afreq != freq:
    sys.exit("wine_timer: the stand-ins report different counter frequencies")
written = {v: t for t, k, v in writes if k == "write"}
arrived = {}
for t, k, v in arrivals:
    if k == "arrive" and v not in arrived:
        arrived[v] = t
order = [v for t, k, v in arrivals if k == "arrive"]
if order != sorted(order) or len(order) != len(arrived):
    sys.exit("wine_timer: the synthesizer got messages out of order or twice")
if len(arrived) != len(written):
    print(f"wine_timer: {len(written) - len(arrived)} written messages never arrived", file=sys.stderr)
delays = [(arrived[v] - t) * 1e6 / freq for v, t in written.items() if v in arrived]
if not delays or min(delays) < 0:
    sys.exit(f"wine_timer: {len(delays)} messages matched, smallest delay {min(delays, default=0):.0f} us")

rows = []
m, p, x = stats(lateness)
rows.append((f"Wine: tick lateness ({len(lateness)} ticks, {len(lateness) / 100:.1f} s)",
             f"median {m:.0f} us", f"p99 {p:.0f} us", f"max {x:.0f} us"))
m, p, x = stats(delays)
rows.append((f"Wine: ring to synth ({len(delays)}/{len(written)} msgs)",
             f"median {m:.0f} us", f"p99 {p:.0f} us", f"max {x:.0f} us"))
cpu_ms = idle_ticks * 1000 / hz
rows.append((f"Wine: emulator idle {idle_s} s", f"process {cpu_ms:.0f} ms CPU",
             f"{100 * cpu_ms / (idle_s * 1000):.2f} % of a core", f"{idle_ticks} clock ticks"))

widths = [max(len(r[k]) for r in rows) for k in range(4)]
print("| " + " | ".join(h.ljust(w) for h, w in zip(("measure", "value", "value", "value"), widths)) + " |")
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print("| " + " | ".join(v.ljust(w) for v, w in zip(r, widths)) + " |")
PY
