#!/usr/bin/env bash
# The shape of the cross-built program: a PE32 i386 console program that
# imports only KERNEL32.dll and msvcrt.dll and embeds two resources, both
# US English (language 1033): the manifest (type 24, ID 1), asking for
# administrator rights and nothing else, and the version information.
set -euo pipefail
exe=${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}
version=$(sed -n 's/^project(ThermalMapInstaller VERSION \([0-9.]*\) .*/\1/p' \
  "$(dirname "$0")/../../CMakeLists.txt")
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
check "two resources: version information and manifest, ID 1" "1 VERSIONINFO 1 24" \
  "$(grep -E '^[0-9A-Za-z_]+ [0-9A-Za-z_]+( |$)' <<<"$resources" | sed 's| /\*.*||' | xargs)"
# The resource directory's entries by depth: type, ID, language.
check "types 16 and 24, each ID 1 in language 1033 (0x409)" \
  "0x000010 0x000001 0x000409 0x000018 0x000001 0x000409" \
  "$(sed -n '/Resource Directory section/,$ s/^[0-9a-f]* *Entry: ID: \(0x[0-9a-f]*\).*/\1/p' <<<"$headers" | xargs)"
manifest=$(sed -n '/^1 24/,/^END/p' <<<"$resources" | grep -o '"[^"]*\("[^"]*"[^"]*\)*"' |
  sed 's/^"//; s/"$//; s/""/"/g; s/\\n$//' | sed 's/^ *//' | tr -d '\n')
check "the manifest holds the trust information alone" \
  '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges><requestedExecutionLevel level="requireAdministrator" uiAccess="false"/></requestedPrivileges></security></trustInfo></assembly>' \
  "$manifest"
check "version information" \
  "FILEVERSION ${version//./, }, 0|CompanyName ThermalMap|FileDescription Installs this platform's thermal maps|FileVersion $version|InternalName ThermalMapInstaller|OriginalFilename ThermalMapInstaller.exe|ProductName ThermalMapInstaller|ProductVersion $version|Translation 0x409, 1200" \
  "$(sed -n '/^1 VERSIONINFO/,/^END/p' <<<"$resources" |
     sed -n 's/^ *FILEVERSION /FILEVERSION /p; s/^ *VALUE "\([^"]*\)", "\{0,1\}\([^"]*\)"\{0,1\}$/\1 \2/p' |
     paste -sd '|')"
echo "$failures failed"
[ "$failures" -eq 0 ]
