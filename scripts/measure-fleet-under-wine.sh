#!/usr/bin/env bash
# Times the real 32-bit checker under Wine on the example kit: one dump, then
# a folder of COUNT dumps (default 10,000) of 100 distinct machines, as CSV.
# Prints both times and their ratio. Needs the build of scripts/test.sh.
# Usage: scripts/measure-fleet-under-wine.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
export WINEPREFIX=$PWD/build/wine-prefix-measure WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
cp build/windows-x86/ThermalMapCheck.exe "$work/kit/"
python3 - "$work/kit" "$count" <<'PY'
import os, struct, sys
kit, count = sys.argv[1], int(sys.argv[2])
def dump(version):
    strings = [b"Contoso", version, b"12/01/2026"]
    bios = bytes([0, 24, 0, 0, 1, 2, 0, 0xE8, 3, 0] + [0] * 10 + [1, 2, 3, 4])
    table = bios + b"".join(s + b"\0" for s in strings) + b"\0" + bytes([127, 4, 0xFF, 0xFF, 0, 0])
    return struct.pack("<BBBBI", 0, 3, 2, 0, len(table)) + table
open(os.path.join(kit, "one.bin"), "wb").write(dump(b"MRL01.0105"))
os.mkdir(os.path.join(kit, "fleet"))
for i in range(count):
    version = b"MRL%02d.%04d" % (1 + i % 2, i % 100)
    open(os.path.join(kit, "fleet", "machine%05d.bin" % i), "wb").write(dump(version))
PY
seconds() {  # seconds COMMAND...: the wall time of one run, in seconds
  local start end
  start=$(date +%s.%N)
  (cd "$work/kit" && "$@" >"$work/out" 2>"$work/err" </dev/null) || true
  wineserver -w
  end=$(date +%s.%N)
  python3 -c "print(round($end - $start, 1))"
}
# The first run in a prefix also starts Wine's services for the first time.
seconds wine ThermalMapCheck.exe --firmware one.bin >/dev/null
single=$(seconds wine ThermalMapCheck.exe --firmware one.bin)
fleet=$(seconds wine ThermalMapCheck.exe --firmware fleet --format csv)
rows=$(($(wc -l <"$work/out") - 1))
echo "one dump: ${single} s; ${count} dumps (${rows} rows): ${fleet} s; ratio $(python3 -c "print(round($fleet / $single, 2))")"
