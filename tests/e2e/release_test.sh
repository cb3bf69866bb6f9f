#!/usr/bin/env bash
# A release's seal with the native checker: written as sha256sum checks it,
# refused for a kit with errors, and every change to a sealed kit found
# whenever the kit is read.
source "$(dirname "$0")/test-lib.sh"
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
row=$'name,bios_version,platform_name\npc1,MRL01.0105,x'
# judge KIT [OPTIONS...]: "STATUS CODES" of one row judged by KIT, the codes
# of its findings in the order given.
judge() {
  local status=0
  timeout 20 "$NATIVE_CHECKER" --kit "$@" --firmware - --format json <<<"$row" >"$work/out" 2>"$work/err" || status=$?
  echo "$status $(python3 -c 'import json, sys; print(" ".join(f["code"] for f in json.load(open(sys.argv[1]))["findings"]))' "$work/out")"
}

kit=$work/kit-1.1
cp -r "$repo/examples/kit" "$kit"
"$NATIVE_CHECKER" --kit "$kit" --seal 1.1 >"$work/out"
check "the seal: its release line, then sha256sum's lines, which it checks" \
  "# release: 1.1 7 0 KORVPlatformTable.ini" \
  "$(head -1 "$kit/SHA256SUMS") $(tail -n +2 "$kit/SHA256SUMS" | wc -l) $(cd "$kit" && sha256sum --quiet -c SHA256SUMS; echo $?) $(sed -n 2p "$kit/SHA256SUMS" | cut -c67-)"
check "a sealed, unchanged kit: no finding, and its identity" "0  1.1 True" \
  "$(judge "$kit") $(python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(d["kit_release"], d["kit_sealed"])' "$work/out")"

# Each change made to a copy of the sealed kit.
while IFS='|' read -r name change expected; do
  copy=$work/changed
  rm -rf "$copy" && cp -r "$kit" "$copy"
  (cd "$copy" && eval "$change")
  check "$name" "$expected" "$(judge "$copy")"
done <<'CASES'
a map changed after the release: exit 2|echo x >>MRL01/ThermalMap_AC.ini|2 kit-altered
a listed file removed|rm MRL02/ThermalMap_DC.ini|2 map-missing kit-file-missing
a folder added that an entry names, not sealed|mkdir MRL03 && cp MRL01/* MRL03 && sed -i 's/^TOTAL_NUM=2/TOTAL_NUM=3/; s/^2=MRL02/2=MRL02\n3=MRL03/' KORVPlatformTable.ini|2 kit-altered kit-file-unlisted kit-file-unlisted
a line that is no hash line|echo 'not a hash line' >>SHA256SUMS|2 manifest-malformed
a blank line, as sha256sum allows|echo >>SHA256SUMS|0 
a seal that lists nothing|sed -i 2,99d SHA256SUMS|2 manifest-malformed kit-file-unlisted kit-file-unlisted kit-file-unlisted kit-file-unlisted kit-file-unlisted kit-file-unlisted kit-file-unlisted
a FIFO for a seal: named, never waited on|rm SHA256SUMS && mkfifo SHA256SUMS|2 manifest-malformed
a listed path that leads out of the kit|printf '%064d  ../kit-1.1/KORVPlatformTable.ini\n' 0 >>SHA256SUMS|2 manifest-malformed
CASES
check "a changed map names its file and release" \
  "MRL01/ThermalMap_AC.ini is not the bytes release 1.1 lists" \
  "$(cd "$work" && rm -rf changed && cp -r "$kit" changed && echo x >>changed/MRL01/ThermalMap_AC.ini && judge changed >/dev/null && python3 -c 'import json; print(json.load(open("out"))["findings"][0]["message"])')"

# As the baseline kit: verified too, and the same bytes as the kit say so.
cp -r "$repo/examples/kit" "$work/copy"
check "a baseline kit of the kit's bytes: said, same fingerprint" \
  "0  thermalmapcheck: the kit and the baseline kit $kit are the same bytes 1" \
  "$(judge "$work/copy" --baseline-kit "$kit") $(cat "$work/err") $(python3 -c 'import json, sys; d = json.load(open(sys.argv[1]))["summary"]; print(int(d["baseline_kit_fingerprint"] == json.load(open(sys.argv[1]))["kit_fingerprint"]))' "$work/out")"
echo x >>"$kit/MRL02/ThermalMap_AC.ini"
check "an altered baseline kit: exit 2" "2 kit-altered" "$(judge "$work/copy" --baseline-kit "$kit")"

# A fleet across releases: each machine named by the release it has.
# 1.0 has its own AC map; 0.9, unsealed, that AC map and its own DC map.
cp -r "$repo/examples/kit" "$work/kit-1.0" && echo '; 1.0' >>"$work/kit-1.0/MRL01/ThermalMap_AC.ini"
cp -r "$work/kit-1.0" "$work/kit-0.9" && echo '; 0.9' >>"$work/kit-0.9/MRL01/ThermalMap_DC.ini"
"$NATIVE_CHECKER" --kit "$work/kit-1.0" --seal 1.0 >/dev/null
h() { sha256sum <"$work/$1" | cut -c1-64; }
printf 'name,bios_version,platform_name,ac_sha256,dc_sha256
%s
' \
  "new,MRL01.0105,x,$(h kit-1.1/MRL01/ThermalMap_AC.ini),$(h kit-1.1/MRL01/ThermalMap_DC.ini)" \
  "old,MRL01.0105,x,$(h kit-1.0/MRL01/ThermalMap_AC.ini),$(h kit-1.0/MRL01/ThermalMap_DC.ini)" \
  "older,MRL01.0105,x,$(h kit-0.9/MRL01/ThermalMap_AC.ini),$(h kit-0.9/MRL01/ThermalMap_DC.ini)" \
  "swapped,MRL01.0105,x,$(h kit-1.0/MRL01/ThermalMap_DC.ini),$(h kit-1.0/MRL01/ThermalMap_AC.ini)" \
  "bare,MRL01.0105,x,," >"$work/fleet.csv"
"$NATIVE_CHECKER" --kit "$kit" --baseline-kit "$work/kit-1.0" --baseline-kit "$work/kit-0.9" \
  --firmware "$work/fleet.csv" --format csv >"$work/fleet-out.csv" || true
check "a fleet's rows name their release, by the column's name" \
  "new:1.1 old:1.0 older:kit-0.9 swapped:other bare:not installed" \
  "$(python3 -c 'import csv, sys; print(" ".join(r["name"] + ":" + r["release"] for r in csv.DictReader(open(sys.argv[1]))))' "$work/fleet-out.csv")"

# Sealing: a kit with error findings is not sealed; a seal is replaced whole.
status=0
"$NATIVE_CHECKER" --kit "$repo/examples/kit-with-mistakes" --seal 1.0 >/dev/null 2>&1 || status=$?
check "a kit with error findings: exit 2, no seal" "2 no" \
  "$status $([ -e "$repo/examples/kit-with-mistakes/SHA256SUMS" ] && echo yes || echo no)"
# A link planted where the new seal is first written leads nowhere.
echo victim >"$work/victim" && ln -s "$work/victim" "$kit/SHA256SUMS.new"
"$NATIVE_CHECKER" --kit "$kit" --seal 1.2 >/dev/null
check "sealed again: the new release, no file left beside, a planted link's target unchanged" \
  "# release: 1.2 0 SHA256SUMS victim" \
  "$(head -1 "$kit/SHA256SUMS") $(cd "$kit" && sha256sum --quiet -c SHA256SUMS; echo $?) $(ls "$kit" | grep SHA256) $(cat "$work/victim")"
finish
