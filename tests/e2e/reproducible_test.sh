#!/usr/bin/env bash
# Two clean builds of the programs, one from this tree and one from a copy
# of it elsewhere, give the same bytes as each other and as the tested
# programs: no link timestamp, source or build path, or date in the images.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
: "${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}"
: "${CHECKER_EXE:?the cross-built ThermalMapCheck.exe}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/copy"
(cd "$repo" && tar cf - CMakeLists.txt cmake res src tests fuzz bench) | tar xf - -C "$work/copy"
build() {  # build SOURCE BUILD
  cmake -S "$1" -B "$2" --toolchain "$1/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    >/dev/null
  cmake --build "$2" -j2 >/dev/null
}
build "$repo" "$work/first"
build "$work/copy" "$work/second-build"
for exe in "$INSTALLER_EXE" "$CHECKER_EXE"; do
  name=$(basename "$exe")
  cmp "$work/first/$name" "$work/second-build/$name"
  cmp "$work/first/$name" "$exe"
  echo "reproducible: $name $(sha256sum <"$exe" | cut -c1-16)"
done
