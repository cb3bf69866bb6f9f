# Helpers of the end-to-end tests, which run the real 32-bit programs under
# Wine. Sourced; expects INSTALLER_EXE (the cross-built program) and
# WINE_BASE_PREFIX (created here when missing) in the environment. Each test
# runs in a fresh copy of that prefix of its own.
source "$(dirname "${BASH_SOURCE[0]}")/test-lib.sh"
: "${INSTALLER_EXE:?the cross-built ThermalMapInstaller.exe}"
: "${WINE_BASE_PREFIX:?the Wine prefix to copy}"
"$repo/scripts/setup-wine.sh" "$WINE_BASE_PREFIX"
export WINEPREFIX=$WINE_BASE_PREFIX-$(basename "$0" .sh) WINEDEBUG=-all
rm -rf "$WINEPREFIX"
cp -a "$WINE_BASE_PREFIX" "$WINEPREFIX"


# run_in_kit KIT VENDOR VERSION DATE PROGRAM [ARGS...]: runs PROGRAM (a
# Windows command line) from folder KIT, with the installer copied there
# and with those firmware strings; its standard input is the file $STDIN
# (none when unset), its standard output goes to KIT/stdout (a file: Wine's
# services would hold a pipe open) and its exit status to KIT/status.
run_in_kit() {
  local kit=$1 vendor=$2 version=$3 date=$4
  shift 4
  cp "$INSTALLER_EXE" "$kit/ThermalMapInstaller.exe"
  local status=0
  (cd "$kit" && "$repo/scripts/run-with-firmware.sh" "$vendor" "$version" "$date" \
      wine "$@" >"$kit/stdout" 2>"$kit/stderr" <"${STDIN:-/dev/null}") || status=$?
  wineserver -w
  echo "$status" >"$kit/status"
}

# run_installer KIT VENDOR VERSION DATE [ARGS...]: the installer, as above.
run_installer() { run_in_kit "$1" "$2" "$3" "$4" ThermalMapInstaller.exe "${@:5}"; }
