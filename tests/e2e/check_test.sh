#!/usr/bin/env bash
# The checker, the real 32-bit program under Wine, beside the installer in a
# kit: the same report, the state of the maps before and after an install
# (the machine's own row, with their hashes), a wrong kit, and replays of
# crafted firmware files in the three formats.
source "$(dirname "$0")/wine-lib.sh"
: "${CHECKER_EXE:?the cross-built ThermalMapCheck.exe}"
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umdf="$WINEPREFIX/drive_c/windows/system32/drivers/UMDF"
rm -rf "$umdf"
mkdir -p "$umdf"

# new_kit NAME TAG: a kit whose type 0 table lists ZX81 and QX70, each with
# its maps.
new_kit() {
  local kit="$work/$1"
  mkdir -p "$kit"
  printf '[Version]\r\nVer=%s\r\n[DMI_Type0_Table]\r\nTOTAL_NUM=2\r\n1=QX70\r\n2=ZX81\r\n' "$2" \
    >"$kit/KORVPlatformTable.ini"
  for platform in QX70 ZX81; do
    mkdir -p "$kit/$platform"
    printf '[Limits]\r\nMap=%s AC\r\n' "$platform" >"$kit/$platform/ThermalMap_AC.ini"
    printf '[Limits]\r\nMap=%s DC\r\n' "$platform" >"$kit/$platform/ThermalMap_DC.ini"
  done
  cp "$CHECKER_EXE" "$kit/ThermalMapCheck.exe"
  echo "$kit"
}

# check_in KIT [ARGS...]: the checker from KIT on this machine, whose BIOS
# version is ZX81.0203.A.
check_in() { run_in_kit "$1" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" ThermalMapCheck.exe "${@:2}"; }
masked() { sed -E 's/(DMI at address )[0-9A-F]{8}/\1ADDRESS/'; }
# The checker's text output begins with the report, closed by a blank line.
report_part() { sed '/^\r$/,$d' "$1" | masked; }
# json FILE EXPRESSION: the expression over the JSON object d in FILE.
json() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$@"; }
kit_path() { printf 'Z:%s' "${1//\//\\}"; }
# same_as_native NAME KIT ARGS...: the native checker, from KIT with the same
# ARGS, gives the output of the checker's last run there, once paths are
# POSIX paths, lines end in LF and the report's address is masked.
same_as_native() {
  local name=$1 kit=$2
  shift 2
  (cd "$kit" && "$NATIVE_CHECKER" --kit "$kit" "$@" >"$kit/native" 2>/dev/null <"${STDIN:-/dev/null}") || true
  check "$name: the native checker's output is the same" "$(normalized "$kit/stdout" windows)" \
    "$(normalized "$kit/native" native)"
}
normalized() {
  python3 - "$@" <<'PY'
import json, re, sys
text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
def norm(s):
    s = re.sub(r"DMI at address [0-9A-F]+", "DMI at address ADDRESS", s)
    # The run's time, and the program's own name in the summary's head.
    s = re.sub(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", "TIME", s).replace("by ThermalMapCheck ", "by thermalmapcheck ")
    return s.replace("Z:\\", "/").replace("\\", "/") if sys.argv[2] == "windows" else s
try:
    print(json.dumps(json.loads(text, object_hook=lambda d: {k: norm(v) if isinstance(v, str) else v for k, v in d.items()}), sort_keys=True, indent=1))
except ValueError:
    print(norm(text))
PY
}

kit=$(new_kit kit Morlane_V4.0.0.4)
check_in "$kit"
check "before the install: exit 1" 1 "$(cat "$kit/status")"
check "before the install: not installed" \
  "  ThermalMap_AC.ini: $(kit_path "$kit")\\ZX81\\ThermalMap_AC.ini exists; installed: not installed" \
  "$(grep '^  ThermalMap_AC.ini' "$kit/stdout" | tr -d '\r')"
cp "$kit/stdout" "$work/check-report"

run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "the checker's report is the installer's" "$(masked <"$kit/stdout")" \
  "$(report_part "$work/check-report")"
# The machine's own row, as each machine of a fleet writes it to a share:
# its name, the decision, and its installed maps' states and hashes.
own_row() {
  python3 -c 'import csv, sys
r = next(csv.DictReader(open(sys.argv[1], newline="")))
print(" ".join([r["name"], r["bios_version"], r["token"], r["table"], r["key"], r["platform_name"] or "-"]),
      "|".join([r["ac_installed"], r["dc_installed"], r["ac_sha256"], r["dc_sha256"]]))' "$kit/stdout"
}
hash_of() { sha256sum <"$1" | cut -d' ' -f1; }
check_in "$kit" --format csv
check "after the install: the own row, both maps in place with their hashes, exit 0" \
  "$(hostname) ZX81.0203.A ZX81 DMI_Type0_Table 2 - in place|in place|$(hash_of "$kit/ZX81/ThermalMap_AC.ini")|$(hash_of "$kit/ZX81/ThermalMap_DC.ini") 0" \
  "$(own_row) $(cat "$kit/status")"
check "the own row says when it was written, by this machine's clock" "within a minute" \
  "$(python3 -c 'import csv, datetime, sys
w = datetime.datetime.strptime(next(csv.DictReader(open(sys.argv[1], newline="")))["written"], "%Y-%m-%dT%H:%M:%SZ")
d = abs((datetime.datetime.utcnow() - w).total_seconds())
print("within a minute" if d < 60 else f"{d} s away")' "$kit/stdout")"
check_in "$kit" --version
check "--version: the name and the version" "ThermalMapCheck 1.0.0 0" \
  "$(tr -d '\r' <"$kit/stdout") $(cat "$kit/status")"

printf 'changed\r\n' >"$umdf/ThermalMap_DC.ini"
WINEDEBUG=+file check_in "$kit" --format csv
check "a changed map: differs, its new hash, exit 1" \
  "in place|differs|$(hash_of "$kit/ZX81/ThermalMap_AC.ini")|$(hash_of "$umdf/ThermalMap_DC.ini") 1" \
  "$(own_row | cut -d' ' -f7-) $(cat "$kit/status")"
# The same run, traced: the checker opens the installed maps sharing reads,
# writes and deletion, so that a check never makes the installer's
# replacement of a map fail.
check "the checker's opens of the installed maps share deletion" "sharing=00000007" \
  "$(grep 'NtCreateFile' "$kit/stderr" | grep 'UMDF' | grep -o 'sharing=[0-9a-f]*' | sort -u)"

# A map that is there but cannot be read is not "not installed".
mv "$umdf/ThermalMap_AC.ini" "$work/ac-installed"
mkdir "$umdf/ThermalMap_AC.ini"
check_in "$kit" --format csv
check "an installed map that is a folder: unreadable, and why, exit 1" \
  "unreadable|differs 1 ThermalMap_AC.ini cannot be read: a folder, not a file" \
  "$(own_row | cut -d' ' -f7 | cut -d'|' -f1-2) $(cat "$kit/status") $(python3 -c 'import csv, sys; print(next(csv.DictReader(open(sys.argv[1], newline="")))["error"])' "$kit/stdout")"
check_in "$kit" --format json
check "the same machine's JSON gives the reason" "unreadable ThermalMap_AC.ini cannot be read: a folder, not a file" \
  "$(python3 -c 'import json, sys; m = json.load(open(sys.argv[1]))["maps"][0]; print(m["installed"], m["installed_error"])' "$kit/stdout")"
rmdir "$umdf/ThermalMap_AC.ini"
mv "$work/ac-installed" "$umdf/ThermalMap_AC.ini"

kit=$(new_kit badtag Morlane_V4.0.0.3)
# Sealed by sha256sum itself, then a map changed after the release.
(cd "$kit" && { echo '# release: 2.0'; sha256sum KORVPlatformTable.ini ZX81/*.ini; } >SHA256SUMS)
echo changed >>"$kit/ZX81/ThermalMap_AC.ini"
check_in "$kit"
check "a tag mismatch and a map changed in a sealed kit: exit 2, the map named" \
  "2 SHA256SUMS:3: error kit-altered: ZX81/ThermalMap_AC.ini is not the bytes release 2.0 lists" \
  "$(cat "$kit/status") $(grep -o 'SHA256SUMS:.*' "$kit/stdout" | tr -d '\r')"
check_in "$kit" --kit=kti
check "a --kit that does not exist: exit 3, the Windows checker says so" \
  "3 ThermalMapCheck: --kit kti: no such folder" "$(cat "$kit/status") $(head -1 "$kit/stderr" | tr -d '\r')"

# A machine with two type 0 structures (the second one counts), a type 130
# platform name and no end-of-table structure, in each format.
python3 - "$work" <<'PY'
import struct, sys
def structure(formatted, strings):
    formatted[1] = len(formatted)
    return bytes(formatted) + b"".join(s + b"\0" for s in strings) + b"\0"
bios = lambda version: structure([0, 0, 0, 0, 1, 2, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4],
                                 [b"Contoso", version, b"12/01/2026"])
table = bios(b"QX70.0101") + structure([130, 0, 1, 0, 1], [b"Morlane-S"]) + bios(b"ZX81.0203.A")
out = sys.argv[1]
open(out + "/raw.bin", "wb").write(struct.pack("<BBBBI", 0, 3, 2, 0, len(table)) + table)
sm = bytearray(0x20); sm[0:4] = b"_SM_"; sm[6:8] = bytes([2, 8]); sm[0x10:0x15] = b"_DMI_"
struct.pack_into("<HI", sm, 0x16, len(table), 0x20); sm[0x1E] = 0x28
open(out + "/sm.bin", "wb").write(bytes(sm) + table)
sm3 = bytearray(0x20); sm3[0:5] = b"_SM3_"; sm3[7:10] = bytes([3, 4, 0])
# The _SM3_ entry point gives a maximum size, and real tables are shorter.
struct.pack_into("<IQ", sm3, 0x0C, len(table) + 1500, 0x20)
open(out + "/sm3.bin", "wb").write(bytes(sm3) + table)
open(out + "/DMI", "wb").write(table)
PY
# The kit with mistakes: each finding's code and line, from the JSON.
kit="$work/mistakes"
cp -r "$repo/examples/kit-with-mistakes" "$kit"
cp "$CHECKER_EXE" "$work/raw.bin" "$kit/"
check_in "$kit" --firmware raw.bin --format json
same_as_native "kit with mistakes, JSON" "$kit" --firmware raw.bin --format json
check "kit with mistakes: exit 2, the findings where they stand" \
  "2 count-text:5 number-without-key:5 map-missing:6 entry-blanks:7 folder-missing:7 key-not-canonical:8 key-beyond-count:9 entry-null-string:13 folder-missing:13 key-repeated:15" \
  "$(cat "$kit/status") $(json "$kit/stdout" "' '.join(f['code'] + ':' + str(f['line']) for f in d['findings'])")"

kit=$(new_kit replays Morlane_V4.0.0.4)
expected_blocks='Version: QX70.0101|BIOSPlatform: Morlane-S|Version: ZX81.0203.A'
for file in raw.bin sm.bin sm3.bin DMI; do
  cp "$work/$file" "$kit/"
  check_in "$kit" --firmware "$file"
  check "replay $file: the report's blocks, the folder" \
    "$expected_blocks|  Folder: $(kit_path "$kit")\\ZX81|0" \
    "$(grep -E '^(Version|BIOSPlatform): |^  Folder: ' "$kit/stdout" | tr -d '\r' | paste -sd '|')|$(cat "$kit/status")"
done
check "replay: the format is named" "Firmware: DMI (bare structure table)" \
  "$(grep '^Firmware: ' "$kit/stdout" | tr -d '\r')"
# A fleet: the folder of the three files and a broken one, as text (rows
# and summary) and as CSV read back by python3's csv module.
mkdir "$kit/dumps"
cp "$work/raw.bin" "$work/sm.bin" "$work/DMI" "$kit/dumps/"
printf 'not a table\r\n' >"$kit/dumps/notes.txt"
check_in "$kit" --firmware dumps
check "fleet: a row per file, the summary, exit 1" \
  "DMI ZX81.0203.A Morlane-S ZX81 DMI_Type0_Table 2|notes.txt error:|raw.bin ZX81.0203.A Morlane-S ZX81 DMI_Type0_Table 2|sm.bin ZX81.0203.A Morlane-S ZX81 DMI_Type0_Table 2|3 in $(kit_path "$kit")\\ZX81|0 with no match|1 unreadable|1" \
  "$(grep -E '^(DMI|notes.txt|raw.bin|sm.bin) ' "$kit/stdout" | tr -d '\r' | awk '{ if ($2 == "error:") print $1, $2; else print $1, $2, $3, $4, $5, $6 }' | sed 's/ *$//' | paste -sd '|')|$(sed -n 's/^  \([0-9]\)/\1/p' "$kit/stdout" | tr -d '\r' | paste -sd '|')|$(cat "$kit/status")"
# With an export as PowerShell 5.1 writes it: UTF-16, a #TYPE line,
# Windows' own column name, a quoted comma and text outside ASCII.
printf '#TYPE Selected.System.Management.ManagementObject\r\n"Name","SMBIOSBIOSVersion","platform_name"\r\n"PC, 1","ZX81.0203.A",""\r\n"PC2","\xe9\x95\xbf\xe5\x9f\x8eBIOS V3.0","Morlane-S"\r\n' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$kit/bios.csv"
check_in "$kit" --firmware dumps --firmware bios.csv --format csv
same_as_native "fleet, CSV" "$kit" --firmware dumps --firmware bios.csv --format csv
check "fleet: the CSV, the export's texts whole" \
  "DMI|ZX81|2|ZX81 notes.txt||| raw.bin|ZX81|2|ZX81 sm.bin|ZX81|2|ZX81 PC, 1|ZX81|2|ZX81 PC2|\u957f\u57ceBIOS V3||" \
  "$(python3 -c 'import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], newline="", encoding="utf-8")))
print(" ".join("|".join([r["name"], r["token"], r["key"], r["folder"].rsplit("\\", 1)[-1]]) for r in rows).encode("ascii", "backslashreplace").decode())' "$kit/stdout")"
check_in "$kit" --firmware dumps --firmware bios.csv --format json
same_as_native "fleet, JSON" "$kit" --firmware dumps --firmware bios.csv --format json
# The export once more, through standard input.
STDIN=$kit/bios.csv check_in "$kit" --firmware dumps --firmware - --format html
STDIN=$kit/bios.csv same_as_native "fleet, HTML, the export on standard input" "$kit" --firmware dumps --firmware - --format html
check "fleet, HTML: the export's rows from standard input" "1 1" \
  "$(grep -c '<td>PC, 1</td>' "$kit/stdout") $(grep -c 'BIOS V3.0</td>' "$kit/stdout")"
# Before a kit ships: the example kit's next release (an entry added, one
# dropped, a map edited) against it, over a crafted fleet.
cp -r "$repo/examples/kit" "$work/example"
bash "$repo/scripts/make-next-kit.sh" "$work/shipping"
python3 "$repo/scripts/make-fleet.py" "$work/shipping/dumps" 36
cp "$CHECKER_EXE" "$work/shipping/"
check_in "$work/shipping" --baseline-kit ../example --firmware dumps --format csv
same_as_native "a plan against the example kit, CSV" "$work/shipping" --baseline-kit ../example --firmware dumps --format csv
check "a plan: the changes of the machines" "36 added:2 changed:4 removed:2 unchanged:28" \
  "$(python3 -c 'import collections, csv, sys
rows = list(csv.DictReader(open(sys.argv[1], newline="")))
print(len(rows), " ".join("%s:%d" % item for item in sorted(collections.Counter(r["change"] for r in rows).items())))' "$work/shipping/stdout")"
finish
