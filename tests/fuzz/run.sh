#!/usr/bin/env bash
# Builds the fuzz targets (CMake preset `fuzz`: clang, libFuzzer, ASan and
# UBSan), runs every seed once (the `fuzz` test preset: one test per target),
# and then runs each target for a bounded time, starting from its seed corpus
# in tests/fuzz/corpus/<target>/. Prints one line per target and then
# "N passed, M failed" (the seed tests and the timed runs); exits non-zero
# when either failed.
#
#   tests/fuzz/run.sh [SECONDS_PER_TARGET]     (default 20)
#
# New inputs found go to a temporary corpus, not into the repository. An
# input that breaks a target is kept as build/fuzz/artifacts/<target>-crash-*
# and can be replayed with: build/fuzz/tests/fuzz/<target> <that file>
set -uo pipefail

seconds=${1:-20}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS_PER_TARGET]" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
targets=(fuzz_source_location fuzz_folder_dialog fuzz_registry fuzz_emulator)
cd "$repo" || exit 1

fail_all() {
  echo "fuzz: $1"
  echo "0 passed, $((2 * ${#targets[@]})) failed"  # each target's seeds and its run
  exit 1
}

command -v clang++ >/dev/null 2>&1 || fail_all "clang++ is missing (scripts/setup.sh installs it)"
build_log=build/fuzz-build.log
mkdir -p build
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } >"$build_log" 2>&1; then
  tail -n 40 "$build_log"
  fail_all "the fuzz build failed (log: $build_log)"
fi

work=$(mktemp -d /tmp/qtonal-fuzz-run.XXXXXX)
# Host folders of the drives (fuzz_registry's) live in memory where there is
# /dev/shm; the other targets keep their drives in winsim's memory folders.
scratch=$(mktemp -d /dev/shm/qtonal-fuzz.XXXXXX 2>/dev/null || mktemp -d /tmp/qtonal-fuzz-scratch.XXXXXX)
trap 'rm -rf "$work" "$scratch"' EXIT
export QT_FUZZ_TMP="$scratch"
artifacts="$repo/build/fuzz/artifacts"
mkdir -p "$artifacts"

passed=0
failed=0
# Every seed once: one test per target.
ctest --preset fuzz >"$work/seeds.log" 2>&1
seeds=$(grep -cE ' Test +#[0-9]+: ' "$work/seeds.log")
passed=$(grep -cE ' Test +#[0-9]+: .* Passed ' "$work/seeds.log")
echo "seeds: $passed of $seeds seed tests passed"
if [ "$seeds" -eq 0 ]; then
  tail -n 20 "$work/seeds.log"
  failed=1
else
  failed=$((seeds - passed))
  grep -E ' Test +#[0-9]+: ' "$work/seeds.log" | grep -v ' Passed '
fi

for target in "${targets[@]}"; do
  binary="build/fuzz/tests/fuzz/$target"
  corpus="$work/$target"
  mkdir -p "$corpus"
  log="$work/$target.log"
  # The whole run is bounded too, in case a single input hangs.
  timeout --kill-after=10 $((seconds + 120)) "$binary" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -max_len=1024 -len_control=10 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "$corpus" "$here/corpus/$target" >"$log" 2>&1
  status=$?
  runs=$(grep -oE 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1 | awk '{print $2 " runs in " $5 " s"}')
  size=$(find "$corpus" "$here/corpus/$target" -type f | wc -l)
  if [ "$status" -eq 0 ] && [ -n "$runs" ]; then
    echo "PASS $target: ${runs}, corpus of $size inputs"
    passed=$((passed + 1))
  else
    echo "FAIL $target (exit $status${runs:+, $runs}); the end of its log:"
    tail -n 40 "$log" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
