# shellcheck shell=bash
# Reading the machine's APT sources (sourced by setup.sh and by its test).
# The awk programs are kept in single quotes: nothing in them is the shell's.
# shellcheck disable=SC2016

# The pieces of awk both formats share. A usable address is an http or https
# archive that is not a security archive; it is printed without a trailing
# slash.
_apt_usable_awk='
function usable(uri) {
  return uri ~ /^https?:\/\// && uri !~ /:\/\/security\./ && uri !~ /-security\/*$/
}
function emit(uri) {
  sub(/\/+$/, "", uri)
  print uri
  found = 1
  exit
}'

# deb822 stanzas: Types with "deb", not "Enabled: no", Suites with "bookworm";
# the first usable of its URIs. Fields may go on over indented lines.
_apt_deb822_awk='
function reset() { types = ""; uris = ""; suites = ""; enabled = "yes"; field = "" }
function flush(   n, i, list) {
  if (!found && (" " types " ") ~ /[ \t]deb[ \t]/ && enabled != "no" && (" " suites " ") ~ /[ \t]bookworm[ \t]/) {
    n = split(uris, list, /[ \t]+/)
    for (i = 1; i <= n; i++) if (usable(list[i])) emit(list[i])
  }
  reset()
}
BEGIN { reset() }
/^#/ { next }
/^[ \t]*$/ { flush(); next }
/^[ \t]/ {
  if (field == "types") types = types " " $0
  else if (field == "uris") uris = uris " " $0
  else if (field == "suites") suites = suites " " $0
  next
}
{
  colon = index($0, ":")
  if (colon == 0) { field = ""; next }
  field = tolower(substr($0, 1, colon - 1))
  value = substr($0, colon + 1)
  if (field == "types") types = value
  else if (field == "uris") uris = value
  else if (field == "suites") suites = value
  else if (field == "enabled") { enabled = tolower(value); gsub(/[ \t]/, "", enabled) }
}
END { if (!found) flush(); exit found ? 0 : 1 }'

# One-line sources: "deb [options] URI SUITE COMPONENTS...", suite "bookworm".
_apt_oneline_awk='
/^[ \t]*#/ { next }
$1 == "deb" {
  i = 2
  if ($i ~ /^\[/) {
    while (i <= NF && $i !~ /\]$/) i++
    i++
  }
  if ($(i + 1) == "bookworm" && usable($i)) emit($i)
}
END { exit found ? 0 : 1 }'

# Prints the address of the Debian archive that serves bookworm in the
# machine's APT sources, the first found in the files given (deb822 ".sources"
# files, and one-line files for any other name; missing files are skipped),
# so that a source added for bookworm-backports uses the same archive or
# mirror. Without one it says so on stderr and returns 1.
debian_archive_uri() {
  local file
  for file in "$@"; do
    [ -f "$file" ] || continue
    case $file in
      *.sources) awk "$_apt_usable_awk$_apt_deb822_awk" "$file" && return 0 ;;
      *) awk "$_apt_usable_awk$_apt_oneline_awk" "$file" && return 0 ;;
    esac
  done
  echo "setup: no APT source for Debian bookworm is configured (an http or https archive in /etc/apt/sources.list or /etc/apt/sources.list.d/); add one and run this again" >&2
  return 1
}
