#!/usr/bin/env bash
# Times the real 32-bit checker under Wine on an inventory export of 100,000
# rows with about 20,000 distinct BIOS versions (scripts/make-inventory.py,
# a fixed seed), as CSV, with one warm wineserver: each program given (by
# default the one the windows-x86 build made; give an older build's too, to
# compare) runs in turn, PAIRS times (default 3). Prints each run and the
# median of each program.
# Usage: scripts/measure-inventory-under-wine.sh [PAIRS] [CHECKER_EXE...]
set -euo pipefail
cd "$(dirname "$0")/.."
# Which machine and which qemu-user gave these figures: under qemu the
# program's own work is emulated and the system's is not.
source scripts/i386-lib.sh
describe_i386
pairs=${1:-3}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("$PWD/build/windows-x86/ThermalMapCheck.exe")
export WINEPREFIX=$PWD/build/wine-prefix-measure WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"
work=$(mktemp -d)
trap 'wineserver -k || true; rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
python3 scripts/make-inventory.py "$work/kit/inventory.csv" 100000 28000 1
for i in "${!programs[@]}"; do cp "${programs[$i]}" "$work/kit/checker$i.exe"; done

# seconds PROGRAM: the wall time of one run.
seconds() {
  (cd "$work/kit" && python3 -c '
import subprocess, sys, time
start = time.monotonic()
with open("out.csv", "wb") as out:
    subprocess.run(["wine", sys.argv[1], "--firmware", "inventory.csv", "--format", "csv"],
                   stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
print("%.2f" % (time.monotonic() - start))' "$1")
}
wineserver -k 2>/dev/null || true
wineserver -p
for i in "${!programs[@]}"; do seconds "checker$i.exe" >/dev/null; done
declare -A times
for ((pair = 1; pair <= pairs; ++pair)); do
  for i in "${!programs[@]}"; do
    time=$(seconds "checker$i.exe")
    times[$i]="${times[$i]:-} $time"
    echo "run $pair, ${programs[$i]}: $time s, $(($(wc -l <"$work/kit/out.csv") - 1)) rows"
  done
done
for i in "${!programs[@]}"; do
  # shellcheck disable=SC2086
  echo "${programs[$i]}: median $(printf '%s\n' ${times[$i]} | sort -n | sed -n "$(((pairs + 1) / 2))p") s"
done
