# Helpers of the end-to-end tests, which run the real 32-bit program under
# Wine. Sourced; expects INSTALLER_EXE (the cross-built program) and
# WINEPREFIX (created here when missing) in the environment.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}"
: "${WINEPREFIX:?the Wine prefix to run in}"
export WINEPREFIX WINEDEBUG=-all
"$repo/scripts/setup-wine.sh" "$WINEPREFIX"

failures=0

# run_installer KIT VENDOR VERSION DATE [ARGS...]: runs the program copied into
# folder KIT, from there, with those firmware strings; its standard output
# goes to KIT/stdout (a file: Wine's services would hold a pipe open) and its
# exit status to KIT/status.
run_installer() {
  local kit=$1 vendor=$2 version=$3 date=$4
  shift 4
  cp "$INSTALLER_EXE" "$kit/ThermalMapInstaller.exe"
  local status=0
  (cd "$kit" && "$repo/scripts/run-with-firmware.sh" "$vendor" "$version" "$date" \
      wine ThermalMapInstaller.exe "$@" >"$kit/stdout" 2>"$kit/stderr" </dev/null) || status=$?
  wineserver -w
  echo "$status" >"$kit/status"
}

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
