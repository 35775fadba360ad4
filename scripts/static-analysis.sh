#!/usr/bin/env bash
# Static analysis of the program code (installer/, emulator/, framework/, runtime/) and
# of the simulated platform (winsim/): clang-tidy with the checks chosen in
# .clang-tidy, and cppcheck with the suppressions in .cppcheck-suppressions.
# Both read the native build's compile_commands.json, made in a build folder
# of this script's own.
#
# Ends with "N passed, M failed" (one count per tool) and exits non-zero when
# either tool reports a finding or cannot run.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QT_SA_BUILD:-$root/build/sa-native}
jobs=${QT_SA_JOBS:-2}
cd "$root"

say() { echo "static-analysis: $*"; }

passed=0
failed=0

# The compile commands of the native build (configured, not built).
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$build.configure.log" 2>&1; then
  cat "$build.configure.log"
  say "configuring the native build failed"
  echo "0 passed, 2 failed"
  exit 1
fi

# Only the program sources: tests, fuzz targets and benchmarks are left out.
program_db=$build/program_commands.json
python3 - "$build/compile_commands.json" "$program_db" "$root" <<'PY'
import json, sys
db, out, root = sys.argv[1], sys.argv[2], sys.argv[3]
keep = tuple(f"{root}/{d}/" for d in ("installer", "emulator", "framework", "runtime", "winsim"))
entries = [e for e in json.load(open(db)) if e["file"].startswith(keep)]
json.dump(entries, open(out, "w"), indent=1)
PY
mapfile -t files < <(python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' "$program_db")
say "${#files[@]} program sources"

# ---- clang-tidy ---------------------------------------------------------------
tidy_log=$build/clang-tidy.log
say "clang-tidy $(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -1)"
: >"$tidy_log"
# One process per source, two at a time; a finding is any warning or error
# line (WarningsAsErrors is empty, so the exit code alone does not tell).
printf '%s\0' "${files[@]}" |
  xargs -0 -n 1 -P "$jobs" clang-tidy -p "$build" --quiet --use-color=false >>"$tidy_log" 2>/dev/null
tidy_status=$?
tidy_findings=$(grep -cE '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' "$tidy_log")
if [ "$tidy_status" -eq 0 ] && [ "$tidy_findings" -eq 0 ]; then
  say "clang-tidy: clean"
  passed=$((passed + 1))
else
  grep -E -A3 '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' "$tidy_log"
  say "clang-tidy: $tidy_findings finding(s), exit status $tidy_status"
  failed=$((failed + 1))
fi

# ---- cppcheck -------------------------------------------------------------------
cpp_log=$build/cppcheck.log
mkdir -p "$build/cppcheck"
say "$(cppcheck --version)"
cppcheck --project="$program_db" --std=c++17 -j "$jobs" --quiet \
  --enable=warning,style,performance,portability --inline-suppr \
  --suppressions-list="$root/.cppcheck-suppressions" \
  --cppcheck-build-dir="$build/cppcheck" --error-exitcode=1 \
  --template='{file}:{line}: {severity}: {message} [{id}]' >"$cpp_log" 2>&1
cpp_status=$?
cpp_findings=$(grep -cE ':[0-9]+: (error|warning|style|performance|portability|information):' "$cpp_log")
if [ "$cpp_status" -eq 0 ] && [ "$cpp_findings" -eq 0 ]; then
  say "cppcheck: clean"
  passed=$((passed + 1))
else
  cat "$cpp_log"
  say "cppcheck: $cpp_findings finding(s), exit status $cpp_status"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
