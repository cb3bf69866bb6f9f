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
#
# Where the kernel cannot run i386 code, 32-bit Wine runs through qemu-user,
# and only qemu-user 10 runs it in seconds: it comes from the backports
# suite, through a sources entry of the project's own (backports give
# nothing unless asked by name). Where that suite cannot be had, bookworm's
# qemu-user-static 7.2 serves, at about a minute a Wine run.
set -euo pipefail
source "$(dirname "$0")/i386-lib.sh"
packages=(cmake g++ make libgtest-dev libbenchmark-dev libssl-dev
          clang-14 libclang-rt-14-dev clang-tidy-14 cppcheck
          g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
          wine wine32:i386 wine64 osslsigncode openssl python3 file
          chromium fonts-dejavu-core poppler-utils mawk time parallel python3-cram miller faketime)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ] && { ! kernel_needs_qemu || qemu_user_10_installed; }; then
  exit 0
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# update: apt-get update, naming each index that failed to download;
# "URI suite" of each such suite goes to $work/failed.
update() {
  apt-get update -q 2>&1 | tee "$work/update.log" || true
  # "E: Failed to fetch http://host/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz ..."
  sed -n 's|^[EW]: Failed to fetch \([^ ]*\)/dists/\([^/ ]*\)/.*|\1 \2|p' "$work/update.log" |
    sort -u >"$work/failed"
  while read -r uri suite; do
    echo "install-deps: the index of $suite at $uri failed to download (apt goes on with what it has of it)"
  done <"$work/failed"
}

# The same sources, less the suites whose indexes failed: a one-line entry
# of such a suite is left out, and the suite is taken from a deb822 entry's
# "Suites:".
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
without_failed() {
  [ -d "$work/sources.list.d" ] && return
  eval "$(apt-config shell sourcelist Dir::Etc::sourcelist/f sourceparts Dir::Etc::sourceparts/d)"
  mkdir "$work/sources.list.d"
  [ -f "$sourcelist" ] && drop_failed "$sourcelist" >"$work/sources.list"
  for file in "$sourceparts"/*.list "$sourceparts"/*.sources; do
    [ -f "$file" ] && drop_failed "$file" >"$work/sources.list.d/${file##*/}"
  done
}

# install [APT-OPTIONS...] PACKAGE...: installs them; where that fails and
# indexes failed to download, tries once more without those suites.
install() {
  local apt=(apt-get install -y -q --no-install-recommends)
  DEBIAN_FRONTEND=noninteractive "${apt[@]}" "$@" && return 0
  if [ ! -s "$work/failed" ]; then
    echo "install-deps: the packages could not be installed (apt's error above); try again later, or run apt-get update to see why"
    return 1
  fi
  without_failed
  local left_out
  left_out=$(awk '{ printf "%s%s", (NR > 1 ? ", " : ""), $2 }' "$work/failed")
  echo "install-deps: trying once more without $left_out, whose index failed to download"
  if DEBIAN_FRONTEND=noninteractive "${apt[@]}" -o Dir::Etc::sourcelist="$work/sources.list" \
       -o Dir::Etc::sourceparts="$work/sources.list.d" "$@"; then
    echo "install-deps: installed without $left_out"
    return 0
  fi
  echo "install-deps: the packages could not be installed, with or without $left_out (apt's error above); where a mirror is mid-sync, try again in an hour"
  return 1
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  update
  install "${missing[@]}"
fi

# Only now, with libc6:i386 installed, can the loader tell whether the
# kernel runs i386 code.
if ! kernel_needs_qemu || qemu_user_10_installed; then
  exit 0
fi
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
backports=$codename-backports
if [ -z "$(apt-get indextargets --format '$(REPO_URI)' "Release: $backports")" ]; then
  # The backports suite lives beside the release's own, on the same mirror.
  uri=$(apt-get indextargets --format '$(REPO_URI)' "Release: $codename" 'Created-By: Packages' | head -n 1)
  echo "install-deps: adding $backports from $uri, for qemu-user 10"
  {
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "$uri" "$backports"
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    if [ -f "$keyring" ]; then printf 'Signed-By: %s\n' "$keyring"; fi
  } >"/etc/apt/sources.list.d/thermalmap-$backports.sources"
fi
echo "installing: qemu-user from $backports"
rm -rf "$work/sources.list.d"  # the failed suites will be this update's
update
if install -t "$backports" qemu-user; then
  exit 0
fi
echo "install-deps: qemu-user 10 could not be had from $backports; Wine runs through qemu-user-static 7.2, about a minute a run"
install qemu-user-static
