#!/usr/bin/env bash
# Runs every test, installing what it needs first: static checks, the fuzz
# targets (a minute each), the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the unit tests and the checks of the real
# 32-bit program (its shape, a reproducible build, runs under Wine) and of
# the native checker, with its package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in windows-x86 linux host host-asan fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
(cd build/linux && cpack -G DEB >/dev/null)
scripts/lint.sh
ctest --preset fuzz
ctest --preset host-asan
ctest --preset host
