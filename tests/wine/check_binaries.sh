#!/usr/bin/env bash
# Checks that the Windows programs are what the target machines can load:
# PE32 for the 80386, GUI subsystem, subsystem version 4.0, importing only
# system DLLs (nothing of the compiler's runtime).
#   check_binaries.sh WIN32_BUILD_DIR
set -u
build=${1:?usage: check_binaries.sh WIN32_BUILD_DIR}
system_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|WINMM|MSVCRT|SHELL32|COMCTL32)\.DLL$'
passed=0
failed=0

check() {  # check NAME CONDITION-DESCRIPTION COMMAND...
  local name=$1 what=$2
  shift 2
  if "$@"; then
    passed=$((passed + 1)); echo "PASS $name: $what"
  else
    failed=$((failed + 1)); echo "FAIL $name: $what"
  fi
}

for exe in installer/InstallQTonal.exe emulator/Qtmpu.exe; do
  path="$build/$exe"
  name=$(basename "$exe")
  if [ ! -f "$path" ]; then
    [ "$name" = InstallQTonal.exe ] && { failed=$((failed + 1)); echo "FAIL $name: missing"; }
    continue
  fi
  dump=$(objdump -p "$path")
  check "$name" "PE32 for Intel 80386" grep -q 'file format pei-i386' <<<"$dump"
  check "$name" "32-bit optional header" grep -qE '^Magic[[:space:]]+010b' <<<"$dump"
  check "$name" "GUI subsystem" grep -qE '^Subsystem[[:space:]]+00000002' <<<"$dump"
  check "$name" "subsystem version 4.0" \
    bash -c 'grep -qE "^MajorSubsystemVersion[[:space:]]+4$" <<<"$1" && grep -qE "^MinorSubsystemVersion[[:space:]]+0$" <<<"$1"' _ "$dump"
  dlls=$(grep 'DLL Name:' <<<"$dump" | awk '{print toupper($3)}')
  others=$(grep -vE "$system_dlls" <<<"$dlls" || true)
  check "$name" "imports only system DLLs ($(echo $dlls))" test -z "$others"
  # No wide-character forms of the user interface or file calls.
  wide=$(objdump -p "$path" | grep -E '^\s+[0-9a-f]+\s+[0-9]+\s+\w+W$' | grep -vE 'MultiByteToWideChar|WideCharToMultiByte' || true)
  check "$name" "ANSI forms only" test -z "$wide"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
