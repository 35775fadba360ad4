#!/usr/bin/env bash
# End-to-end scenarios of the emulator: the real Qtmpu.exe in a 32-bit Wine
# prefix, with the Windows stand-ins of tests/wine/standins/emulator (WTSYNTH.DLL,
# DOVORAV.VXD, the winmm proxy) and the UI robot that reads and answers the
# message boxes.
#
#   tests/wine/emulator_scenarios.sh WIN32_BUILD_DIR [SCENARIO...]
#
# One line per scenario ("PASS name" or "FAIL name: why"), then
# "N passed, M failed". Exits non-zero when any scenario fails.
#
# Each scenario gets a folder C:\qtmpu\NAME inside the prefix holding the
# program, the stand-ins and their logs (WTSYNTH.LOG and DOVORAV.LOG beside
# the modules, the robot's transcript). The trap driver stand-in is set up
# through DOVORAV_ANSWER and DOVORAV_SCRIPT (see dovorav.cpp). Every run has
# a deadline and leaves no Wine process behind (wine_run).
#
# The prefix is a fresh copy of the prepared template (wineprefix.py), and
# each scenario's Windows version is written into its registry files while
# no Wine process runs.
#
# Wine runs as an ordinary user (wine_env.sh, wineprefix.py); the prefix is a
# temporary folder of that user's.
#
# Environment: QT_WINE_PREFIX (default: a fresh temporary folder),
# QT_KEEP_SCENARIOS=1 keeps the scenario folders for a look afterwards,
# QT_WINE_TIME_SCALE multiplies every deadline (default 1, or 2 where
# 32-bit programs run through the i386 user-mode emulator).
set -u

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 WIN32_BUILD_DIR [SCENARIO...]" >&2
  exit 2
fi
BUILD=$(cd "$1" && pwd)
shift
ONLY=("$@")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_env.sh
. "$HERE/wine_env.sh"

QTMPU=$BUILD/emulator/Qtmpu.exe
STANDINS=$BUILD/tests/wine/standins/emulator
ROBOT=$BUILD/tests/wine/robot/robot.exe
REAL_WINMM=/usr/lib/i386-linux-gnu/wine/i386-windows/winmm.dll
for file in "$QTMPU" "$STANDINS/WTSYNTH.DLL" "$STANDINS/WTSYNTH_NOLOADDLS.DLL" "$STANDINS/DOVORAV.VXD" \
  "$STANDINS/winmm.dll" "$ROBOT"; do
  if [ ! -f "$file" ]; then
    echo "missing $file: build the win32 preset first" >&2
    exit 2
  fi
done

SCALE=${QT_WINE_TIME_SCALE:-}
if [ -z "$SCALE" ]; then
  SCALE=1
  # Through the i386 user-mode emulator a Wine start takes a second or two.
  grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 && SCALE=2
fi

TEMPLATE=$(python3 "$HERE/wineprefix.py" template | tail -1)
if [ ! -f "$TEMPLATE/.qt-ready" ]; then
  echo "no prepared Wine prefix: $TEMPLATE" >&2
  exit 2
fi
wine_user_init || exit 2
if [ -n "${QT_WINE_PREFIX:-}" ]; then
  PREFIX=$QT_WINE_PREFIX
  WORK=""
  WINEPREFIX=$PREFIX wine_stop
  rm -rf "$PREFIX"
else
  # Wine runs as an ordinary user, who may not reach the build tree.
  WORK=$(wine_work_folder emulator) || exit 2
  PREFIX=$WORK/prefix
fi
cp -a "$TEMPLATE" "$PREFIX"
wine_env_init "$PREFIX" || exit 2
ROOT=$WINEPREFIX/drive_c/qtmpu
mkdir -p "$ROOT"

PASSED=0
FAILED=0
pass() {
  echo "PASS $1"
  PASSED=$((PASSED + 1))
}
fail() {
  echo "FAIL $1: $2"
  FAILED=$((FAILED + 1))
}

# A scenario folder with the program and the stand-ins. SYNTH is the DLL to
# install as WTSYNTH.DLL ("-" for none).
make_scenario() {
  local name=$1 synth=$2
  local dir=$ROOT/$name
  mkdir -p "$dir"
  cp "$QTMPU" "$dir/Qtmpu.exe"
  cp "$STANDINS/DOVORAV.VXD" "$dir/DOVORAV.VXD"
  [ "$synth" = "-" ] || cp "$STANDINS/$synth" "$dir/WTSYNTH.DLL"
  : >"$dir/robot.txt"
  echo "$dir"
}

# Gives the scenario the proxy multimedia library with Wine's own beside it.
add_mixer_proxy() {
  cp "$STANDINS/winmm.dll" "$1/winmm.dll"
  cp "$REAL_WINMM" "$1/wmmreal.dll"
}

# Runs Qtmpu.exe of the scenario under the robot. The robot ends the program
# at DEADLINE_MS; wine_run ends everything at SECS.
# The Windows version Wine shows one program, written while no Wine
# process runs (a running server would write its own copy over it).
set_version() {
  wine_stop
  python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import wineprefix; wineprefix.Prefix(sys.argv[2]).set_version(sys.argv[3], sys.argv[4])' \
    "$HERE" "$WINEPREFIX" "$1" "$2"
}

run_qtmpu() {
  local name=$1 version=$2 deadline_ms=$(($3 * SCALE)) secs=$(($4 * SCALE))
  set_version Qtmpu.exe "$version"
  (cd "$ROOT/$name" && wine_run "$secs" wine "$(winepath_of "$ROOT/$name/robot.exe")" \
    "C:\\qtmpu\\$name\\robot.txt" "C:\\qtmpu\\$name\\transcript.txt" "$deadline_ms" \
    "C:\\qtmpu\\$name\\Qtmpu.exe" >/dev/null 2>&1)
}

winepath_of() { echo "C:\\qtmpu\\${1#"$ROOT"/}" | tr '/' '\\'; }

# The robot's transcript, tab-separated as it writes it.
transcript() { tr -d '\r' <"$ROOT/$1/transcript.txt" 2>/dev/null; }
# A stand-in's log without its time and thread columns.
calls() { cut -d' ' -f3- <"$ROOT/$1/$2" 2>/dev/null | tr -d '\r'; }

BUSY_TEXT="Please close all Windows Sound AP and start this DOS AP again"
BUSY_CAPTION="DOS Mode MPU-401 Emulator"
FAIL_TEXT="Fail to access Qtmpu401 Device"
TAB=$(printf '\t')

# Start-ups that end silently with exit code 0.
silent_exit() {
  local name=$1 synth=$2 version=$3 dir
  dir=$(make_scenario "$name" "$synth")
  cp "$ROBOT" "$dir/robot.exe"
  run_qtmpu "$name" "$version" 60000 120
  local got
  got=$(transcript "$name")
  if [ "$got" != "exit${TAB}0" ]; then
    fail "$name" "expected only 'exit 0' from the robot, got: $(echo "$got" | tr '\n\t' '| ')"
  elif [ -s "$dir/WTSYNTH.LOG" ]; then
    fail "$name" "the synthesizer was called: $(calls "$name" WTSYNTH.LOG | tr '\n' '|')"
  else
    return 0
  fi
  return 1
}

scenario_no_library() {
  local name=no_library
  silent_exit "$name" - win98 || return
  if [ -e "$ROOT/$name/DOVORAV.LOG" ]; then fail "$name" "the device was opened"; return; fi
  pass "$name: no WTSYNTH.DLL, exit code 0, nothing shown"
}

scenario_no_loaddls() {
  local name=no_loaddls
  silent_exit "$name" WTSYNTH_NOLOADDLS.DLL win98 || return
  if [ -e "$ROOT/$name/DOVORAV.LOG" ]; then fail "$name" "the device was opened"; return; fi
  pass "$name: library without _LoadDls@0, exit code 0, nothing shown"
}

scenario_nt40() {
  local name=nt40
  silent_exit "$name" WTSYNTH.DLL nt40 || return
  if [ -e "$ROOT/$name/DOVORAV.LOG" ]; then fail "$name" "the device module was loaded on NT"; return; fi
  pass "$name: Windows NT 4.0 refuses the device open, exit code 0, nothing shown"
}

# The driver refuses (answers 4) or writes nothing: the box, exit code 0.
scenario_refused() {
  local name=$1 answer=$2 dir
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  printf 'box\tOK\n' >"$dir/robot.txt"
  DOVORAV_ANSWER=$answer run_qtmpu "$name" win98 60000 120
  local expected got
  expected=$(printf 'box\tQTMPU\t%s\tOK\tOK\nexit\t0' "$FAIL_TEXT")
  got=$(transcript "$name")
  if [ "$got" != "$expected" ]; then
    fail "$name" "robot saw: $(echo "$got" | tr '\n\t' '| ')"
    return
  fi
  if ! calls "$name" DOVORAV.LOG | grep -q "^register code=1 routine=[0-9A-Fa-f]* inSize=4 outSize=4 outBefore=0 returned=yes overlapped=no$"; then
    fail "$name" "registration not as expected: $(calls "$name" DOVORAV.LOG | tr '\n' '|')"
    return
  fi
  pass "$name: driver answers $answer, box \"$FAIL_TEXT\" / QTMPU, exit code 0"
}

# Processor ticks (user + system) of a process, from /proc.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null; }

# The driver accepts and never queues a call: the program stays, sleeping,
# until the robot ends it at its deadline.
scenario_idle() {
  local name=idle dir
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  run_qtmpu "$name" win98 25000 120 &
  local runner=$! pid="" i
  for i in $(seq 1 $((600 * SCALE))); do
    if calls "$name" DOVORAV.LOG 2>/dev/null | grep -q "^answered 5"; then
      # The program's own process (the robot's command line names it too).
      pid=$(pgrep -f '(^|wine )C:\\qtmpu\\idle\\Qtmpu\.exe$' | head -1)
      [ -n "$pid" ] && break
    fi
    sleep 0.1
  done
  local used=-1 hz
  hz=$(getconf CLK_TCK)
  if [ -n "$pid" ]; then
    sleep 3  # let start-up finish
    local before after
    before=$(cpu_ticks "$pid")
    sleep 10
    after=$(cpu_ticks "$pid")
    [ -n "$before" ] && [ -n "$after" ] && used=$((after - before))
  fi
  wait "$runner"
  local got
  got=$(transcript "$name")
  if [ -z "$pid" ]; then
    fail "$name" "the program never registered"
  elif [ "$got" != "timeout"$'\n'"exit${TAB}259" ]; then
    fail "$name" "the program did not stay until ended: $(echo "$got" | tr '\n\t' '| ')"
  elif [ "$used" -lt 0 ]; then
    fail "$name" "could not read the program's processor time"
  elif [ "$used" -gt $((hz * 10 / 20)) ]; then
    # More than 5% of one processor while waiting is a busy loop, not a sleep.
    fail "$name" "used $used ticks of processor time in 10 s of waiting"
  else
    echo "     idle Qtmpu.exe used $used of $((hz * 10)) processor ticks in 10 s (pid $pid)"
    pass "$name: driver answers 5, the program sleeps until ended, $used ticks in 10 s"
  fi
}

# Plain Wine has no card mixer: each start shows the busy box once and plays
# nothing; the instrument set is loaded once.
scenario_mixer_busy() {
  local name=mixer_busy dir
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  printf 'box\tOK\nbox\tOK\n' >"$dir/robot.txt"
  cat >"$dir/driver.txt" <<'EOF'
burst 10 00903C00
start
sync
start
sync
stop
sync
wait 200
exit 77
EOF
  DOVORAV_SCRIPT='C:\qtmpu\mixer_busy\driver.txt' run_qtmpu "$name" win98 120000 180
  local expected got
  expected=$(printf 'box\t%s\t%s\tOK\tOK\nbox\t%s\t%s\tOK\tOK\nexit\t77' "$BUSY_CAPTION" "$BUSY_TEXT" \
    "$BUSY_CAPTION" "$BUSY_TEXT")
  got=$(transcript "$name")
  if [ "$got" != "$expected" ]; then
    fail "$name" "robot saw: $(echo "$got" | tr '\n\t' '| ')"
  elif [ "$(calls "$name" WTSYNTH.LOG)" != "LoadDls" ]; then
    fail "$name" "synthesizer calls: $(calls "$name" WTSYNTH.LOG | tr '\n' '|')"
  elif [ "$(calls "$name" DOVORAV.LOG | grep -c ' returned$')" != 3 ]; then
    fail "$name" "not every call ran: $(calls "$name" DOVORAV.LOG | tr '\n' '|')"
  else
    pass "$name: two starts delivered to the sleeping program, two busy boxes, instrument set loaded once"
  fi
}

# The expected synthesizer log of a playback of COUNT messages from FIRST.
expected_playback() {
  local first=$1 count=$2 i
  echo StartMidi
  for ((i = 0; i < count; i++)); do printf 'MidiMessage %08X\n' $((first + i)); done
  echo StopMidi
}

# With the proxy's card mixer (free), full playbacks: every message once, in
# order, on the timer's thread; a second playback starts at slot 0 again.
scenario_playback() {
  local name=playback dir
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  add_mixer_proxy "$dir"
  cat >"$dir/driver.txt" <<'EOF'
start
sync
burst 100 00903C00
wait 300
write 00803C00 00903E00 00803E00
wait 300
burst 500 00100000
wait 1500
stop
sync
clear
burst 40 00200000
start
sync
wait 200
burst 20 00300000
wait 800
stop
sync
wait 200
exit 77
EOF
  CARD_MIXERS='Q-Tonal Audio Mixer=292' WINEDLLOVERRIDES='winmm=n' \
    DOVORAV_SCRIPT='C:\qtmpu\playback\driver.txt' run_qtmpu "$name" win98 120000 180
  local expected got
  expected=$(
    echo LoadDls
    expected_playback 0x00903C00 100 | sed '$d'
    printf 'MidiMessage %08X\n' 0x00803C00 0x00903E00 0x00803E00
    expected_playback 0x00100000 500 | sed '1d'
    expected_playback 0x00200000 40 | sed '$d'
    expected_playback 0x00300000 20 | sed '1d'
  )
  got=$(calls "$name" WTSYNTH.LOG)
  if [ "$(transcript "$name")" != "exit${TAB}77" ]; then
    fail "$name" "robot saw: $(transcript "$name" | tr '\n\t' '| ')"
  elif [ "$got" != "$expected" ]; then
    fail "$name" "synthesizer got $(echo "$got" | wc -l) calls, expected $(echo "$expected" | wc -l); first lines: $(echo "$got" | head -5 | tr '\n' '|')"
  elif ! awk '$3 == "StartMidi" { main = $2 } $3 == "MidiMessage" && $2 == main { bad = 1 } END { exit bad }' \
    "$dir/WTSYNTH.LOG"; then
    fail "$name" "messages were played on the main thread"
  else
    pass "$name: with a proxy card mixer, two playbacks, 603 + 60 messages once each and in order"
  fi
}

# shellcheck source=SCRIPTDIR/song/song_scenarios.sh
. "$HERE/song/song_scenarios.sh"

# Every scenario, or the ones named after the build folder.
wanted() { [ ${#ONLY[@]} -eq 0 ] || [[ " ${ONLY[*]} " == *" $1 "* ]]; }
wanted no_library && scenario_no_library
wanted no_loaddls && scenario_no_loaddls
wanted nt40 && scenario_nt40
wanted refused_4 && scenario_refused refused_4 4
wanted refused_silent && scenario_refused refused_silent none
wanted idle && scenario_idle
wanted mixer_busy && scenario_mixer_busy
wanted playback && scenario_playback
wanted song && scenario_song
wanted song_flood && scenario_song_flood

wine_stop
if [ "${QT_KEEP_SCENARIOS:-0}" = 1 ]; then
  echo "the scenario folders are kept in $ROOT"
else
  rm -rf "$PREFIX"
  [ -z "$WORK" ] || rmdir "$WORK"
fi
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
