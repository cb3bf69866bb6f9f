#!/usr/bin/env bash
# A clean build from a copy of this tree elsewhere gives the same bytes as
# the tested programs: no link timestamp, source or build path, or date in
# the images.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
: "${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}"
: "${CHECKER_EXE:?the cross-built ThermalMapCheck.exe}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/copy"
(cd "$repo" && tar cf - CMakeLists.txt cmake res src tests fuzz bench) | tar xf - -C "$work/copy"
cmake -S "$work/copy" -B "$work/second-build" --toolchain "$work/copy/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/second-build" -j2 --target ThermalMapInstaller ThermalMapCheck >/dev/null
for exe in "$INSTALLER_EXE" "$CHECKER_EXE"; do
  name=$(basename "$exe")
  cmp "$work/second-build/$name" "$exe"
  echo "reproducible: $name $(sha256sum <"$exe" | cut -c1-16)"
done
