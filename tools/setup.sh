#!/usr/bin/env bash
# Installs what the build, the simulated host and the tests need, when it is missing.
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine64
          xvfb xauth imagemagick x11-utils xdotool bc clang libclang-rt-14-dev valgrind
          libncurses-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
