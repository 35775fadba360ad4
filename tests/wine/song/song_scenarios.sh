# shellcheck shell=bash
# Song scenarios of the emulator runner (tests/wine/emulator_scenarios.sh
# sources this file and uses its helpers: make_scenario, add_mixer_proxy,
# run_qtmpu, calls, transcript, pass, fail).
#
#   song        a Standard MIDI File played by the trap driver stand-in in
#               real time through Qtmpu.exe with a free card mixer; the
#               synthesizer stand-in's arrivals are turned back into a MIDI
#               file, rendered to a WAV and drawn (tests/wine/song/song.py).
#               QT_SONG names the file (default: the short test song that
#               tests/songs/make_song.py --short writes), QT_SONG_OUT the
#               folder for the WAV, the PNG and the received MIDI file
#               (default: BUILD/song).
#   song_flood  8000 messages on one instant: the writer waits for room
#               instead of overwriting unread slots, and all arrive.

SONG_PY=(/usr/bin/python3 "$HERE/song/song.py")

scenario_song() {
  local name=song dir song out secs
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  add_mixer_proxy "$dir"
  song=${QT_SONG:-}
  if [ -z "$song" ]; then
    song=$dir/short_song.mid
    /usr/bin/python3 "$HERE/../songs/make_song.py" --short "$song"
  fi
  out=${QT_SONG_OUT:-$BUILD/song}
  if ! "${SONG_PY[@]}" script "$song" "$dir/driver.txt" 2>"$dir/song-error.txt"; then
    fail "$name" "$(cat "$dir/song-error.txt")"
    return
  fi
  # The song's length in seconds, for the deadlines.
  secs=$(awk '$1 == "at" { t = $2 } END { printf "%d", t / 1000000 + 1 }' "$dir/driver.txt")
  local win='C:\qtmpu\song'
  CARD_MIXERS='Q-Tonal Audio Mixer=292' WINEDLLOVERRIDES='winmm=n' DOVORAV_SCRIPT="$win\\driver.txt" \
    DOVORAV_TIMES="$win\\writes.txt" WTSYNTH_TIMES="$win\\arrivals.txt" \
    run_qtmpu "$name" win98 $(((secs + 60) * 1000)) $((secs + 120))
  if [ "$(transcript "$name")" != "exit${TAB}77" ]; then
    fail "$name" "robot saw: $(transcript "$name" | tr '\n\t' '| '); driver: $(calls "$name" DOVORAV.LOG | tail -3 | tr '\n' '|')"
    return
  fi
  local rc=0
  "${SONG_PY[@]}" report "$song" "$dir" "$out" >"$dir/report.txt" 2>&1 || rc=$?
  sed 's/^/     /' "$dir/report.txt"
  local rms
  rms=$(sed -n 's/.*sound: .*RMS \([0-9.]*\)).*/\1/p' "$dir/report.txt")
  if [ "$rc" != 0 ]; then
    fail "$name" "the playback report found faults (above)"
  elif ! grep -q 'each once and in order' "$dir/report.txt"; then
    fail "$name" "the report does not say every message arrived once and in order"
  elif [ -z "${QT_SONG:-}" ] && ! grep -q 'skipped (not short messages): .*1 system exclusive' "$dir/report.txt"; then
    fail "$name" "the test song's system-exclusive message was not counted as skipped"
  elif [ -z "$rms" ] || ! awk -v r="$rms" 'BEGIN { exit !(r > 0) }'; then
    fail "$name" "the WAV is missing or silent (RMS '${rms}')"
  else
    pass "$name: $(basename "$song") through Qtmpu.exe, every message once and in order, WAV and PNG in $out"
  fi
}

scenario_song_flood() {
  local name=song_flood dir count=8000
  dir=$(make_scenario "$name" WTSYNTH.DLL)
  cp "$ROBOT" "$dir/robot.exe"
  add_mixer_proxy "$dir"
  {
    printf 'start\nsync\nsong\nat 0'
    for ((i = 0; i < count; i++)); do printf ' %08X' $((0x00500000 + i)); done
    printf '\nsong end\nwait 2000\nstop\nsync\nwait 200\nexit 77\n'
  } >"$dir/driver.txt"
  CARD_MIXERS='Q-Tonal Audio Mixer=292' WINEDLLOVERRIDES='winmm=n' \
    DOVORAV_SCRIPT='C:\qtmpu\song_flood\driver.txt' run_qtmpu "$name" win98 120000 180
  local expected got summary
  expected=$(echo LoadDls; expected_playback 0x00500000 "$count")
  got=$(calls "$name" WTSYNTH.LOG)
  summary=$(calls "$name" DOVORAV.LOG | grep '^song written' | tail -1)
  if [ "$(transcript "$name")" != "exit${TAB}77" ]; then
    fail "$name" "robot saw: $(transcript "$name" | tr '\n\t' '| ')"
  elif [ "$got" != "$expected" ]; then
    fail "$name" "synthesizer got $(echo "$got" | grep -c MidiMessage) messages, not $count once each in order"
  elif ! [[ "$summary" =~ ^song\ written\ $count\ instants\ 1\ waits\ ([1-9][0-9]*)\  ]]; then
    fail "$name" "the writer did not wait for room: '$summary'"
  else
    pass "$name: $count messages on one instant, the writer waited for room ${BASH_REMATCH[1]} times, all arrived once and in order"
  fi
}
