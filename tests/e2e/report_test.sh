#!/usr/bin/env bash
# The firmware report of the real program under Wine, byte for byte.
source "$(dirname "$0")/wine-lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The report with CRLF line ends and the address digits masked.
masked_report() {
  sed -E 's/^(DMI at address )[0-9A-F]{8}\r$/\1XXXXXXXX\r/' "$1/stdout"
}
crlf() { printf '%s\r\n' "$@"; }

# Wine 8 builds a table of 122 bytes besides the three BIOS strings, with
# segment 0, ROM size byte 0 and release bytes 0xFF.
mkdir "$work/plain"
run_installer "$work/plain" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "-I prints the report" "$(crlf \
  "We need prepare 165 bytes for recevie SMBIOS/DMI Table" \
  "SMBIOS version:2.4" \
  "DMI Revision:0" \
  "Total length: 157" \
  "DMI at address XXXXXXXX" \
  "==========          BIOS information           ==========" \
  "Vendor: Contoso Ltd" \
  "Version: ZX81.0203.A" \
  "BIOS Starting Segment: 0x0" \
  "Release Date: 11/30/2026" \
  "Image Size: 64K" \
  "System BIOS version: 255.255" \
  "EC Firmware version: 255.255")" "$(masked_report "$work/plain")"
check "-I exits 0" 0 "$(cat "$work/plain/status")"

# Lower case switch; "%" and a non-ASCII byte (OEM code page 437) in the
# strings; an empty date file gives string number 0.
mkdir "$work/odd"
run_installer "$work/odd" $'Caf\x82 GmbH' "1.0%s%d%p" "" -i extra
check "-i prints the report" "$(crlf \
  "We need prepare 150 bytes for recevie SMBIOS/DMI Table" \
  "SMBIOS version:2.4" \
  "DMI Revision:0" \
  "Total length: 142" \
  "DMI at address XXXXXXXX" \
  "==========          BIOS information           ==========" \
  "Vendor: Caf? GmbH" \
  "Version: 1.0%s%d%p" \
  "BIOS Starting Segment: 0x0" \
  "Release Date: Null String" \
  "Image Size: 64K" \
  "System BIOS version: 255.255" \
  "EC Firmware version: 255.255")" "$(masked_report "$work/odd")"

for args in "" "/I" "-Ix"; do
  kit=$(mktemp -d "$work/silent.XXXX")
  # shellcheck disable=SC2086
  run_installer "$kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" $args
  check "'$args' prints nothing" "" "$(cat "$kit/stdout")"
  check "'$args' exits 0" 0 "$(cat "$kit/status")"
done
finish
