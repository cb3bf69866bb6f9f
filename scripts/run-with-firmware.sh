#!/usr/bin/env bash
# Runs a command with the BIOS vendor, version and date that Wine's
# synthesized SMBIOS table reports, set in a private mount namespace.
# Usage: scripts/run-with-firmware.sh VENDOR VERSION DATE COMMAND [ARGS...]
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 VENDOR VERSION DATE COMMAND [ARGS...]" >&2; exit 2; }
exec unshare -m bash -c '
  set -euo pipefail
  mount -t tmpfs none /sys/class
  mkdir -p /sys/class/dmi/id
  printf "%s\n" "$1" > /sys/class/dmi/id/bios_vendor
  printf "%s\n" "$2" > /sys/class/dmi/id/bios_version
  printf "%s\n" "$3" > /sys/class/dmi/id/bios_date
  shift 3
  exec "$@"
' firmware "$@"
