#!/usr/bin/env bash
# Runs every test: the native unit tests and the real 32-bit program under
# Wine. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows-x86
cmake --build --preset windows-x86
cmake --preset host
cmake --build --preset host
ctest --preset host
