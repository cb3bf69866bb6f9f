#!/usr/bin/env bash
# The ordinary mistakes of a kit author or an admin, with the native
# checker: each gives its exit status and a message that names the input
# and says what to do.
source "$(dirname "$0")/test-lib.sh"
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kit=$repo/examples/kit
cd "$work"
printf 'Computer,BIOSVer,Model\r\nPC1,MRL01.0105,Morlane-S\r\n' >renamed.csv
printf 'name,bios_version,Model\r\nPC1,QX70.0101,Morlane-S\r\n' >model.csv
printf 'name,bios_version,platform_name\r\n' >header-only.csv
python3 -c "import sys; sys.stdout.write('bios_version,' + 'a' * (1 << 20) + ',a,b\nB1,x,y,z\n')" >long-header.csv
printf 'not a table\r\n' >notes.txt
mkdir empty-folder no-table
printf 'name,bios_version,platform_name\r\nPC1,MRL01.0105,\r\n' >one.csv

# mistake NAME STATUS WORD COMMAND...: COMMAND (the checker's arguments, or
# a shell command after "sh") exits with STATUS and its standard error
# holds WORD; what it writes is in out and err.
mistake() {
  local name=$1 expected=$2 word=$3 status=0
  shift 3
  if [ "$1" == sh ]; then
    bash -c "$2" >out 2>err || status=$?
  else
    "$NATIVE_CHECKER" "$@" >out 2>err </dev/null || status=$?
  fi
  check "$name: exit $expected, the message says \"$word\"" "$expected yes" \
    "$status $({ [ -z "$word" ] || grep -qF -- "$word" err; } && echo yes || { cat err >&2; echo no; })"
}
mistake "columns named otherwise" 3 '"BIOSVer"' --kit "$kit" --firmware renamed.csv
mistake "columns named otherwise: how to name one" 3 "--column bios_version=NAME" --kit "$kit" --firmware renamed.csv
mistake "a --column that names no column" 3 '"Nope"' --kit "$kit" --firmware renamed.csv --column bios_version=Nope
mistake "a platform column named otherwise" 1 "--column platform_name=NAME" --kit "$kit" --firmware model.csv
mistake "a platform column named otherwise: the header's columns" 1 '"Model"' --kit "$kit" --firmware model.csv
mistake "a header and no rows" 3 "no rows" --kit "$kit" --firmware header-only.csv
mistake "an empty folder" 3 "holds no files" --kit "$kit" --firmware empty-folder
mistake "a header over 1 MiB" 3 "longer than 1 MiB" --kit "$kit" --firmware long-header.csv
mistake "the same through standard input" 3 "longer than 1 MiB" sh "'$NATIVE_CHECKER' --kit '$kit' --firmware - <long-header.csv"
mistake "empty standard input" 3 "standard input: empty" --kit "$kit" --firmware -
mistake "a --kit that does not exist" 3 "no such folder" --kit "$work/kti" --firmware one.csv
mistake "a --kit that is the table file" 3 "give the folder that holds it" --kit "$kit/KORVPlatformTable.ini" --firmware one.csv
mistake "a --baseline-kit that does not exist" 3 "--baseline-kit" --kit "$kit" --baseline-kit "$work/old" --firmware one.csv
mistake "a kit folder without its table, as CSV" 2 "no KORVPlatformTable.ini" --kit no-table --firmware one.csv --format csv
mistake "a file that cannot be read, as CSV" 3 "not a firmware table" --kit "$kit" --firmware notes.txt --format csv
check "a file that cannot be read, as CSV: the reason in its error column" "notes.txt not a firmware table" \
  "$(python3 -c 'import csv; r = next(csv.DictReader(open("out"))); print(r["name"], r["error"][:20])')"
mistake "a firmware file that does not exist" 3 "no such file or folder" --kit "$kit" --firmware mchine.bin
mistake "no SMBIOS tables on this system" 3 "/sys/firmware/dmi/tables is absent" \
  sh "unshare -m bash -c 'mount -t tmpfs none /sys/firmware && exec \"\$0\" --kit \"\$1\"' '$NATIVE_CHECKER' '$kit'"
mistake "--option=value" 0 "" --kit="$kit" --firmware=one.csv --format=json
check "--option=value: the options are read" "$kit/MRL01" \
  "$(python3 -c 'import json; print(json.load(open("out"))["machines"][0]["folder"])')"
mistake "an unknown option" 3 "thermalmapcheck: see 'thermalmapcheck --help'" --frimware one.csv
check "a usage error: its line and the pointer to --help, not the whole help" \
  "thermalmapcheck: unknown option --frimware|2" "$(head -1 err)|$(wc -l <err)"
mistake "the page of a kit without its table" 2 "no KORVPlatformTable.ini" --kit no-table --firmware one.csv --format html
check "the page of a kit without its table: the kit's error above the charts" "kit-error" \
  "$(grep -o 'kit-error\|<h2>Machines per folder' out | head -1)"
finish
