# What every end-to-end test shares: the repository's folder, and checks
# that count failures. Sourced.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
failures=0

# check NAME EXPECTED ACTUAL: counts a failure when the texts differ.
check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    diff <(printf '%s' "$2" | od -c) <(printf '%s' "$3" | od -c) | head -20 || true
    failures=$((failures + 1))
  fi
}

# finish: the test's result.
finish() {
  echo "$failures failed"
  [ "$failures" -eq 0 ]
}
