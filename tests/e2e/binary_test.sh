#!/usr/bin/env bash
# The shape of the cross-built program: a PE32 i386 console program that
# imports only KERNEL32.dll and msvcrt.dll and embeds one manifest resource
# (type 24, ID 1, language 1033) asking for administrator rights.
set -euo pipefail
exe=${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}
failures=0
check() {
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}
headers=$(i686-w64-mingw32-objdump -p "$exe")
check "format" "pei-i386" "$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')"
check "PE32 optional header" "010b" "$(awk '$1 == "Magic" {print $2}' <<<"$headers")"
check "console subsystem" "00000003" "$(awk '$1 == "Subsystem" {print $2}' <<<"$headers")"
check "imports" "KERNEL32.dll msvcrt.dll" \
  "$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort | xargs)"

resources=$(i686-w64-mingw32-windres -i "$exe" -O rc)
check "one resource: ID 1, type 24" "1 24" \
  "$(grep -E '^[0-9A-Za-z_]+ [0-9A-Za-z_]+ ' <<<"$resources" | sed 's| /\*.*||' | xargs)"
check "its language 1033 (0x409)" "LANGUAGE 9, 1" "$(grep '^LANGUAGE' <<<"$resources" | xargs)"
manifest=$(grep -o '<requestedExecutionLevel[^>]*>' <<<"$resources" | sed 's/""/"/g')
check "execution level" '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>' "$manifest"
echo "$failures failed"
[ "$failures" -eq 0 ]
