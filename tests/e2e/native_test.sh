#!/usr/bin/env bash
# The native checker on its own: this machine's table from /sys/firmware
# (given in a private mount namespace), --dump, a firmware that cannot be
# read, a kit folder whose letter case differs from its entry, and the
# package.
source "$(dirname "$0")/test-lib.sh"
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
json() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$@"; }

# A kit that lists QX77, whose folder is written "qx77", as a kit made on
# Windows may be.
kit="$work/kit"
mkdir -p "$kit/qx77"
printf '[Version]\r\nVer=Morlane_V4.0.0.4\r\n[DMI_Type0_Table]\r\nTOTAL_NUM=1\r\n1=QX77\r\n' >"$kit/KORVPlatformTable.ini"
printf 'AC\r\n' >"$kit/qx77/ThermalMap_AC.ini"
printf 'DC\r\n' >"$kit/qx77/ThermalMap_DC.ini"

# This machine's entry point and table as Linux gives them: SMBIOS 3.5,
# the table shorter than the entry point's largest size.
python3 - "$work" <<'PY'
import struct, sys
def structure(formatted, strings):
    formatted[1] = len(formatted)
    return bytes(formatted) + b"".join(s + b"\0" for s in strings) + b"\0"
table = structure([0, 0, 0, 0, 1, 2, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4],
                  [b"Contoso", b"QX77.0101", b"12/01/2026"]) + bytes([127, 4, 0xFF, 0xFF, 0, 0])
entry = bytearray(0x18); entry[0:5] = b"_SM3_"; entry[6:10] = bytes([0x18, 3, 5, 0])
struct.pack_into("<IQ", entry, 0x0C, len(table) + 100, 0x7F000000)
out = sys.argv[1]
open(out + "/smbios_entry_point", "wb").write(bytes(entry))
open(out + "/DMI", "wb").write(table)
open(out + "/expected.bin", "wb").write(struct.pack("<BBBBI", 0, 3, 5, 0, len(table)) + table)
PY
# in_firmware COMMAND...: COMMAND with the work folder's entry point and
# table (when there) in /sys/firmware/dmi/tables.
in_firmware() {
  unshare -m bash -c '
    set -euo pipefail
    mount -t tmpfs none /sys/firmware
    mkdir -p /sys/firmware/dmi/tables
    cp "$0"/smbios_entry_point "$0"/DMI /sys/firmware/dmi/tables/ 2>/dev/null || true
    exec "$@"' "$work" "$@"
}
status=0
in_firmware "$NATIVE_CHECKER" --kit "$kit" --format json >"$work/out" || status=$?
check "this machine: the decision, installed null, exit 0" \
  "QX77.0101 $kit/QX77 [True, True] [None, None] 0 0" \
  "$(json "$work/out" "' '.join(map(str, [d['bios_version'], d['folder'], [m['source_exists'] for m in d['maps']], [m['installed'] for m in d['maps']], d['exit_status']]))") $status"
in_firmware "$NATIVE_CHECKER" --dump "$work/dump.bin" >/dev/null
check "--dump writes the block Windows gives" "$(sha256sum <"$work/expected.bin")" "$(sha256sum <"$work/dump.bin")"
rm "$work/smbios_entry_point" "$work/DMI"
status=0
in_firmware "$NATIVE_CHECKER" --kit "$kit" >"$work/out" 2>"$work/err" || status=$?
check "no readable table: exit 3, nothing on stdout, --firmware named" "3 0 1" \
  "$status $(wc -c <"$work/out") $(grep -c -- '--firmware' "$work/err")"

# An inventory judged in chunks from standard input, each with its header,
# as engines that pipe records through a program run it: the rows of the
# chunks are the rows of the whole.
python3 "$repo/scripts/make-inventory.py" "$work/fleet.csv" 2000 300
"$NATIVE_CHECKER" --kit "$repo/examples/kit" --firmware "$work/fleet.csv" --format csv >"$work/whole.csv" || true
tail -n +2 "$work/fleet.csv" | split -l 600 - "$work/chunk."
for chunk in "$work"/chunk.*; do
  { head -1 "$work/fleet.csv"; cat "$chunk"; } |
    "$NATIVE_CHECKER" --kit "$repo/examples/kit" --firmware - --format csv | tail -n +2 || true
done >"$work/chunks.csv"
check "chunks through standard input give the rows of the whole" \
  "$(tail -n +2 "$work/whole.csv" | sha256sum) 2000" "$(sha256sum <"$work/chunks.csv") $(wc -l <"$work/chunks.csv")"

# PowerShell 5.1's export of Win32_BIOS: UTF-16, a #TYPE line, no platform
# names. A prefix the kit lists decides; the others are undecided.
printf '#TYPE Selected.System.Management.ManagementObject\r\n"PSComputerName","SMBIOSBIOSVersion"\r\n"PC1","MRL01.0105"\r\n"PC2","QX70.0203.A"\r\n' |
  iconv -f UTF-8 -t UTF-16 >"$work/bios.csv"
status=0
"$NATIVE_CHECKER" --kit "$repo/examples/kit" --firmware - --format json <"$work/bios.csv" >"$work/out" 2>"$work/err" || status=$?
check "an export without platform names: one folder, one undecided, exit 1, said once" \
  "1 1 1 1" "$(json "$work/out" "' '.join(map(str, [len(d['summary']['folders']), d['summary']['undecided'], d['exit_status']]))") $(grep -c 'no platform names' "$work/err")"

# Before a kit ships: the example kit against a copy with an entry added
# (QX70, the maps of MRL01), one dropped (MRL02) and one map edited
# (MRL01's AC), over a crafted fleet.
bash "$repo/scripts/make-next-kit.sh" "$work/shipping"
python3 "$repo/scripts/make-fleet.py" "$work/dumps" 36
plan() { "$NATIVE_CHECKER" --kit "$work/shipping" --baseline-kit "$repo/examples/kit" --firmware "$work/dumps" "$@" 2>/dev/null || true; }
plan --format csv >"$work/plan.csv"
check "a plan as CSV: the changes of each machine" "added 2|changed 4|removed 2|unchanged 28" \
  "$(python3 -c 'import collections, csv, sys
counts = collections.Counter(row["change"] for row in csv.DictReader(open(sys.argv[1])))
print("|".join("%s %d" % item for item in sorted(counts.items())))' "$work/plan.csv")"
plan --format json >"$work/plan.json"
check "a plan as JSON: the counts and the moves" \
  "{'unchanged': 28, 'added': 2, 'removed': 2, 'changed': 4, 'undecided': 0} MRL01>MRL01:4:changed None>QX70:2:added MRL02>None:2:removed" \
  "$(json "$work/plan.json" "str(d['summary']['changes']) + ' ' + ' '.join('%s>%s:%d:%s' % (m['from'], m['to'], m['machines'], m['change']) for m in d['summary']['moves'])")"

deb=$(ls "$repo"/build/linux/thermalmapcheck_*_amd64.deb)
check "the package holds the program and its README" \
  "./usr/bin/thermalmapcheck ./usr/share/doc/thermalmapcheck/README.md" \
  "$(dpkg-deb --contents "$deb" | awk '$NF !~ /\/$/ {print $NF}' | xargs)"
check "the package depends on glibc and OpenSSL's libcrypto" "libc6 libssl3" \
  "$(dpkg-deb -f "$deb" Depends | grep -o 'lib[a-z0-9]*' | xargs)"
check "the packaged program's shared libraries beyond glibc's: libcrypto alone" "libcrypto.so.3" \
  "$(objdump -p "$repo/build/linux/thermalmapcheck" |
     awk '$1 == "NEEDED" && $2 !~ /^(libc|libm|ld-linux-x86-64)\.so/ {print $2}' | xargs)"
finish
