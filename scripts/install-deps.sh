#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is all there already.
set -euo pipefail

packages=(cmake make g++ googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth xdotool
          fonts-wine imagemagick chromium clang libclang-rt-14-dev file e2fsprogs mount python3 time)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
# With Wine's recommended libraries, as the program is tested with them.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
