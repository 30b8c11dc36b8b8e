#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need. Idempotent: when
# every package is present it returns at once without touching apt.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64
    googletest libbenchmark-dev libspdlog-dev
    libclang-rt-14-dev libpugixml-dev shared-mime-info
    ffmpeg locales
    libglib2.0-dev libsigc++-3.0-dev
    python3-pil
    libswscale-dev libavutil-dev libyuv-dev dpkg-dev
    clang-tidy-14 gcovr
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
