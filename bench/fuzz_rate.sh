#!/usr/bin/env bash
# Throughput of the fuzz targets: runs each target for a fixed time from its
# seed corpus (into a temporary corpus, as tests/fuzz/run.sh does, with its
# flags) and prints one line per target: executions, executions per second
# of wall time and per second of processor time (the fairer figure on a
# shared machine), and the coverage and feature counts libFuzzer reached.
#
#   bench/fuzz_rate.sh [SECONDS] [BINARY_FOLDER] [TARGET...]
#
# SECONDS defaults to 60, the targets to all four. Without BINARY_FOLDER the
# `fuzz` preset is built and its targets in build/fuzz/tests/fuzz are
# measured; a folder given (another commit's build) is measured as it is. QT_FUZZ_MAX_LEN (default 1024, run.sh's) sets -max_len, so that a
# build of an older commit can be measured with the flags of its time;
# QT_FUZZ_KEEP names a folder that receives the corpus each target reached.
set -uo pipefail

seconds=${1:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
binaries=${2:-}
if [ -z "$binaries" ]; then
  binaries=$repo/build/fuzz/tests/fuzz
  mkdir -p "$repo/build"
  (cd "$repo" && cmake --preset fuzz && cmake --build --preset fuzz) >"$repo/build/fuzz-build.log" 2>&1 ||
    { tail -n 40 "$repo/build/fuzz-build.log"; echo "fuzz_rate: the fuzz build failed" >&2; exit 1; }
fi
shift $(($# > 2 ? 2 : $#))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_source_location fuzz_folder_dialog fuzz_registry fuzz_emulator)
max_len=${QT_FUZZ_MAX_LEN:-1024}

work=$(mktemp -d /tmp/qtonal-fuzz-rate.XXXXXX)
scratch=$(mktemp -d /dev/shm/qtonal-fuzz.XXXXXX 2>/dev/null || mktemp -d /tmp/qtonal-fuzz-scratch.XXXXXX)
trap 'rm -rf "$work" "$scratch"' EXIT
export QT_FUZZ_TMP="$scratch"

for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  log="$work/$target.log"
  # GNU time's %U and %S: the processor time of the fuzzer and its threads.
  /usr/bin/time -f "%U %S" -o "$work/$target.time" "$binaries/$target" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -max_len="$max_len" -len_control=10 \
    -print_final_stats=1 -artifact_prefix="$work/$target-" \
    "$work/$target" "$repo/tests/fuzz/corpus/$target" >"$log" 2>&1
  runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | awk '{print $2}')
  wall=$(grep -oE 'Done [0-9]+ runs in [0-9]+ second' "$log" | awk '{print $5}')
  cpu=$(awk '{print $1 + $2}' "$work/$target.time")
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | awk '{print $2}')
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | awk '{print $2}')
  if [ -z "$runs" ] || [ -z "$wall" ]; then
    echo "$target: no result; the end of its log:"
    tail -n 20 "$log" | sed 's/^/    /'
    continue
  fi
  awk -v t="$target" -v r="$runs" -v w="$wall" -v c="$cpu" -v cov="$cov" -v ft="$ft" 'BEGIN {
    printf "%-22s %8d runs in %3d s: %6.0f /s wall, %6.0f /s of processor time (%.1f s), cov %s ft %s\n",
           t, r, w, r / (w > 0 ? w : 1), r / (c > 0 ? c : 1), c, cov, ft }'
  # The corpus it reached, for a coverage count by another build.
  [ -n "${QT_FUZZ_KEEP:-}" ] && mkdir -p "$QT_FUZZ_KEEP" && cp -r "$work/$target" "$QT_FUZZ_KEEP/"
done
