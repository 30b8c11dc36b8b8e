#!/usr/bin/env bash
# Builds libswscale and libavutil as 64-bit Windows DLLs with mingw-w64 from the
# source of Debian's ffmpeg package, so the Windows build's pixel conversion runs
# against the real library under Wine. The result is cached outside the source tree,
# keyed by the source version, so later runs only copy it.
#
#   scripts/build-swscale-win.sh DEST...   copy the DLLs into each DEST folder
set -euo pipefail

version=$(dpkg-query -W -f='${source:Version}' libswscale-dev 2>/dev/null ||
    dpkg-query -W -f='${source:Version}' ffmpeg)
cache=${PUBFUNC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pubfunc}/swscale-win/$version
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs a deb-src entry; add one for the configured Debian mirror when
# none exists (the same mirror, suites and components as the binary entries).
ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d; then
        return
    fi
    local src=/etc/apt/sources.list.d/debian.sources
    local uri suites
    uri=$(awk '/^URIs:/ {print $2; exit}' "$src")
    suites=$(awk '/^Suites:/ {$1=""; print; exit}' "$src")
    printf 'Types: deb-src\nURIs: %s\nSuites:%s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$suites" | $sudo tee /etc/apt/sources.list.d/pubfunc-deb-src.sources >/dev/null
    $sudo apt-get update -qq
}

build() {
    local work
    work=$(mktemp -d)
    trap 'rm -rf "$work"' RETURN
    ensure_deb_src
    (cd "$work" && apt-get source -qq --download-only "ffmpeg=$version" &&
        dpkg-source -x ffmpeg_*.dsc src) >"$work/source.log" 2>&1 ||
        { cat "$work/source.log"; return 1; }
    # Inline assembly stays off: built for 64-bit Windows, its paths make a bicubic
    # down-scale write only the last two rows of each plane. The separate assembly
    # files need nasm.
    local asm=--disable-x86asm
    command -v nasm >/dev/null && asm=
    (cd "$work/src" && ./configure --prefix="$work/out" --target-os=mingw32 --arch=x86_64 \
        --cross-prefix=x86_64-w64-mingw32- --enable-shared --disable-static \
        --disable-programs --disable-doc --disable-everything --disable-autodetect \
        --disable-avcodec --disable-avformat --disable-avdevice --disable-avfilter \
        --disable-swresample --disable-postproc --disable-network --enable-swscale \
        --disable-pthreads --enable-w32threads --extra-ldflags=-static --disable-inline-asm \
        $asm && make -j"$(nproc)" && make install) >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log"; return 1; }
    mkdir -p "$cache.tmp"
    cp "$work"/out/bin/*.dll "$cache.tmp"/
    rm -rf "$cache" && mv "$cache.tmp" "$cache"
}

[ -d "$cache" ] || { echo "build-swscale-win: building ffmpeg $version's libswscale for Windows"; build; }
for dest in "$@"; do
    mkdir -p "$dest" && cp "$cache"/*.dll "$dest"/
done
