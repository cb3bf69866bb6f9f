#!/usr/bin/env bash
# Times the real 32-bit installer under Wine on kits whose type 0 table never
# matches, against "TOTAL_NUM" (10 entries) and against the number of
# entries (TOTAL_NUM equal to it). Each figure is the median of three runs,
# less the median of a run whose tag check fails (Wine's start-up and the
# firmware report). Needs the build of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
# Which machine and which qemu-user gave these figures: under qemu the
# program's own work is emulated and the system's is not.
source scripts/i386-lib.sh
describe_i386
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"
exe=$PWD/build/windows-x86/ThermalMapInstaller.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# kit TAG COUNT ENTRIES: prints a kit folder.
kit() {
  local dir="$work/$1-$2-$3"
  mkdir -p "$dir"
  cp "$exe" "$dir/"
  {
    printf '[Version]\r\nVer=%s\r\n[DMI_Type0_Table]\r\nTOTAL_NUM=%s\r\n' "$1" "$2"
    seq 1 "$3" | awk '{ printf "%d=PLATFORM%d\r\n", $1, $1 }'
  } >"$dir/KORVPlatformTable.ini"
  echo "$dir"
}

# seconds KIT: the median time of three runs.
seconds() {
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    (cd "$1" && scripts_dir="$OLDPWD/scripts" && "$scripts_dir/run-with-firmware.sh" Vendor UNLISTED.01 01/01/2026 \
      wine ThermalMapInstaller.exe -I >/dev/null </dev/null)
    wineserver -w
    end=$(date +%s.%N)
    echo "$end - $start" | bc
  done | sort -n | sed -n 2p
}

base=$(seconds "$(kit Other 1 1)")
echo "baseline (tag mismatch): $base s"
echo "TOTAL_NUM with 10 entries:"
for count in 1 1000 1000000 2147483647; do
  echo "  $count: $(echo "$(seconds "$(kit Morlane_V4.0.0.4 "$count" 10)") - $base" | bc) s"
done
echo "entries (TOTAL_NUM equal):"
for entries in 10 1000 10000 100000; do
  echo "  $entries: $(echo "$(seconds "$(kit Morlane_V4.0.0.4 "$entries" "$entries")") - $base" | bc) s"
done
