#!/usr/bin/env bash
# Installs what the build needs on Debian 12, skipping what is already there.
set -euo pipefail

packages=(cmake ninja-build ccache g++ pkg-config libsuperlu-dev libfftw3-dev libjpeg62-turbo-dev libpng-dev libwebp-dev googletest
          libgtest-dev libbenchmark-dev nlohmann-json3-dev python3-vtk9 librsvg2-bin
          libcpp-httplib-dev libzip-dev python3)
[[ "${VELTARO_SANITIZE:-0}" == 1 || "${VELTARO_FUZZ:-0}" == 1 ]] && packages+=(clang-14 libclang-rt-14-dev)
[[ "${VELTARO_MEMCHECK:-0}" == 1 ]] && packages+=(valgrind)
# The studio page's tests drive a headless browser.
[[ "${VELTARO_BROWSER:-0}" == 1 ]] && packages+=(chromium chromium-driver python3-selenium)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) == 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
