#!/usr/bin/env bash
# Signs a copy of a program with Authenticode (SHA-256) through osslsigncode,
# with your own code-signing certificate and its private key (PEM or DER).
# The copy goes to the folder "signed" beside the program, under the same
# file name; the program itself is left as built. With TIMESTAMP_URL, an
# RFC 3161 time-stamp server, the signature stays valid after the
# certificate expires.
# Usage: scripts/sign.sh EXE CERT KEY [TIMESTAMP_URL]
set -euo pipefail
[ $# -ge 3 ] && [ $# -le 4 ] || { echo "usage: $0 EXE CERT KEY [TIMESTAMP_URL]" >&2; exit 2; }
exe=$1 cert=$2 key=$3
signed_dir=$(dirname "$exe")/signed
signed=$signed_dir/$(basename "$exe")
mkdir -p "$signed_dir"
rm -f "$signed"
options=(-certs "$cert" -key "$key" -h sha256 -n "$(basename "$exe" .exe)")
[ $# -eq 4 ] && options+=(-ts "$4")
osslsigncode sign "${options[@]}" -in "$exe" -out "$signed" >/dev/null
echo "$signed"
