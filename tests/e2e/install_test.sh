#!/usr/bin/env bash
# The installation by the real program under Wine: which maps land in the
# driver directory of the native system32, and which are left alone.
source "$(dirname "$0")/wine-lib.sh"
work=$(mktemp -d)
# The kits live on drive D:, so that the root of the current drive is a
# folder of this test.
drive_d="$WINEPREFIX/dosdevices/d:"
ln -sfn "$work" "$drive_d"
trap 'rm -f "$drive_d"; rm -rf "$work"' EXIT

umdf="$WINEPREFIX/drive_c/windows/system32/drivers/UMDF"
wow_umdf="$WINEPREFIX/drive_c/windows/syswow64/drivers/UMDF"
tag=Morlane_V4.0.0.4

# new_kit NAME TABLE [PLATFORM...]: a kit folder with the table text and,
# for each platform, a folder with its own AC and DC maps.
new_kit() {
  local kit="$work/$1" table=$2
  shift 2
  mkdir -p "$kit"
  printf '%s' "$table" >"$kit/KORVPlatformTable.ini"
  for platform in "$@"; do
    mkdir -p "$kit/$platform"
    printf '[Limits]\r\nMap=%s AC\r\n' "$platform" >"$kit/$platform/ThermalMap_AC.ini"
    printf '[Limits]\r\nMap=%s DC\r\n' "$platform" >"$kit/$platform/ThermalMap_DC.ini"
  done
  echo "$kit"
}

# The driver directory as a real Windows has it, with maps of an earlier
# installation.
prepare_driver_directory() {
  rm -rf "$umdf" "$wow_umdf"
  mkdir -p "$umdf"
  printf 'old AC\r\n' >"$umdf/ThermalMap_AC.ini"
  printf 'old DC\r\n' >"$umdf/ThermalMap_DC.ini"
}

installed() { cat "$umdf/ThermalMap_AC.ini" "$umdf/ThermalMap_DC.ini"; }
old_maps=$'old AC\r\nold DC\r'

table() {  # table TAG TYPE0_ENTRIES TYPE130_ENTRIES, entries as "n=value" lines
  printf '[Version]\r\nVer=%s\r\n[DMI_Type0_Table]\r\n%s[DMI_Type130_Table]\r\n%s' "$1" "$2" "$3"
}

# Wine's trace writes a line for each debug message the program sends.
debug_messages() { grep -o 'OutputDebugString.*' "$1/stderr" || true; }
masked() { sed -E 's/(DMI at address )[0-9A-F]{8}/\1ADDRESS/' "$1/stdout"; }

# A listed BIOS version prefix installs both maps, replacing the old ones.
kit=$(new_kit prefix "$(table $tag $'TOTAL_NUM=2\r\n1=QX70\r\n2=ZX81\r\n' $'TOTAL_NUM=0\r\n')" QX70 ZX81)
prepare_driver_directory
WINEDEBUG=warn+seh run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "prefix: no debug message" "" "$(debug_messages "$kit")"
check "prefix: AC map installed" "$(cat "$kit/ZX81/ThermalMap_AC.ini")" "$(cat "$umdf/ThermalMap_AC.ini")"
check "prefix: DC map installed" "$(cat "$kit/ZX81/ThermalMap_DC.ini")" "$(cat "$umdf/ThermalMap_DC.ini")"
check "prefix: nothing in syswow64" "" "$(ls "$wow_umdf" 2>/dev/null)"
check "prefix: report printed" "Version: ZX81.0203.A"$'\r' "$(grep '^Version' "$kit/stdout")"

# A format tag that differs only in letter case changes nothing.
kit=$(new_kit tagcase "$(table morlane_v4.0.0.4 $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')" ZX81)
prepare_driver_directory
WINEDEBUG=warn+seh run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "tag case: maps unchanged" "$old_maps" "$(installed)"
check "tag case: one debug message" 'OutputDebugStringA "Read ini version error,"' \
  "$(debug_messages "$kit")"
check "tag case: nothing printed but the report" "$(masked "$work/prefix")" "$(masked "$kit")"

# No match changes nothing, and the decoy at the drive's root stays there.
kit=$(new_kit nomatch "$(table $tag $'TOTAL_NUM=1\r\n1=QX70\r\n' $'TOTAL_NUM=1\r\n1=Other\r\n')" QX70)
printf 'decoy\r\n' >"$work/ThermalMap_AC.ini"
printf 'decoy\r\n' >"$work/ThermalMap_DC.ini"
prepare_driver_directory
run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "no match: maps unchanged" "$old_maps" "$(installed)"
check "no match: nothing in syswow64" "" "$(ls "$wow_umdf" 2>/dev/null)"
rm "$work/ThermalMap_AC.ini" "$work/ThermalMap_DC.ini"

# A platform folder with only the AC map replaces that one alone.
kit=$(new_kit aconly "$(table $tag $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')" ZX81)
rm "$kit/ZX81/ThermalMap_DC.ini"
prepare_driver_directory
run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "AC only: AC map installed" "$(cat "$kit/ZX81/ThermalMap_AC.ini")" "$(cat "$umdf/ThermalMap_AC.ini")"
check "AC only: DC map kept" $'old DC\r' "$(cat "$umdf/ThermalMap_DC.ini")"

# The largest count in both tables: the version prefix is not listed, and
# the empty platform name (Wine reports no type 130 structure) matches the
# empty entry, which selects the kit's own folder.
kit=$(new_kit largest "$(table $tag $'TOTAL_NUM=2147483647\r\n1=QX70\r\n' $'TOTAL_NUM=2147483647\r\n7=\r\n')")
printf 'kit AC\r\n' >"$kit/ThermalMap_AC.ini"
printf 'kit DC\r\n' >"$kit/ThermalMap_DC.ini"
prepare_driver_directory
run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "largest count: kit folder's maps installed" $'kit AC\r\nkit DC\r' "$(installed)"
check "largest count: exits 0" 0 "$(cat "$kit/status")"
# The elevated copy never reads a map from outside its kit. A platform
# folder that links outside the kit installs nothing, and leaves nothing.
outside="$work/outside"
mkdir -p "$outside"
printf 'top secret AC\r\n' >"$outside/ThermalMap_AC.ini"
printf 'top secret DC\r\n' >"$outside/ThermalMap_DC.ini"
kit=$(new_kit linkout "$(table $tag $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')")
ln -s "$outside" "$kit/ZX81"
prepare_driver_directory
run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "folder linked outside the kit: old maps kept, nothing left" \
  "ThermalMap_AC.ini ThermalMap_DC.ini"$'\n'"$old_maps" "$(ls "$umdf" | xargs)"$'\n'"$(installed)"
cp "$CHECKER_EXE" "$kit/ThermalMapCheck.exe"
run_in_kit "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" ThermalMapCheck.exe --format json
check "folder linked outside the kit: the checker's findings, exit 2" "map-outside-kit map-outside-kit 2 2" \
  "$(python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(" ".join(f["code"] for f in d["findings"] if f["code"] == "map-outside-kit"), d["exit_status"])' "$kit/stdout") $(cat "$kit/status")"

# A map that links outside the kit, in a real folder, stays old; the other
# map is installed.
kit=$(new_kit maplinkout "$(table $tag $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')" ZX81)
ln -sf "$outside/ThermalMap_AC.ini" "$kit/ZX81/ThermalMap_AC.ini"
prepare_driver_directory
run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "map linked outside the kit: that map kept, the other installed" \
  $'old AC\r\n'"$(cat "$kit/ZX81/ThermalMap_DC.ini")" "$(installed)"

# Links that stay inside the kit still work: the kit reached through a
# linked folder, and a platform folder that links to another of its folders.
kit=$(new_kit linkin "$(table $tag $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')" QX70)
ln -s "$kit/QX70" "$kit/ZX81"
ln -s "$kit" "$work/linkin-link"
prepare_driver_directory
run_installer "$work/linkin-link" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "links inside the kit: both maps installed" \
  "$(cat "$kit/QX70/ThermalMap_AC.ini" "$kit/QX70/ThermalMap_DC.ini")" "$(installed)"

# run_on_volume KIT SIZE: runs the program from KIT, for the platform ZX81,
# with the driver directory on a volume of SIZE that holds the old maps;
# afterwards KIT/umdf holds what the driver directory held.
run_on_volume() {
  local kit=$1 size=$2
  cp "$INSTALLER_EXE" "$kit/ThermalMapInstaller.exe"
  prepare_driver_directory
  rm -rf "$kit/umdf"
  mkdir "$kit/umdf"
  unshare -m bash -c '
    set -euo pipefail
    umdf=$1 kit=$2 size=$3 repo=$4
    mount -t tmpfs -o "size=$size" none "$umdf"
    printf "old AC\r\n" >"$umdf/ThermalMap_AC.ini"
    printf "old DC\r\n" >"$umdf/ThermalMap_DC.ini"
    (cd "$kit" && "$repo/scripts/run-with-firmware.sh" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" \
        wine ThermalMapInstaller.exe -I >stdout 2>stderr </dev/null)
    wineserver -w
    cp -a "$umdf/." "$kit/umdf/"
  ' volume "$umdf" "$kit" "$size" "$repo"
}

# Maps of 64 KiB each on a volume with 40 KiB free: the copies fail part way,
# and the old maps stay whole, with no copy left beside them.
kit=$(new_kit fulldisk "$(table $tag $'TOTAL_NUM=1\r\n1=ZX81\r\n' '')" ZX81)
for map in AC DC; do
  head -c 65536 /dev/zero | tr '\0' "${map:0:1}" >"$kit/ZX81/ThermalMap_$map.ini"
done
run_on_volume "$kit" 48k
check "full disk: old maps kept, nothing left" \
  "ThermalMap_AC.ini ThermalMap_DC.ini"$'\n'"$old_maps" \
  "$(ls "$kit/umdf" | xargs)"$'\n'"$(cat "$kit/umdf/ThermalMap_AC.ini" "$kit/umdf/ThermalMap_DC.ini")"
run_on_volume "$kit" 1m
check "room on the volume: new maps installed, nothing left" \
  "ThermalMap_AC.ini ThermalMap_DC.ini $(cat "$kit/ZX81/ThermalMap_AC.ini" "$kit/ZX81/ThermalMap_DC.ini" | sha256sum)" \
  "$(ls "$kit/umdf" | xargs) $(cat "$kit/umdf/ThermalMap_AC.ini" "$kit/umdf/ThermalMap_DC.ini" | sha256sum)"
finish
