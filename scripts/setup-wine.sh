#!/usr/bin/env bash
# Makes this machine run the 32-bit program under Wine and prepares one Wine
# prefix for every run. Safe to rerun: each step checks before it acts.
# Usage: scripts/setup-wine.sh PREFIX_DIR
set -euo pipefail
prefix=$(realpath -m "${1:?usage: setup-wine.sh PREFIX_DIR}")

# A kernel that cannot execute i386 ELF binaries needs qemu-user for 32-bit Wine.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  mountpoint -q /proc/sys/fs/binfmt_misc ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] ||
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register
  /lib/ld-linux.so.2 --version >/dev/null
fi

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  echo "creating the Wine prefix $prefix (a few minutes under emulation)"
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wine wineboot -i >"$prefix.log" 2>&1 </dev/null
  WINEPREFIX=$prefix wineserver -w
fi
