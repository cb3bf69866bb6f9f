#!/usr/bin/env bash
# Installs what building and testing need on Debian (as root). Safe to rerun.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libbenchmark-dev
          clang-14 libclang-rt-14-dev clang-tidy-14 cppcheck
          g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
          wine wine32:i386 wine64 qemu-user-static osslsigncode openssl python3 file
          chromium fonts-dejavu-core mawk time)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
