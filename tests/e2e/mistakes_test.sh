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
# What a real share holds: every machine is judged or named, and a share
# that was not read whole never exits 0.
printf 'name,bios_version,platform_name\r\npc-1,MRL01.0105,Board "X\r\npc-2,MRL01.0105,\r\npc-3,QX70.0101,\r\n' >quote.csv
mistake "a stray quote in a cell" 1 "" --kit "$kit" --firmware quote.csv --format csv
check "a stray quote in a cell: every row a machine" "pc-1:$kit/MRL01 pc-2:$kit/MRL01 pc-3:!no entry matches" \
  "$(python3 -c 'import csv; print(" ".join(r["name"] + ":" + (r["folder"] or "!no entry matches") for r in csv.DictReader(open("out"))))')"
mistake "the page of a share with a stray quote" 1 "" --kit "$kit" --firmware quote.csv --format html
check "the page's exit status names the reason that holds" "yes" \
  "$(grep -q 'Exit status <span class="exit-status">1</span>: 1 machine gets no folder\.' out && echo yes)"
printf 'name,bios_version,platform_name,ac_installed,dc_installed,ac_sha256,dc_sha256,error\r\nm1,MRL01.0105,,,,,,\r\nm2,MRL01.0105,\r\n' >cut.csv
mistake "a row cut before its hash cells" 1 "line 3 of cut.csv has 3 cells; its header names 8" \
  --kit "$kit" --firmware cut.csv --format csv
printf 'name,bios_version,platform_name\r\nPC1,MRL01.0105,\r\nname,bios_version,platform_name\r\nPC2,MRL01.0105,\r\n' >twice.csv
mistake "a header appended again" 0 "" --kit "$kit" --firmware twice.csv --format csv
check "a header appended again: no machine named \"name\"" "PC1 PC2" \
  "$(python3 -c 'import csv; print(" ".join(r["name"] for r in csv.DictReader(open("out"))))')"
printf 'name,bios_version,platform_name,AC_Hash,DC_Hash\r\nPC1,MRL01.0105,,aa,bb\r\n' >renamed-hashes.csv
mistake "hash columns under other names" 0 "--column ac_sha256=NAME" --kit "$kit" --firmware renamed-hashes.csv
mistake "hash columns named with --column" 3 "" --kit "$kit" --firmware renamed-hashes.csv \
  --column ac_sha256=AC_Hash --column dc_sha256=dc_hash --format csv
check "hash columns named with --column: their cells are read" "line 2 of renamed-hashes.csv: ac_sha256 is not 64" \
  "$(python3 -c 'import csv; print(next(csv.DictReader(open("out")))["error"][:49])')"
printf '# dmidecode 3.4\nGetting SMBIOS data from sysfs.\n' >dmidecode.txt
mistake "dmidecode's text output" 3 "dmidecode --dump-bin" --kit "$kit" --firmware dmidecode.txt
printf 'name,bios_version,platform_name\r\nPC1,MRL01.0105,\r\n' | iconv -t UTF-16LE >no-mark.csv
mistake "UTF-16 without a byte-order mark" 3 "UTF-16 text without a byte-order mark" --kit "$kit" --firmware no-mark.csv
mkdir stray
cp one.csv stray/a.csv
printf 'user,last_login\r\nann,today\r\n' >stray/logins.csv
mistake "a CSV of other columns in a share" 1 "logins.csv: a CSV file whose header" --kit "$kit" --firmware stray
check "a CSV of other columns in a share: it can be removed, no --column advice" "yes no" \
  "$(grep -q 'can be removed from the folder' err && echo yes) $(grep -q -- '--column' err && echo yes || echo no)"
mkdir share
cp one.csv share/a.csv
mkfifo share/b.fifo
ln -s "$work/one.csv" share/c-outside.csv
mistake "a share with a FIFO and a link out of it" 1 "b.fifo: passed over: not a regular file" \
  sh "timeout 20 '$NATIVE_CHECKER' --kit '$kit' --firmware share --format csv"
check "a share with a FIFO and a link out of it: the link passed over, the file judged" "yes PC1" \
  "$(grep -q 'c-outside.csv: passed over: a link to a file outside the folder' err && echo yes) $(tail -n +2 out | cut -d, -f1)"
mistake "a pipe named by path" 0 "" sh "'$NATIVE_CHECKER' --kit '$kit' --firmware <(cat one.csv) --format csv"
check "a pipe named by path: its row" "PC1" "$(tail -n +2 out | cut -d, -f1)"
# A FIFO named as an input is opened once, though its rows are read twice.
mkfifo rows.fifo
printf 'name,bios_version,ac_sha256\r\nPC1,MRL01.0105,\r\nPC1,MRL01.0105,\r\n' >rows.fifo &
mistake "a FIFO named as an input" 1 "" sh "timeout 20 '$NATIVE_CHECKER' --kit '$kit' --firmware rows.fifo --format csv"
check "a FIFO named as an input: its later row judged, the earlier superseded" "PC1,MRL01.0105|superseded by the row of rows.fifo line 3" \
  "$(sed -n 3p out | cut -d, -f1-2)|$(sed -n 2p out | cut -d, -f14)"
mistake "standard input that is a folder" 3 "standard input: a folder" \
  sh "'$NATIVE_CHECKER' --kit '$kit' --firmware - <share"
# A read that fails part-way (EIO from a disk), made by a library that
# fails standard input's reads after its first 80 bytes.
cat >failing-read.c <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>
static size_t given;
ssize_t read(int fd, void* buffer, size_t size) {
  static ssize_t (*real)(int, void*, size_t);
  if (!real) real = (ssize_t (*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
  if (fd != 0) return real(fd, buffer, size);
  if (given >= 80) { errno = EIO; return -1; }
  ssize_t count = real(fd, buffer, size < 80 - given ? size : 80 - given);
  if (count > 0) given += (size_t)count;
  return count;
}
C
cc -shared -fPIC -o failing-read.so failing-read.c -ldl
printf 'name,bios_version,platform_name\r\n' >many.csv
for i in $(seq 1 50); do printf 'PC%d,MRL01.0105,\r\n' "$i"; done >>many.csv
mistake "a read error part-way through standard input" 1 "a read failed after byte 80, in line 4" \
  sh "LD_PRELOAD=$work/failing-read.so '$NATIVE_CHECKER' --kit '$kit' --firmware - --format csv <many.csv"
finish
