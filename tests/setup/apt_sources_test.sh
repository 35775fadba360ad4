#!/usr/bin/env bash
# The set-up takes the Debian archive address for its backports source from
# the machine's APT sources: debian_archive_uri run on sample source files.
# Ends with "N passed, M failed".
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../../scripts/apt_sources.sh
source "$here/../../scripts/apt_sources.sh"
fixtures=$here/fixtures

passed=0
failed=0
expect() {  # expect NAME ADDRESS FILE... : prints ADDRESS and succeeds
  local name=$1 want=$2 got
  shift 2
  if got=$(debian_archive_uri "$@" 2>/dev/null) && [ "$got" = "$want" ]; then
    passed=$((passed + 1))
  else
    echo "FAILED $name: got '${got:-}', expected '$want'"
    failed=$((failed + 1))
  fi
}
expect_none() {  # expect_none NAME FILE... : fails, saying why on stderr
  local name=$1 out err
  shift
  err=$(mktemp)
  if out=$(debian_archive_uri "$@" 2>"$err"); then
    echo "FAILED $name: found '$out', expected none"
    failed=$((failed + 1))
  elif [ -n "$out" ] || ! grep -q "no APT source for Debian bookworm is configured" "$err"; then
    echo "FAILED $name: printed '$out', said '$(cat "$err")'"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  rm -f "$err"
}

# deb822: the security stanza is skipped, the main one's address loses its slash.
expect deb822 "http://mirror.example/debian" "$fixtures/debian.sources"
# One-line: comments, deb-src, security and other suites skipped; options read past.
expect one-line "https://archive.example/debian" "$fixtures/sources.list"
expect options-with-blanks "http://spaced.example/debian" "$fixtures/spaced-options.list"
# Several addresses over indented lines: the first http or https one.
expect several-uris "https://second.example/debian" "$fixtures/several-uris.sources"
# The files in the order given: sources.list before sources.list.d.
expect first-file-wins "https://archive.example/debian" "$fixtures/sources.list" "$fixtures/debian.sources"
expect missing-files-skipped "http://mirror.example/debian" "$fixtures/absent.list" "$fixtures/absent.sources" \
  "$fixtures/debian.sources"
expect unusable-files-skipped "http://mirror.example/debian" "$fixtures/other-suites.list" \
  "$fixtures/disabled.sources" "$fixtures/debian.sources"

# Nothing that serves bookworm: disabled, source-only, backports-only, other
# suites, a CD; no files at all.
expect_none disabled-and-source-only "$fixtures/disabled.sources"
expect_none other-suites "$fixtures/other-suites.list"
expect_none no-files "$fixtures/absent.list"
expect_none nothing-given

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
