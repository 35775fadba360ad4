#!/usr/bin/env bash
# The main job: installs what is needed, builds both platforms, and
#  1. runs the typical installation under Wine: the real InstallQTonal.exe on
#     Windows 98 with the bundled sample CD in CD-ROM drive D:, the card's
#     game-port device present, and a robot playing the user. It prints what
#     the user saw (the status window's texts among them), the files below
#     C:\Q-Tonal\ and the program started; then the same with the device
#     still being installed, so that the status window shows the wait;
#  2. plays a song through the real Qtmpu.exe under Wine (Windows 98, the
#     stand-ins of the trap driver and the synthesizer, a free card mixer):
#     the driver writes the song's messages into its ring in real time, the
#     synthesizer records what it is handed and when. It prints the playback
#     report and leaves the sound (WAV) and the picture (PNG) in out/.
#
#   bash scripts/main-job.sh [--song PATH.mid]
#
# Without --song the bundled song (tests/wine/song/make_song.py) plays. Wine runs
# as the ordinary user that the set-up creates (tests/wine/wineprefix.py), as
# a Windows user who may not overwrite read-only files.
# Headless by default; with QT_WINE_DISPLAY=:0 the run shows on that display.
set -euo pipefail
song=""
while [ $# -gt 0 ]; do
  case $1 in
    --song)
      [ $# -ge 2 ] || { echo "main: --song needs a MIDI file" >&2; exit 2; }
      song=$(realpath -m -- "$2")
      shift 2
      ;;
    *)
      echo "usage: $0 [--song PATH.mid]" >&2
      exit 2
      ;;
  esac
done
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -n "$song" ] && ! /usr/bin/python3 tests/wine/song/song.py check "$song" >/dev/null; then
  echo "main: nothing was run" >&2
  exit 2
fi
bash scripts/build.sh native win32
echo "main: the typical installation under Wine (Windows 98, sample CD in D:), then one where Windows"
echo "main: is still installing the card's device when the installer starts (late_device)"
/usr/bin/python3 tests/wine/run_installer_scenarios.py build/win32 --show tests/scenarios/typical_win98.scn \
  tests/scenarios/late_device.scn

if [ -z "$song" ]; then
  mkdir -p build/songs
  song=$PWD/build/songs/ring_buffer_blues.mid
  /usr/bin/python3 tests/wine/song/make_song.py "$song"
fi
echo
echo "main: $(basename "$song") played through Qtmpu.exe under Wine (Windows 98, the stand-ins, a free card mixer)"
QT_SONG=$song QT_SONG_OUT=$PWD/out /usr/bin/python3 tests/wine/run_emulator_scenarios.py build/win32 song
