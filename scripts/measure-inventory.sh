#!/usr/bin/env bash
# Times the native checker on inventory exports against the join a user
# would write in awk (the first dot-separated token of the BIOS version
# looked up in the type 0 entries, else the platform name in the type 130
# entries), run by mawk over the same file: PAIRS runs of each in turn
# (default 5), after one untimed run of each that fills the file cache.
# Prints each pair, the median ratio of the checker's time to mawk's, and
# the peak memory of each (GNU time's %M). The inventories come from a
# fixed seed (scripts/make-inventory.py); the kit is examples/kit. Needs the
# linux build (cmake --preset linux && cmake --build --preset linux).
# It also times a plan against a baseline kit (the example kit's next
# release: an entry added, one dropped, a map edited) against the same run
# without one, and a fleet's installed maps verified: 10,000,000 rows with
# the hashes of both maps, judged by the next release with the example kit
# as the baseline, against the same join in awk in both kits followed by
# each hash looked up among the kits' map hashes.
# With OTHER_CHECKER (another build's thermalmapcheck, such as one of an
# older commit), it times this build against that one instead, on the two
# 10,000,000-row exports, plain and with both hashes.
# Usage: scripts/measure-inventory.sh [PAIRS] [OTHER_CHECKER]
set -euo pipefail
cd "$(dirname "$0")/.."
# Which machine and which qemu-user gave these figures: under qemu the
# program's own work is emulated and the system's is not.
source scripts/i386-lib.sh
describe_i386
pairs=${1:-5}
other_checker=${2:-}
checker=$PWD/build/linux/thermalmapcheck
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/kit "$work/kit"
kit=$work/kit
scripts/make-next-kit.sh "$work/next"
echo "making the inventories"
python3 scripts/make-inventory.py "$work/10m.csv" 10000000 2000
python3 scripts/make-inventory.py "$work/1m-distinct.csv" 1000000 100000 --distinct
python3 scripts/make-inventory.py "$work/10m-installed.csv" 10000000 2000 --hashes "$kit" "$work/next"
python3 scripts/make-inventory.py "$work/10m-written.csv" 10000000 2000 --written --hashes "$kit" "$work/next"
cat >"$work/join.awk" <<'AWK'
BEGIN { FS = "," }
FNR == NR {
  sub(/\r$/, "")
  if ($0 ~ /^\[/) { section = $0; next }
  equals = index($0, "=")
  if (equals == 0) next
  key = substr($0, 1, equals - 1); entry = substr($0, equals + 1)
  if (key == "TOTAL_NUM") next
  if (section == "[DMI_Type0_Table]" && !(entry in type0)) type0[entry] = key
  if (section == "[DMI_Type130_Table]" && !(entry in type130)) type130[entry] = key
  next
}
FNR == 1 { print "name,bios_version,platform_name,token,table,key,folder"; next }
{
  count = split($2, parts, ".")
  token = ""
  for (i = 1; i <= count; i++) if (parts[i] != "") { token = parts[i]; break }
  if (token in type0) print $1 "," $2 "," $3 "," token ",DMI_Type0_Table," type0[token] "," kit "/" token
  else if ($3 in type130) print $1 "," $2 "," $3 "," token ",DMI_Type130_Table," type130[$3] "," kit "/" $3
  else print $1 "," $2 "," $3 "," token ",,,"
}
AWK

# The same join in both kits, then each installed map's hash looked up: the
# kit's map of the machine's folder, the baseline's, any map of either kit.
find "$work/next" "$kit" -name 'ThermalMap_*.ini' -exec sha256sum {} + >"$work/map-hashes"
cat >"$work/installed.awk" <<'AWK'
BEGIN { FS = "," }
FILENAME == hashes { hash[substr($0, 67)] = substr($0, 1, 64); known[substr($0, 1, 64)] = 1; next }
FILENAME == newtable || FILENAME == oldtable {
  sub(/\r$/, ""); k = FILENAME == newtable ? newkit : oldkit
  if ($0 ~ /^\[/) { section = $0; next }
  equals = index($0, "="); if (equals == 0) next
  key = substr($0, 1, equals - 1); entry = substr($0, equals + 1)
  if (key == "TOTAL_NUM") next
  if (section == "[DMI_Type0_Table]" && !((k, entry) in type0)) type0[k, entry] = key
  if (section == "[DMI_Type130_Table]" && !((k, entry) in type130)) type130[k, entry] = key
  next
}
FNR == 1 { print "name,bios_version,platform_name,token,folder,baseline_folder,ac_installed,dc_installed,ac_sha256,dc_sha256"; next }
function folder(kit) { return ((kit, token) in type0) ? kit "/" token : ((kit, $3) in type130) ? kit "/" $3 : "" }
function state(h, map) {
  if (h == "") return "not installed"
  if (h == hash[now "/ThermalMap_" map ".ini"]) return "in place"
  if (h == hash[before "/ThermalMap_" map ".ini"]) return "baseline"
  return (h in known) ? "other map" : "differs"
}
{
  count = split($2, parts, ".")
  token = ""
  for (i = 1; i <= count; i++) if (parts[i] != "") { token = parts[i]; break }
  now = folder(newkit); before = folder(oldkit)
  print $1 "," $2 "," $3 "," token "," now "," before "," state($4, "AC") "," state($5, "DC") "," $4 "," $5
}
AWK

# run COMMAND: "SECONDS PEAK_KB" of one run of a shell command.
run() {
  /usr/bin/time -f '%e %M' -o "$work/time" bash -c "$1" >/dev/null 2>&1 || true
  tail -1 "$work/time"
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

# compare NAME COMMAND OTHER_COMMAND [OTHER_NAME]: the first's time over the
# other's.
compare() {
  local name=$1 other=${4:-mawk} ratios=() peaks=() other_peaks=()
  run "$2" >/dev/null
  run "$3" >/dev/null
  for ((i = 1; i <= pairs; ++i)); do
    read -r time peak < <(run "$2")
    read -r other_time other_peak < <(run "$3")
    ratios+=("$(python3 -c "print(round($time / $other_time, 3))")")
    peaks+=("$peak") other_peaks+=("$other_peak")
    echo "$name, pair $i: checker $time s ($peak KB), $other $other_time s ($other_peak KB)"
  done
  echo "$name: median ratio $(median "${ratios[@]}"), peak memory $(median "${peaks[@]}") KB against $other's $(median "${other_peaks[@]}") KB"
}

if [[ -n $other_checker ]]; then
  compare "10,000,000 rows, 2,000 pairs, one file" "$checker --kit $kit --firmware $work/10m.csv --format csv" \
    "$other_checker --kit $kit --firmware $work/10m.csv --format csv" "the other build"
  compare "10,000,000 rows with the installed maps' hashes, against a baseline kit" \
    "$checker --kit $work/next --baseline-kit $kit --firmware $work/10m-installed.csv --format csv" \
    "$other_checker --kit $work/next --baseline-kit $kit --firmware $work/10m-installed.csv --format csv" \
    "the other build"
  exit 0
fi

join="mawk -v kit=$kit -f $work/join.awk $kit/KORVPlatformTable.ini"
compare "10,000,000 rows, 2,000 pairs, one file" \
  "$checker --kit $kit --firmware $work/10m.csv --format csv" "$join $work/10m.csv"
compare "10,000,000 rows, 2,000 pairs, standard input" \
  "$checker --kit $kit --firmware - --format csv <$work/10m.csv" "$join - <$work/10m.csv"
compare "1,000,000 rows, every version distinct, 100,000 pairs" \
  "$checker --kit $kit --firmware $work/1m-distinct.csv --format csv" "$join $work/1m-distinct.csv"

compare "1,000,000 rows, a plan against a baseline kit" \
  "$checker --kit $work/next --baseline-kit $kit --firmware $work/1m-distinct.csv --format csv" \
  "$checker --kit $work/next --firmware $work/1m-distinct.csv --format csv" "the run without a baseline"

compare "10,000,000 rows with the installed maps' hashes, against a baseline kit" \
  "$checker --kit $work/next --baseline-kit $kit --firmware $work/10m-installed.csv --format csv" \
  "mawk -v hashes=$work/map-hashes -v newtable=$work/next/KORVPlatformTable.ini -v oldtable=$kit/KORVPlatformTable.ini -v newkit=$work/next -v oldkit=$kit -f $work/installed.awk $work/map-hashes $work/next/KORVPlatformTable.ini $kit/KORVPlatformTable.ini $work/10m-installed.csv"

# Older releases: the example kit with one map edited, three times over.
for release in 1 2 3; do
  cp -r "$kit" "$work/old-$release" && echo "; release $release" >>"$work/old-$release/MRL01/ThermalMap_AC.ini"
done
compare "10,000,000 rows with the installed maps' hashes, against four baseline kits" \
  "$checker --kit $work/next --baseline-kit $kit --baseline-kit $work/old-1 --baseline-kit $work/old-2 --baseline-kit $work/old-3 --firmware $work/10m-installed.csv --format csv" \
  "$checker --kit $work/next --baseline-kit $kit --firmware $work/10m-installed.csv --format csv" "the run against one"

compare "10,000,000 rows with written and both hashes, stale after 30 days" \
  "$checker --kit $work/next --baseline-kit $kit --firmware $work/10m-written.csv --max-age 30 --format csv" \
  "$checker --kit $work/next --baseline-kit $kit --firmware $work/10m-installed.csv --format csv" "the rows without written"

read -r page_time page_peak < <(run "$checker --kit $kit --firmware $work/10m.csv --format html >$work/page.html")
echo "the page of 10,000,000 machines: $(stat -c %s "$work/page.html") bytes, written in $page_time s with $page_peak KB"
