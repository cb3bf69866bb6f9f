#!/usr/bin/env bash
# Runs every test, installing what it needs first: static checks, the fuzz
# targets (a minute each), the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the unit tests and the checks of the real
# 32-bit program (its shape, a reproducible build, runs under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in windows-x86 host host-asan fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
scripts/lint.sh
ctest --preset fuzz
ctest --preset host-asan
ctest --preset host
