#!/usr/bin/env bash
# The shape of the cross-built programs: PE32 i386 console programs that
# import only KERNEL32.dll and msvcrt.dll (the checker advapi32 and bcrypt
# too) and embed two resources, both US English (language 1033): the
# manifest (type 24, ID 1), asking for its execution level and nothing else
# (the installer administrator rights, the checker none), and the version
# information.
set -euo pipefail
: "${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}"
: "${CHECKER_EXE:?the cross-built ThermalMapCheck.exe}"
version=$(sed -n 's/^project(ThermalMapInstaller VERSION \([0-9.]*\) .*/\1/p' \
  "$(dirname "$0")/../../CMakeLists.txt")
failures=0
check() {
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}
# check_program EXE NAME LEVEL DESCRIPTION IMPORTS
check_program() {
  local exe=$1 name=$2 level=$3 description=$4 imports=$5
  echo "$name:"
  local headers resources manifest
  headers=$(i686-w64-mingw32-objdump -p "$exe")
  check "format" "pei-i386" "$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')"
  check "PE32 optional header" "010b" "$(awk '$1 == "Magic" {print $2}' <<<"$headers")"
  check "console subsystem" "00000003" "$(awk '$1 == "Subsystem" {print $2}' <<<"$headers")"
  # In byte order, whatever the locale: bcrypt.dll is lower case.
  check "imports" "$imports" \
    "$(awk '/DLL Name:/ {print $3}' <<<"$headers" | LC_ALL=C sort | xargs)"

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
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges><requestedExecutionLevel level="'"$level"'" uiAccess="false"/></requestedPrivileges></security></trustInfo></assembly>' \
    "$manifest"
  check "version information" \
    "FILEVERSION ${version//./, }, 0|CompanyName ThermalMap|FileDescription $description|FileVersion $version|InternalName $name|OriginalFilename $name.exe|ProductName ThermalMapInstaller|ProductVersion $version|Translation 0x409, 1200" \
    "$(sed -n '/^1 VERSIONINFO/,/^END/p' <<<"$resources" |
       sed -n 's/^ *FILEVERSION /FILEVERSION /p; s/^ *VALUE "\([^"]*\)", "\{0,1\}\([^"]*\)"\{0,1\}$/\1 \2/p' |
       paste -sd '|')"
}

check_program "$INSTALLER_EXE" ThermalMapInstaller requireAdministrator \
  "Installs this platform's thermal maps" "KERNEL32.dll msvcrt.dll"
# The checker reads the kit folder's access list through advapi32 and hashes
# maps through bcrypt.
check_program "$CHECKER_EXE" ThermalMapCheck asInvoker "Shows which thermal maps a machine gets" \
  "ADVAPI32.dll KERNEL32.dll bcrypt.dll msvcrt.dll"
echo "$failures failed"
[ "$failures" -eq 0 ]
