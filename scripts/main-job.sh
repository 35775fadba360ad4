#!/usr/bin/env bash
# The main job: installs what is needed, builds both platforms, and runs the
# real InstallQTonal.exe under Wine as a Windows 98 machine without the
# card's game-port device. A robot plays the user (No, then Yes to leave);
# what the user saw is printed. Set QT_WINE_DISPLAY=:0 to watch on a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh native win32
echo "main: running InstallQTonal.exe under Wine (Windows 98, no game-port device)"
python3 tests/wine/run_installer_scenarios.py build/win32 --show tests/scenarios/no_device_refuse_then_exit.scn
