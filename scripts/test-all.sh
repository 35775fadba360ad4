#!/usr/bin/env bash
# Installs what is needed, builds everything, and runs every test: the native
# tests in the plain and sanitizer builds, then the end-to-end runs of the
# real Windows programs under Wine. Ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

passed=0
failed=0
report() {  # report NAME RESULT-LINE
  echo "tests: $1: $2"
}
count_ctest() {  # adds the counts of a ctest log
  local line p f
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  p=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - f ))
  passed=$((passed + p)); failed=$((failed + f))
}

logs=build/test-logs
mkdir -p "$logs"

for preset in native native-asan native-tsan; do
  echo "tests: building $preset"
  if ! bash scripts/build.sh "$preset" > "$logs/build-$preset.log" 2>&1; then
    cat "$logs/build-$preset.log"; report "$preset" "BUILD FAILED"; failed=$((failed + 1)); continue
  fi
  ctest --preset "$preset" -j2 > "$logs/ctest-$preset.log" 2>&1
  grep -E 'Failed|tests passed' "$logs/ctest-$preset.log" | tail -20
  count_ctest "$logs/ctest-$preset.log"
done

echo "tests: building win32"
if ! bash scripts/build.sh win32 > "$logs/build-win32.log" 2>&1; then
  cat "$logs/build-win32.log"; report win32 "BUILD FAILED"; failed=$((failed + 1))
else
  for check in tests/wine/check_binaries.sh tests/wine/run_installer_scenarios.py tests/wine/emulator_scenarios.sh; do
    [ -e "$check" ] || continue
    echo "tests: $check"
    case "$check" in
      *.py) python3 "$check" build/win32 > "$logs/$(basename "$check").log" 2>&1 ;;
      *) bash "$check" build/win32 > "$logs/$(basename "$check").log" 2>&1 ;;
    esac
    rc=$?
    cat "$logs/$(basename "$check").log"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$logs/$(basename "$check").log" | tail -1)
    if [ -n "$line" ]; then
      passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
      failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
    fi
    if [ $rc -ne 0 ] && [ -z "$line" ]; then failed=$((failed + 1)); fi
  done
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
