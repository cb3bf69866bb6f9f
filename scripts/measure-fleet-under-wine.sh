#!/usr/bin/env bash
# Times the real 32-bit checker under Wine on a folder of COUNT dumps
# (default 10,000) of 18 machines, as CSV, against the floor: a program that
# only lists the folder and reads every file whole. With --rows the folder
# holds COUNT one-row files instead, as each machine of a fleet writes its
# own row to a share (the installed maps' hashes, in the encodings
# PowerShell writes), judged against the example kit's next release with
# the example kit as the baseline. Each round runs the floor, the checker
# with its rows to a file, and the checker with its rows to /dev/null (a
# character device, as a console and NUL are on Windows), PAIRS rounds
# (default 5), with one warm wineserver; prints each round and the median
# ratios of wall time and of the programs' CPU time, both ways.
# Needs the windows-x86 build; CHECKER_EXE names another checker to time,
# such as an earlier commit's.
# Usage: scripts/measure-fleet-under-wine.sh [COUNT] [PAIRS] [--rows]
set -euo pipefail
cd "$(dirname "$0")/.."
# Which machine and which qemu-user gave these figures: under qemu the
# program's own work is emulated and the system's is not.
source scripts/i386-lib.sh
describe_i386
count=${1:-10000}
pairs=${2:-5}
export WINEPREFIX=$PWD/build/wine-prefix-measure WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"
work=$(mktemp -d)
trap 'wineserver -k || true; rm -rf "$work"' EXIT
cp -r examples/kit "$work/example"
if [ "${3:-}" == --rows ]; then
  scripts/make-next-kit.sh "$work/kit"
  python3 scripts/make-inventory.py "$work/kit/fleet" "$count" 2000 --share --hashes examples/kit "$work/kit"
  baseline=(--baseline-kit ../example)
else
  cp -r examples/kit "$work/kit"
  python3 scripts/make-fleet.py "$work/kit/fleet" "$count"
  baseline=()
fi
cp "${CHECKER_EXE:-build/windows-x86/ThermalMapCheck.exe}" "$work/kit/ThermalMapCheck.exe"
cp build/windows-x86/read_folder_floor.exe "$work/kit/"

# timed OUT COMMAND...: "WALL CPU" of one run in seconds, its standard output
# to file OUT, CPU being the user and system time of the program's own
# processes (the wineserver's aside).
timed() {
  (cd "$work/kit" && python3 -c '
import resource, subprocess, sys, time
start = time.monotonic()
with open(sys.argv[1], "wb") as out, open(sys.argv[2], "wb") as err:
    subprocess.run(sys.argv[3:], stdout=out, stderr=err, stdin=subprocess.DEVNULL)
wall = time.monotonic() - start
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f %.3f" % (wall, used.ru_utime + used.ru_stime))' "$1" "$work/err" "${@:2}")
}
wineserver -k 2>/dev/null || true
wineserver -p
check=(wine ThermalMapCheck.exe "${baseline[@]}" --firmware fleet --format csv)
# The first runs start Wine's services and fill the file cache.
timed /dev/null wine read_folder_floor.exe fleet >/dev/null
timed /dev/null "${check[@]}" >/dev/null
ratio() { python3 -c "print(round($1 / $2, 2))"; }
file_walls=() file_cpus=() null_walls=() null_cpus=()
for ((i = 1; i <= pairs; ++i)); do
  read -r floor floor_cpu < <(timed "$work/out" wine read_folder_floor.exe fleet)
  read -r to_file to_file_cpu < <(timed "$work/out" "${check[@]}")
  rows=$(($(wc -l <"$work/out") - 1))
  read -r to_null to_null_cpu < <(timed /dev/null "${check[@]}")
  file_walls+=("$(ratio "$to_file" "$floor")") file_cpus+=("$(ratio "$to_file_cpu" "$floor_cpu")")
  null_walls+=("$(ratio "$to_null" "$floor")") null_cpus+=("$(ratio "$to_null_cpu" "$floor_cpu")")
  echo "round $i: floor ${floor} s (CPU ${floor_cpu} s); checker to a file ${to_file} s (CPU ${to_file_cpu} s," \
       "${rows} rows): ratio ${file_walls[-1]}, CPU ${file_cpus[-1]}; to /dev/null ${to_null} s" \
       "(CPU ${to_null_cpu} s): ratio ${null_walls[-1]}, CPU ${null_cpus[-1]}"
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
echo "median ratio, rows to a file: $(median "${file_walls[@]}"), CPU $(median "${file_cpus[@]}")"
echo "median ratio, rows to /dev/null: $(median "${null_walls[@]}"), CPU $(median "${null_cpus[@]}")"
