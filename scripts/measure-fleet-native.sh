#!/usr/bin/env bash
# Times the native checker on two folders, as CSV, each against reading the
# same files to /dev/null, PAIRS times in turn (default 9), and prints each
# pair and the median ratio:
# - COUNT dumps (default 10,000) of 18 machines, against `cat fleet/*`;
# - ROWS one-row files (default 100,000), as each machine of a fleet writes
#   its own row to a share (the installed maps' hashes, in the encodings
#   PowerShell writes), judged against the example kit's next release with
#   the example kit as the baseline, against `find DIR -type f -exec cat {} +`.
# Needs the linux build (cmake --preset linux && cmake --build --preset linux).
# Usage: scripts/measure-fleet-native.sh [COUNT] [PAIRS] [ROWS]
set -euo pipefail
cd "$(dirname "$0")/.."
# Which machine and which qemu-user gave these figures: under qemu the
# program's own work is emulated and the system's is not.
source scripts/i386-lib.sh
describe_i386
count=${1:-10000}
pairs=${2:-9}
rows=${3:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
scripts/make-next-kit.sh "$work/next"
python3 scripts/make-fleet.py "$work/kit/fleet" "$count"
python3 scripts/make-inventory.py "$work/share" "$rows" 2000 --share --hashes examples/kit "$work/next"
checker=$PWD/build/linux/thermalmapcheck
seconds() {  # seconds COMMAND: the wall time of one run of a shell command
  python3 -c '
import subprocess, sys, time
start = time.monotonic()
subprocess.run(["bash", "-c", sys.argv[1]], check=True)
print("%.4f" % (time.monotonic() - start))' "$1"
}
# compare NAME FLOOR CHECKER: the checker's time over the floor's, PAIRS times.
compare() {
  local ratios=() floor_time check_time ratio
  # The first runs fill the file cache.
  seconds "$2" >/dev/null
  seconds "$3" >/dev/null
  for ((i = 1; i <= pairs; ++i)); do
    floor_time=$(seconds "$2")
    check_time=$(seconds "$3")
    ratio=$(python3 -c "print(round($check_time / $floor_time, 2))")
    ratios+=("$ratio")
    echo "$1, pair $i: floor ${floor_time} s, checker ${check_time} s, ratio ${ratio}"
  done
  echo "$1: median ratio $(printf '%s\n' "${ratios[@]}" | sort -n | sed -n "$(((pairs + 1) / 2))p")"
}
cd "$work"
compare "$count dumps" "cat kit/fleet/* >/dev/null" \
  "$checker --kit kit --firmware kit/fleet --format csv >/dev/null || true"
compare "$rows one-row files" "find share -type f -exec cat {} + >/dev/null" \
  "$checker --kit next --baseline-kit kit --firmware share --format csv >/dev/null || true"
