#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's archive, when it
# is missing. Safe to run again: installed packages are skipped. Packages
# named on the command line are wanted as well (./package adds its tools).
set -euo pipefail
# clang and libclang-rt-14-dev (libFuzzer, the sanitizer runtimes) build the fuzz targets.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgtest-dev libgmock-dev fontconfig fonts-dejavu-core
          clang libclang-rt-14-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
