#!/usr/bin/env bash
# Installs what building and testing need on Debian (as root). Safe to rerun.
#
# A mirror caught mid-sync serves an index that fails to download, often for
# one suite and one architecture (such as the security suite's i386 index),
# for hours. apt-get update then fails, and the install may fail too: an
# amd64 library takes the suite's newer version, and its i386 twin, with no
# index, cannot follow. So an index that fails is named and passed over, and
# a failed install is tried once more without the suites whose indexes
# failed.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libbenchmark-dev libssl-dev
          clang-14 libclang-rt-14-dev clang-tidy-14 cppcheck
          g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
          wine wine32:i386 wine64 qemu-user-static osslsigncode openssl python3 file
          chromium fonts-dejavu-core mawk time parallel)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" "${missing[@]}"
}

apt-get update -q 2>&1 | tee "$work/update.log" || true
# "URI suite" of each suite with an index that failed:
# "E: Failed to fetch http://host/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz ..."
sed -n 's|^[EW]: Failed to fetch \([^ ]*\)/dists/\([^/ ]*\)/.*|\1 \2|p' "$work/update.log" | sort -u >"$work/failed"
while read -r uri suite; do
  echo "install-deps: the index of $suite at $uri failed to download (apt goes on with what it has of it)"
done <"$work/failed"

install && exit 0
if [ ! -s "$work/failed" ]; then
  echo "install-deps: the packages could not be installed (apt's error above); try again later, or run apt-get update to see why"
  exit 1
fi

# The same sources, less the suites whose indexes failed: a one-line entry
# of such a suite is left out, and the suite is taken from a deb822 entry's
# "Suites:".
eval "$(apt-config shell sourcelist Dir::Etc::sourcelist/f sourceparts Dir::Etc::sourceparts/d)"
mkdir "$work/sources.list.d"
drop_failed() {
  awk -v failed="$work/failed" '
    function bare(uri) { sub(/\/+$/, "", uri); return uri }
    BEGIN { while ((getline line < failed) > 0) { split(line, f, " "); bad[bare(f[1]) " " f[2]] = 1 } }
    # A deb822 stanza is held until its end: its URIs may follow its suites.
    function flush(   i, j, n, m, kept, s, u, drop) {
      if (suitesAt) {
        n = split(suites, s, /[ \t]+/); m = split(uris, u, /[ \t]+/); kept = ""
        for (i = 1; i <= n; i++) {
          drop = 0
          for (j = 1; j <= m; j++) if ((bare(u[j]) " " s[i]) in bad) drop = 1
          if (s[i] != "" && !drop) kept = kept " " s[i]
        }
        stanza[suitesAt] = kept == "" ? stanza[suitesAt] "\nEnabled: no" : "Suites:" kept
      }
      for (i = 1; i <= lines; i++) print stanza[i]
      lines = 0; suitesAt = 0; uris = ""; suites = ""
    }
    FILENAME ~ /\.sources$/ {
      if ($0 ~ /^[ \t]*$/) { flush(); print; next }
      stanza[++lines] = $0
      if (tolower($1) == "uris:") { uris = $0; sub(/^[^:]*:/, "", uris) }
      if (tolower($1) == "suites:") { suites = $0; sub(/^[^:]*:/, "", suites); suitesAt = lines }
      next
    }
    # A one-line entry: deb [options] URI suite components...
    $1 ~ /^deb/ {
      entry = $0; sub(/\[[^]]*\]/, "", entry); split(entry, w, " ")
      if ((bare(w[2]) " " w[3]) in bad) next
    }
    { print }
    END { flush() }' "$1"
}
[ -f "$sourcelist" ] && drop_failed "$sourcelist" >"$work/sources.list"
for file in "$sourceparts"/*.list "$sourceparts"/*.sources; do
  [ -f "$file" ] && drop_failed "$file" >"$work/sources.list.d/${file##*/}"
done
left_out=$(awk '{ printf "%s%s", (NR > 1 ? ", " : ""), $2 }' "$work/failed")
echo "install-deps: trying once more without $left_out, whose index failed to download"
if install -o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts="$work/sources.list.d"; then
  echo "install-deps: installed without $left_out"
  exit 0
fi
echo "install-deps: the packages could not be installed, with or without $left_out (apt's error above); where a mirror is mid-sync, try again in an hour"
exit 1
