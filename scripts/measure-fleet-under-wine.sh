#!/usr/bin/env bash
# Times the real 32-bit checker under Wine on a folder of COUNT dumps
# (default 10,000) of 18 machines, as CSV, against the floor: a program that
# only lists the folder and reads every file whole. The two run in turn,
# PAIRS times (default 5), with one warm wineserver; prints each pair and the
# median ratios of wall time and of the programs' CPU time. Needs the
# windows-x86 build.
# Usage: scripts/measure-fleet-under-wine.sh [COUNT] [PAIRS]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
pairs=${2:-5}
export WINEPREFIX=$PWD/build/wine-prefix-measure WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"
work=$(mktemp -d)
trap 'wineserver -k || true; rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
cp build/windows-x86/ThermalMapCheck.exe build/windows-x86/read_folder_floor.exe "$work/kit/"
python3 scripts/make-fleet.py "$work/kit/fleet" "$count"

# timed COMMAND...: "WALL CPU" of one run in seconds, CPU being the user and
# system time of the program's own processes (the wineserver's aside).
timed() {
  (cd "$work/kit" && python3 -c '
import resource, subprocess, sys, time
start = time.monotonic()
with open(sys.argv[1], "wb") as out, open(sys.argv[2], "wb") as err:
    subprocess.run(sys.argv[3:], stdout=out, stderr=err, stdin=subprocess.DEVNULL)
wall = time.monotonic() - start
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f %.3f" % (wall, used.ru_utime + used.ru_stime))' "$work/out" "$work/err" "$@")
}
wineserver -k 2>/dev/null || true
wineserver -p
# The first runs start Wine's services and fill the file cache.
timed wine read_folder_floor.exe fleet >/dev/null
timed wine ThermalMapCheck.exe --firmware fleet --format csv >/dev/null
walls=() cpus=()
for ((i = 1; i <= pairs; ++i)); do
  read -r floor floor_cpu < <(timed wine read_folder_floor.exe fleet)
  read -r check check_cpu < <(timed wine ThermalMapCheck.exe --firmware fleet --format csv)
  rows=$(($(wc -l <"$work/out") - 1))
  read -r wall cpu < <(python3 -c "print(round($check / $floor, 2), round($check_cpu / $floor_cpu, 2))")
  walls+=("$wall") cpus+=("$cpu")
  echo "pair $i: floor ${floor} s (CPU ${floor_cpu} s), checker ${check} s (CPU ${check_cpu} s, ${rows} rows): ratio ${wall}, CPU ${cpu}"
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
echo "median ratio: $(median "${walls[@]}"), CPU $(median "${cpus[@]}")"
