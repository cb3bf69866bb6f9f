#!/usr/bin/env bash
# Makes this machine run the 32-bit program under Wine and prepares one Wine
# prefix for every run. Safe to rerun: each step checks before it acts.
# Usage: scripts/setup-wine.sh PREFIX_DIR
set -euo pipefail
prefix=$(realpath -m "${1:?usage: setup-wine.sh PREFIX_DIR}")

source "$(dirname "$0")/i386-lib.sh"

# A kernel that cannot execute i386 ELF binaries needs qemu-user for 32-bit
# Wine. With flag F the kernel opens the interpreter at registration and
# keeps that file, so an entry of another qemu (7.2, before qemu-user 10 was
# installed) is replaced, not left to run the old one. Tests call this at
# once: a registration that another one beat is no failure.
if kernel_needs_qemu; then
  mountpoint -q /proc/sys/fs/binfmt_misc ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  interpreter=$(qemu_interpreter)
  if [ -e "$i386_entry" ] && ! grep -qx "interpreter $interpreter" "$i386_entry"; then
    echo "setup-wine: i386 code will run through $interpreter in place of $(sed -n 's/^interpreter //p' "$i386_entry")"
    echo -1 >"$i386_entry" 2>/dev/null || true
  fi
  [ -e "$i386_entry" ] ||
    printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$interpreter:F" \
      >/proc/sys/fs/binfmt_misc/register 2>/dev/null || [ -e "$i386_entry" ]
  /lib/ld-linux.so.2 --version >/dev/null
fi

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  echo "creating the Wine prefix $prefix (half a minute or more under qemu-user)"
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wine wineboot -i >"$prefix.log" 2>&1 </dev/null
  WINEPREFIX=$prefix wineserver -w
fi
