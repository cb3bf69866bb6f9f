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
  "1 1 1 1" "$(json "$work/out" "' '.join(map(str, [len(d['summary']['folders']), d['summary']['undecided'], d['exit_status']]))") $(grep -c 'has no platform_name column' "$work/err")"

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

# After the release went out, each machine wrote its own row to a share as
# the checker writes it: as PowerShell writes files, UTF-8 with a byte-order
# mark or UTF-16, beside a dump and a row of the native checker, which
# cannot see the maps. Judged against the release, with the kit it
# replaced as the baseline.
share="$work/share"
mkdir "$share"
hash_of() { sha256sum <"$1" | cut -d' ' -f1; }
new_ac=$(hash_of "$work/shipping/MRL01/ThermalMap_AC.ini")
old_ac=$(hash_of "$repo/examples/kit/MRL01/ThermalMap_AC.ini")
mrl01_dc=$(hash_of "$repo/examples/kit/MRL01/ThermalMap_DC.ini")
mrl02_ac=$(hash_of "$repo/examples/kit/MRL02/ThermalMap_AC.ini")
header=name,bios_version,platform_name,token,table,key,folder,ac_installed,dc_installed,ac_sha256,dc_sha256,error
row() { printf '%s\r\n%s,%s,,,,,,%s,%s,%s,%s,\r\n' "$header" "$@"; }
utf16() { iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; }; }
{ printf '\xef\xbb\xbf'; row PC1 MRL01.0105 "in place" "in place" "$new_ac" "$mrl01_dc"; } >"$share/PC1.csv"
row PC2 MRL01.0105 "in place" "in place" "$old_ac" "$mrl01_dc" | utf16 >"$share/PC2.csv"
row PC3 QX70.0203.A "differs" "not installed" "${new_ac^^}" "" | utf16 >"$share/PC3.csv"
row PC4 MRL01.0105 "differs" "differs" "$mrl02_ac" "$(printf 'nobody' | sha256sum | cut -d' ' -f1)" >"$share/PC4.csv"
row PC5 MRL01.0105 "" "" "" "" >"$share/PC5.csv"
cp "$work/dumps/machine00000.bin" "$share/"
# verify FILE ARGS...: the share judged, into FILE; the exit status in $status.
verify() {
  status=0
  "$NATIVE_CHECKER" --kit "$work/shipping" --baseline-kit "$repo/examples/kit" --firmware "$share" "${@:2}" \
    >"$1" 2>/dev/null || status=$?
}
verify "$work/verified.csv" --format csv
check "a share of rows: each machine's maps, exit 1" \
  "PC1 in place in place|PC2 baseline in place|PC3 other map not installed|PC4 other map differs|PC5  |machine00000.bin  |1" \
  "$(python3 -c 'import csv, sys
print("|".join(" ".join([r["name"], r["ac_installed"], r["dc_installed"]]) for r in csv.DictReader(open(sys.argv[1]))))' "$work/verified.csv")|$status"
verify "$work/verified.json" --format json
check "a share of rows as JSON: the states of each map, and which map another is" \
  "4 {'in place': 1, 'baseline': 1, 'other map': 2, 'differs': 0, 'not installed': 0, 'unreadable': 0} {'in place': 2, 'baseline': 0, 'other map': 0, 'differs': 1, 'not installed': 1, 'unreadable': 0} $repo/examples/kit MRL02 ThermalMap_AC.ini" \
  "$(json "$work/verified.json" "' '.join(map(str, [d['summary']['installed']['machines'], d['summary']['installed']['ThermalMap_AC.ini'], d['summary']['installed']['ThermalMap_DC.ini']] + list(d['machines'][3]['maps'][0]['other_map'].values())))")"

# An export too large for one run, cut by GNU parallel into chunks that
# each carry the header, judged on all cores (or hosts, with --sshlogin):
# the first chunk's rows come with the header, the others without.
python3 "$repo/scripts/make-inventory.py" "$work/1m.csv" 1000000 2000
"$NATIVE_CHECKER" --kit "$repo/examples/kit" --firmware "$work/1m.csv" --format csv >"$work/1m-whole.csv" || true
parallel --pipe --header : --keep-order \
  "$NATIVE_CHECKER --kit $repo/examples/kit --firmware - --format csv \$([ {#} -eq 1 ] || echo --no-header)" \
  <"$work/1m.csv" >"$work/1m-parallel.csv" || true
check "GNU parallel's chunks give the CSV of one run" \
  "$(sha256sum <"$work/1m-whole.csv") 1000001" "$(sha256sum <"$work/1m-parallel.csv") $(wc -l <"$work/1m-parallel.csv")"

deb=$(ls "$repo"/build/linux/thermalmapcheck_*_amd64.deb)
check "the package holds the program and its README" \
  "./usr/bin/thermalmapcheck ./usr/share/doc/thermalmapcheck/README.md" \
  "$(dpkg-deb --contents "$deb" | awk '$NF !~ /\/$/ {print $NF}' | xargs)"
check "the package depends on glibc alone" "libc6" \
  "$(dpkg-deb -f "$deb" Depends | grep -o 'lib[a-z0-9]*' | xargs)"
check "the packaged program's shared libraries: glibc's alone" "" \
  "$(objdump -p "$repo/build/linux/thermalmapcheck" |
     awk '$1 == "NEEDED" && $2 !~ /^(libc|libm|ld-linux-x86-64)\.so/ {print $2}' | xargs)"

# The roll call of a share and a collection, both as PowerShell 5.1's
# Export-Csv -Encoding Unicode writes them: UTF-16 with a "#TYPE" line.
python3 - "$work" <<'PY'
import sys
def export(path, lines):
    open(path, "w", encoding="utf-16", newline="").write("\r\n".join(lines) + "\r\n")
export(sys.argv[1] + "/share.csv", ["#TYPE Selected.System.Management.ManagementObject", '"name","bios_version","written"',
       '"PC-1","QX77.0101","2026-12-01T08:00:00Z"', '"pc-2","QX77.0101","2020-01-01T08:00:00Z"', '"PC-9","QX77.0101",""',
       '"PC-1","QX77.0101","2026-11-01T08:00:00Z"', '"pc-2","QX77.0101","2026-12-05T08:00:00Z"'])
export(sys.argv[1] + "/collection.csv", ["#TYPE System.Management.Automation.PSCustomObject", '"Name","Site"',
       '"pc-1","A"', '"PC-2","A"', '"PC-3","B"'])
PY
status=0
"$NATIVE_CHECKER" --kit "$kit" --firmware "$work/share.csv" --expect "$work/collection.csv" --max-age 365 \
  --format json >"$work/out" 2>"$work/err" || status=$?
check "a PowerShell share and collection: machines by their latest rows, exit 1, the unexpected named" \
  "1 {'reported': 3, 'without_written': 1, 'repeated': 2, 'repeated_names': ['PC-1', 'pc-2'], 'superseded': 2, 'changed': 0, 'stale': 0, 'stale_names': [], 'expected': 3, 'missing': 1, 'missing_names': ['PC-3'], 'unexpected': 1, 'unexpected_names': ['PC-9']} 1" \
  "$status $(json "$work/out" "d['summary']['roll_call']") $(grep -c 'PC-9' "$work/err")"
# Standard input is read twice, from the bytes kept the first time.
"$NATIVE_CHECKER" --kit "$kit" --firmware - --expect "$work/collection.csv" --format csv <"$work/share.csv" \
  >"$work/out" 2>/dev/null || true
check "a row superseded by a later row of standard input says which" \
  'pc-2,,,,,,,,,,,,,"superseded by the row of standard input line 7, written 2026-12-05T08:00:00Z"' \
  "$(grep '^pc-2,,' "$work/out")"
"$NATIVE_CHECKER" --kit "$kit" --firmware "$work/share.csv" --expect <(printf 'PC-1\n') --format json >"$work/out" 2>/dev/null || true
check "an expected list from a pipe is read whole" "1" "$(json "$work/out" "d['summary']['roll_call']['expected']")"
finish
