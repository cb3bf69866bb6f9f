#!/usr/bin/env bash
# The native profile reader against Windows' own: 2,000 hostile tables from
# a fixed seed, every lookup answered once by GetPrivateProfileStringW under
# Wine (one run) and once by the native reader; every answer must match.
source "$(dirname "$0")/wine-lib.sh"
: "${PROFILE_LOOKUPS_EXE:?the cross-built profile_lookups.exe}"
: "${PROFILE_LOOKUPS:?the native profile_lookups}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
lookups=$(python3 "$repo/tests/profile/make_hostile_tables.py" "$work/tables" 2000)
wine "$PROFILE_LOOKUPS_EXE" lookups.txt >windows.txt </dev/null
wineserver -w
"$PROFILE_LOOKUPS" lookups.txt >native.txt
check "$lookups lookups in 2000 tables: Windows' answers" "$lookups" "$(wc -l <windows.txt)"
tr -d '\r' <windows.txt | diff - native.txt >differences.txt || true
check "the native reader answers as Windows does" "" "$(head -5 differences.txt)"
finish
