#!/usr/bin/env bash
# Runs every command of the README and the guide pages (all of docs/ but
# the performance notes) that shows its
# output (a session indented four spaces: "    $ command", then the
# output), each page in a world of its own at /srv/kits (docs-world.sh),
# with cram, and
# fails on any difference. With --update, writes what the programs print
# now into the pages instead (review it with git diff).
set -euo pipefail
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
repo=$(cd "$(dirname "$0")/../.." && pwd)
export DOCS_REPO=$repo DOCS_WORLD=$repo/tests/e2e/docs-world.sh
export PATH="$(dirname "$NATIVE_CHECKER"):$PATH"
update=()
[ "${1:-}" = --update ] && update=(--interactive --yes)
cd "$repo"
# Each page's world stands at /srv/kits, in a file system of its own.
status=0
for page in README.md $(ls docs/*.md | grep -v '^docs/performance\.md$'); do
  unshare -m bash -c 'mount -t tmpfs docs /srv && exec cram3 --indent=4 "$@"' cram "${update[@]}" "$page" ||
    status=1
done
exit $status
