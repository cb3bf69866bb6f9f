#!/usr/bin/env bash
# Signing with a throwaway self-signed certificate: osslsigncode accepts the
# signed copy, it prints the same report under Wine as the program, and the
# program itself is left as built.
source "$(dirname "$0")/wine-lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=ThermalMap test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
built=$(sha256sum <"$INSTALLER_EXE")
mkdir "$work/build" "$work/unsigned" "$work/signed-kit"
cp "$INSTALLER_EXE" "$work/build/"
signed=$("$repo/scripts/sign.sh" "$work/build/ThermalMapInstaller.exe" "$work/cert.pem" "$work/key.pem")
check "the program is left as built" "$built" "$(sha256sum <"$work/build/ThermalMapInstaller.exe")"
verified=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" 2>&1) || true
check "osslsigncode verifies the signed copy" "Succeeded" "$(grep -ox 'Succeeded' <<<"$verified")"

masked_report() { sed -E 's/(DMI at address )[0-9A-F]{8}/\1ADDRESS/' "$1/stdout"; }
run_installer "$work/unsigned" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
INSTALLER_EXE=$signed run_installer "$work/signed-kit" "Contoso Ltd" "ZX81.0203.A" "11/30/2026" -I
check "the signed copy prints the same report" "$(masked_report "$work/unsigned")" \
  "$(masked_report "$work/signed-kit")"
check "the report is there" "Version: ZX81.0203.A"$'\r' "$(grep '^Version' "$work/signed-kit/stdout")"
finish
