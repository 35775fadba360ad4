#!/usr/bin/env bash
# The main job: installs what is needed, builds both platforms, and runs the
# typical installation under Wine: the real InstallQTonal.exe on Windows 98
# with the bundled sample CD in CD-ROM drive D:, the card's game-port device
# present, and a robot playing the user. It prints what the user saw, the
# files below C:\Q-Tonal\ and the program started. Wine runs as the ordinary
# user that the set-up creates (tests/wine/wineprefix.py), as a Windows user
# who may not overwrite read-only files.
# Headless by default; with QT_WINE_DISPLAY=:0 the run shows on that display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh native win32
echo "main: the typical installation under Wine (Windows 98, sample CD in D:)"
python3 tests/wine/run_installer_scenarios.py build/win32 --show tests/scenarios/typical_win98.scn

echo
echo "main: a short song played through the emulator on the simulated platform, in real time"
build/native/tests/emulator/emulator_demo
