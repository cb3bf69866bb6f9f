#!/usr/bin/env bash
# Builds the programs and runs the installer under Wine with -I from the
# example kit, on a machine whose firmware reports the example BIOS strings
# below; then the checker from the kit shows what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows-x86
cmake --build --preset windows-x86
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all
scripts/setup-wine.sh "$WINEPREFIX"

# A real Windows has the driver directory; a new Wine prefix does not.
umdf=$WINEPREFIX/drive_c/windows/system32/drivers/UMDF
mkdir -p "$umdf"
rm -f "$umdf/ThermalMap_AC.ini" "$umdf/ThermalMap_DC.ini"

kit=build/demo-kit
rm -rf "$kit"
cp -r examples/kit "$kit"
cp build/windows-x86/ThermalMapInstaller.exe build/windows-x86/ThermalMapCheck.exe "$kit/"
(cd "$kit" && ../../scripts/run-with-firmware.sh "Contoso Ltd" "MRL01.0105" "12/01/2026" \
   wine ThermalMapInstaller.exe -I >report.txt </dev/null)
wineserver -w
cat "$kit/report.txt"
for map in ThermalMap_AC.ini ThermalMap_DC.ini; do
  echo '--- installed C:\Windows\System32\drivers\UMDF\'"$map:"
  cat "$umdf/$map" 2>/dev/null || echo "(not installed)"
done

echo '--- ThermalMapCheck.exe after the install:'
status=0
(cd "$kit" && ../../scripts/run-with-firmware.sh "Contoso Ltd" "MRL01.0105" "12/01/2026" \
   wine ThermalMapCheck.exe >check.txt </dev/null) || status=$?
wineserver -w
cat "$kit/check.txt"
echo "(exit status $status)"

echo '--- thermalmapcheck, the native checker, on the example kit with the same machine:'
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
python3 - "$kit/machine.bin" <<'PY'
import struct, sys
strings = [b"Contoso Ltd", b"MRL01.0105", b"12/01/2026"]
bios = bytes([0, 24, 0, 0, 1, 2, 0, 0xE8, 3, 0] + [0] * 10 + [0xFF] * 4)
table = bios + b"".join(s + b"\0" for s in strings) + b"\0" + bytes([127, 4, 0xFF, 0xFF, 0, 0])
open(sys.argv[1], "wb").write(struct.pack("<BBBBI", 0, 2, 4, 0, len(table)) + table)
PY
status=0
(cd "$kit" && ../linux/thermalmapcheck --kit . --firmware machine.bin) || status=$?
echo "(exit status $status)"

echo '--- the fleet page: 180 dumps of 18 machines and a file that is none, judged by the example kit'
rm -rf "$kit/fleet"
python3 scripts/make-fleet.py "$kit/fleet" 180
printf 'not a table\r\n' >"$kit/fleet/notes.txt"
status=0
(cd "$kit" && ../linux/thermalmapcheck --kit . --firmware fleet --format html >fleet.html 2>/dev/null) || status=$?
echo "wrote $PWD/$kit/fleet.html (exit status $status); open it in a browser"
