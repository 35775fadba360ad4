#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail
# shellcheck source=SCRIPTDIR/apt_sources.sh
source "$(dirname "$0")/apt_sources.sh"

need_packages=(cmake make g++ git python3 googletest libgtest-dev libgmock-dev libbenchmark-dev clang-tidy cppcheck
  shellcheck pyflakes3 python3-mido python3-matplotlib python3-pefile fluidsynth timgm6mb-soundfont
  mingw-w64 xvfb xauth wine wine32:i386 clang libclang-rt-14-dev locales)

say() { echo "setup: $*"; }

# A mirror in the middle of a sync serves index files of the wrong size for
# a minute or two; apt-get update then fails although nothing is wrong here.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    apt-get update -qq && return 0
    [ "$attempt" = 3 ] && break
    say "apt-get update failed (attempt $attempt of 3); trying again in 30 s"
    sleep 30
  done
  echo "setup: apt-get update kept failing; going on with the indexes it has" >&2
  return 1
}

if [ "$(id -u)" != 0 ]; then
  echo "setup: please run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture (for Wine's 32-bit side)"
  dpkg --add-architecture i386
fi

missing=()
for p in "${need_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  updated=yes
  apt_update || updated=no
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # With one index missing (seen: the security archive's i386 list), the
    # amd64 libraries' newest versions have no i386 twin and Wine's 32-bit
    # side cannot be installed; bookworm's own point release has both.
    [ "$updated" = no ] || exit 1
    say "installing again with bookworm's point release preferred"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}" >/dev/null
  fi
else
  say "all packages present"
fi

# Some machines run a kernel that cannot execute 32-bit x86 programs; Wine's
# 32-bit side then runs through the i386 user-mode emulator. The emulator
# from bookworm-backports is used: bookworm's own takes about a minute of
# processor time to start each Wine process, the newer one about a second.
# The backports source uses the archive (or mirror) that the machine's own
# APT sources name for bookworm.
probe=$(mktemp)
/usr/bin/python3 - "$probe" <<'PY'
import os, struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0xbb, 0, 0, 0, 0, 0xcd, 0x80])  # exit(0)
ehdr = struct.pack('<16sHHIIIIIHHHHHH', b'\x7fELF\x01\x01\x01' + b'\0' * 9, 2, 3, 1, 0x08048054, 52, 0, 0, 52, 32, 1, 0, 0, 0)
phdr = struct.pack('<IIIIIIII', 1, 0, 0x08048000, 0x08048000, 84 + len(code), 84 + len(code), 5, 0x1000)
open(sys.argv[1], 'wb').write(ehdr + phdr + code)
os.chmod(sys.argv[1], 0o755)
PY
binfmt=/proc/sys/fs/binfmt_misc
[ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
# Test the kernel itself, with any earlier emulator registration removed.
[ -e $binfmt/qemu-i386 ] && echo -1 > $binfmt/qemu-i386
if ! "$probe" 2>/dev/null; then
  if ! qemu-i386-static --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
    say "this kernel cannot run 32-bit x86 programs: installing the i386 user-mode emulator"
    if [ ! -e /etc/apt/sources.list.d/qt-backports.sources ]; then
      archive=$(debian_archive_uri /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list.d/*.sources) || exit 1
      printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$archive" > /etc/apt/sources.list.d/qt-backports.sources
    fi
    apt_update || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
  fi
  say "running 32-bit x86 programs through $(qemu-i386-static --version | head -1)"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > $binfmt/register
  "$probe" || { echo "setup: 32-bit programs still cannot run" >&2; rm -f "$probe"; exit 1; }
fi
rm -f "$probe"

# The East Asian scenarios run Wine under these locales, which give it the
# ANSI code pages 932, 936, 949 and 950. A locale that is not generated
# silently gives 1252 (each such scenario checks the code page it got).
for loc in ja_JP zh_CN ko_KR zh_TW; do
  if ! locale -a 2>/dev/null | grep -qx "$loc.utf8"; then
    say "generating the locale $loc.UTF-8"
    localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
  fi
done

# The Wine runs play an ordinary user (tests/wine/wineprefix.py): Wine running
# as root overwrites read-only files and passes every other permission check
# that Windows makes for a user. The user has a home of its own, where its
# prefix template is kept.
wine_user=${QT_WINE_USER:-qtwine}
if [ "$wine_user" != root ] && ! id -u "$wine_user" >/dev/null 2>&1; then
  say "creating the user $wine_user for the Wine runs"
  useradd --system --user-group --create-home --home-dir "/var/lib/$wine_user" --shell /usr/sbin/nologin \
    "$wine_user" || id -u "$wine_user" >/dev/null 2>&1 || exit 1
fi
say "ready"
