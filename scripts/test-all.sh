#!/usr/bin/env bash
# Installs what is needed, builds everything, and runs every test: the native
# tests in the plain and sanitizer builds, the end-to-end runs of the real
# Windows programs under Wine and the file probe's answers, a short run of
# every fuzz target, a quick run of every benchmark, and static analysis of
# the C++, the shell scripts and the Python. Ends with "K known gaps" and
# then "N passed, M failed".
#
# A known gap is a case marked as a known difference from Windows (a
# QT_KNOWN_GAP block of a native test, tests/common/known_gap.h, or a
# scenario's `gap` line under Wine, tests/wine/known_gaps.py) that still
# differs: counted apart, neither passed nor failed. A marked case that
# agrees now fails, so that its mark is taken away.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/setup.sh || exit 1

passed=0
failed=0
gaps=0
report() {  # report NAME RESULT-LINE
  echo "tests: $1: $2"
}
count_ctest() {  # count_ctest CTEST-OUTPUT FULL-LOG: adds the counts of a ctest run
  local line p f g
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  p=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - f ))
  # Passed tests that hold a known gap count as gaps, once per test.
  g=$(grep -E '^known gap: ' "$2" 2>/dev/null | cut -d: -f2 | sort -u | wc -l)
  [ "$g" -le "$p" ] || g=$p
  passed=$((passed + p - g)); failed=$((failed + f)); gaps=$((gaps + g))
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
  grep -E '^known gap: ' "build/$preset/Testing/Temporary/LastTest.log" 2>/dev/null | sed 's/^/  /'
  count_ctest "$logs/ctest-$preset.log" "build/$preset/Testing/Temporary/LastTest.log"
done

# A check prints "N passed, M failed" as its closing line; that line is
# counted, and so is a line "K known gaps" before it.
run_check() {  # run_check NAME COMMAND...
  local name=$1 log rc line known
  shift
  log="$logs/$name.log"
  echo "tests: $name"
  "$@" > "$log" 2>&1
  rc=$?
  cat "$log"
  known=$(grep -E '^[0-9]+ known gaps?$' "$log" | tail -1 | cut -d' ' -f1)
  gaps=$((gaps + ${known:-0}))
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [ -n "$line" ]; then
    passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
    failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
  fi
  if [ $rc -ne 0 ] && { [ -z "$line" ] || [ "$(echo "$line" | cut -d' ' -f3)" = 0 ]; }; then
    report "$name" "ended with exit code $rc"; failed=$((failed + 1))
  fi
}

echo "tests: building win32"
if ! bash scripts/build.sh win32 > "$logs/build-win32.log" 2>&1; then
  cat "$logs/build-win32.log"; report win32 "BUILD FAILED"; failed=$((failed + 1))
else
  # The static proof that the shipped programs load and run on Windows 95
  # and NT 4.0 on a 486: Wine on a modern processor cannot show it.
  run_check compat-audit /usr/bin/python3 tests/audit/run_audit.py build/win32
  run_check wine-installer /usr/bin/python3 tests/wine/run_installer_scenarios.py build/win32
  run_check wine-emulator /usr/bin/python3 tests/wine/run_emulator_scenarios.py build/win32
  # Wine's answers to the questions the installer's deployment depends on,
  # against the stored ones that winsim/README.md cites.
  run_check wine-file-probe /usr/bin/python3 tests/wine/probes/run_file_probe.py build/win32
fi

run_check fuzz bash tests/fuzz/run.sh
# Every benchmark briefly, Wine's with the win32 build: each row is produced.
run_check benchmarks bash scripts/benchmarks.sh --quick
run_check static-analysis bash scripts/static-analysis.sh

echo
echo "$gaps known gap$([ "$gaps" = 1 ] || echo s)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
