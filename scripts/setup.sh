#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail

need_packages=(cmake make g++ git python3 googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 xvfb xauth wine wine32:i386 qemu-user-static binfmt-support)

say() { echo "setup: $*"; }

if [ "$(id -u)" != 0 ]; then
  echo "setup: please run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture (for Wine's 32-bit side)"
  dpkg --add-architecture i386
  rm -f /var/lib/apt/qt-updated
fi

missing=()
for p in "${need_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  say "all packages present"
fi

# Some machines run a kernel that cannot execute 32-bit x86 programs; Wine's
# 32-bit side then runs through the user-mode emulator instead.
probe=$(mktemp)
python3 - "$probe" <<'PY'
import os, struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0xbb, 0, 0, 0, 0, 0xcd, 0x80])  # exit(0)
ehdr = struct.pack('<16sHHIIIIIHHHHHH', b'\x7fELF\x01\x01\x01' + b'\0' * 9, 2, 3, 1, 0x08048054, 52, 0, 0, 52, 32, 1, 0, 0, 0)
phdr = struct.pack('<IIIIIIII', 1, 0, 0x08048000, 0x08048000, 84 + len(code), 84 + len(code), 5, 0x1000)
open(sys.argv[1], 'wb').write(ehdr + phdr + code)
os.chmod(sys.argv[1], 0o755)
PY
if ! "$probe" 2>/dev/null; then
  say "this kernel cannot run 32-bit x86 programs: registering the i386 user-mode emulator"
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register
  fi
  "$probe" || { echo "setup: 32-bit programs still cannot run" >&2; rm -f "$probe"; exit 1; }
fi
rm -f "$probe"
say "ready"
