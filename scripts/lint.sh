#!/usr/bin/env bash
# Static checks of src/: clang-tidy (configured in .clang-tidy) on the native
# build's compile commands, and cppcheck. The Windows calls in
# src/platform/platform-win32.cc are checked by the cross-build's warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/host/compile_commands.json ] || cmake --preset host >/dev/null
sources=$(git ls-files 'src/*.cc' | grep -v -- '-win32\.cc$')
# clang-tidy counts the warnings it hides in system headers; only findings matter.
# shellcheck disable=SC2086
# A file at a time on every core: clang-tidy itself checks one after another.
if ! findings=$(printf '%s\n' $sources | xargs -P "$(nproc)" -n 1 clang-tidy-14 -p build/host --quiet 2>&1); then
  echo "$findings" | grep -v 'warnings generated\.$'
  exit 1
fi
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --quiet \
  --std=c++17 --language=c++ -I src src
echo "lint: clean"
