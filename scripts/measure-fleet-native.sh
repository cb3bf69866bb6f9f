#!/usr/bin/env bash
# Times the native checker on a folder of COUNT dumps (default 10,000) of 18
# machines, as CSV, against `cat` of the same files to /dev/null, PAIRS
# times in turn (default 9); prints each pair and the median ratio. Needs
# the linux build (cmake --preset linux && cmake --build --preset linux).
# Usage: scripts/measure-fleet-native.sh [COUNT] [PAIRS]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
pairs=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
python3 scripts/make-fleet.py "$work/kit/fleet" "$count"
checker=$PWD/build/linux/thermalmapcheck
seconds() {  # seconds COMMAND: the wall time of one run of a shell command
  python3 -c '
import subprocess, sys, time
start = time.monotonic()
subprocess.run(["bash", "-c", sys.argv[1]], check=True)
print("%.4f" % (time.monotonic() - start))' "$1"
}
cd "$work/kit"
# The first runs fill the file cache.
seconds "cat fleet/* >/dev/null" >/dev/null
seconds "$checker --kit . --firmware fleet --format csv >/dev/null || true" >/dev/null
ratios=()
for ((i = 1; i <= pairs; ++i)); do
  cat_time=$(seconds "cat fleet/* >/dev/null")
  check_time=$(seconds "$checker --kit . --firmware fleet --format csv >/dev/null || true")
  ratio=$(python3 -c "print(round($check_time / $cat_time, 2))")
  ratios+=("$ratio")
  echo "pair $i: cat ${cat_time} s, checker ${check_time} s, ratio ${ratio}"
done
echo "median ratio: $(printf '%s\n' "${ratios[@]}" | sort -n | sed -n "$(((pairs + 1) / 2))p")"
