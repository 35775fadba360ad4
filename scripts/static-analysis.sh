#!/usr/bin/env bash
# Static analysis of everything that runs:
#   - the program code (installer/, emulator/, framework/, runtime/) and the simulated
#     platform (winsim/): clang-tidy with the checks chosen in .clang-tidy,
#     and cppcheck with the suppressions in .cppcheck-suppressions, both
#     reading the compile commands of the `static-analysis` preset;
#   - every tracked shell script: shellcheck, with the choices in
#     .shellcheckrc;
#   - every tracked Python file: pyflakes (Debian's pyflakes3), which reports
#     names that are undefined, unused or redefined, and syntax errors.
#
# Ends with "N passed, M failed" (one count per tool) and exits non-zero when
# a tool reports a finding or cannot run.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${QT_SA_JOBS:-2}
cd "$root" || exit 1

say() { echo "static-analysis: $*"; }

passed=0
failed=0
verdict() {  # verdict TOOL FINDINGS STATUS LOG: counts the tool, shows its log when it found anything
  if [ "$3" -eq 0 ] && [ "$2" -eq 0 ]; then
    say "$1: clean"
    passed=$((passed + 1))
  else
    cat "$4"
    say "$1: $2 finding(s), exit status $3"
    failed=$((failed + 1))
  fi
}

# The compile commands of the native build (configured, not built).
build=$root/build/static-analysis
mkdir -p "$root/build"
if cmake --preset static-analysis >"$root/build/static-analysis.configure.log" 2>&1; then
  # Only the program sources: tests, fuzz targets and benchmarks are left out.
  program_db=$build/program_commands.json
  /usr/bin/python3 - "$build/compile_commands.json" "$program_db" "$root" <<'PY'
import json, sys
db, out, root = sys.argv[1], sys.argv[2], sys.argv[3]
keep = tuple(f"{root}/{d}/" for d in ("installer", "emulator", "framework", "runtime", "winsim"))
entries = [e for e in json.load(open(db)) if e["file"].startswith(keep)]
with open(out, "w") as f:
    json.dump(entries, f, indent=1)
with open(out + ".files", "w") as f:
    f.write("".join(e["file"] + "\n" for e in entries))
PY
  mapfile -t files <"$program_db.files"
  say "${#files[@]} program sources"

  # One clang-tidy process per source, two at a time; a finding is any
  # warning or error line (WarningsAsErrors is empty, so the exit code alone
  # does not tell).
  tidy_log=$build/clang-tidy.log
  say "clang-tidy $(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -1)"
  printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$jobs" clang-tidy -p "$build" --quiet --use-color=false >"$tidy_log" 2>/dev/null
  tidy_status=$?
  grep -E -A3 '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' "$tidy_log" >"$tidy_log.findings"
  verdict clang-tidy "$(grep -cE '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' "$tidy_log")" "$tidy_status" \
    "$tidy_log.findings"

  cpp_log=$build/cppcheck.log
  mkdir -p "$build/cppcheck"
  say "$(cppcheck --version)"
  cppcheck --project="$program_db" --std=c++17 -j "$jobs" --quiet \
    --enable=warning,style,performance,portability --inline-suppr \
    --suppressions-list="$root/.cppcheck-suppressions" \
    --cppcheck-build-dir="$build/cppcheck" --error-exitcode=1 \
    --template='{file}:{line}: {severity}: {message} [{id}]' >"$cpp_log" 2>&1
  cpp_status=$?
  verdict cppcheck "$(grep -cE ':[0-9]+: (error|warning|style|performance|portability|information):' "$cpp_log")" \
    "$cpp_status" "$cpp_log"
else
  cat "$root/build/static-analysis.configure.log"
  say "configuring the native build failed: clang-tidy and cppcheck cannot run"
  failed=$((failed + 2))
fi

# Shell scripts: the tracked *.sh files and the other tracked files that a
# shell runs (a bash shebang).
mapfile -t shell_files < <(git ls-files -z | xargs -0 awk \
  'FNR == 1 { if (FILENAME ~ /\.sh$/ || /^#!.*(\/|env )(ba)?sh( |$)/) print FILENAME; nextfile }')
say "shellcheck $(shellcheck --version | sed -n 's/^version: //p') over ${#shell_files[@]} shell scripts"
shellcheck --format=gcc "${shell_files[@]}" >"$root/build/shellcheck.log" 2>&1
shell_status=$?
verdict shellcheck "$(grep -cE ':[0-9]+:[0-9]+: ' "$root/build/shellcheck.log")" "$shell_status" \
  "$root/build/shellcheck.log"

mapfile -t python_files < <(git ls-files '*.py')
say "pyflakes $(pyflakes3 --version | head -1 | cut -d' ' -f1) over ${#python_files[@]} Python files"
pyflakes3 "${python_files[@]}" >"$root/build/pyflakes.log" 2>&1
python_status=$?
verdict pyflakes "$(grep -cE '^[^ ]+:[0-9]+:' "$root/build/pyflakes.log")" "$python_status" "$root/build/pyflakes.log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
