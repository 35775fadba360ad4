#!/usr/bin/env bash
# Configures and builds the given presets (default: native and win32).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32)
mkdir -p build
for preset in "${presets[@]}"; do
  echo "build: $preset"
  cmake --preset "$preset" >/dev/null || exit 1
  cmake --build --preset "$preset" > "build/last-build-$preset.log" 2>&1
  status=$?
  grep -E 'warning|error' "build/last-build-$preset.log"
  [ $status -eq 0 ] || { tail -30 "build/last-build-$preset.log"; exit $status; }
done
