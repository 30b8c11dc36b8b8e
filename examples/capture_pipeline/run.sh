#!/usr/bin/env bash
# Builds the capture-pipeline demo against the installed package of one build tree
# and runs one session.
#
#   run.sh BUILD_DIR [demo options...]
#
# BUILD_DIR is a built tree (build/linux or build/windows). The package goes into
# BUILD_DIR/demo/prefix and the demo is built in BUILD_DIR/demo/build, beside the
# library's DLL (and libswscale's, for Windows); the Windows demo runs under Wine in
# the tree's prefix. The H.264 clip is encoded with ffmpeg from the demo's own
# pattern, once for each size, rate and length, and kept in BUILD_DIR/demo/clips.
# After the session, ffprobe counts the frames of the recording.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
shift
work=$build/demo
prefix=$work/prefix
fail() { echo "run.sh: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
config=(-S "$here" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$prefix")
# The demo is held to the library's own warning flags.
config+=("-DCMAKE_CXX_FLAGS=-Wall -Wextra -Wpedantic -Werror")
[ -z "$toolchain" ] || config+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
cmake "${config[@]}" >/dev/null
cmake --build "$work/build" >/dev/null

if [ -n "$toolchain" ]; then
    cp "$prefix"/bin/*.dll "$work/build/"
    bash "$root/scripts/build-swscale-win.sh" "$work/build"
    demo=("$root/scripts/wine-run.sh" "$build/wineprefix" "$work/build/capture_pipeline.exe")
    # Wine's services start with the first program of a server and keep its output
    # open; started here on /dev/null, they hold no pipe of ours (ffmpeg's input).
    "${demo[@]:0:2}" wineboot </dev/null >/dev/null 2>&1
    hostPath() { echo "Z:${1//\//\\}"; }
    unixPath() {
        case $1 in
        [Zz]:*) local p=${1#?:}; echo "${p//\\//}" ;;
        *) WINEPREFIX=$build/wineprefix WINEDEBUG=-all winepath -u "$1" 2>/dev/null ;;
        esac
    }
else
    export LD_LIBRARY_PATH=$prefix/lib
    demo=("$work/build/capture_pipeline")
    hostPath() { echo "$1"; }
    unixPath() { echo "$1"; }
fi

# The settings of this session (user.ini and the options), then its clip.
read -r width height fps frames < <("${demo[@]}" --settings "$@" | tr -d '\r') ||
    fail "no settings (options: $*)"
clip=$work/clips/${width}x${height}-${fps}fps-${frames}.h264
if [ ! -s "$clip" ]; then
    echo "run.sh: encoding the ${width}x${height} clip of $frames frames"
    mkdir -p "$work/clips"
    # As a live encoder does: no B-frames (frames leave in capture order), a key
    # frame every 2 seconds.
    "${demo[@]}" --pattern "$@" | ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgra \
        -s "${width}x${height}" -r "$fps" -i - -c:v libx264 -preset veryfast -bf 0 \
        -g $((2 * fps)) -pix_fmt yuv420p -f h264 "$clip.part"
    mv "$clip.part" "$clip"
fi

"${demo[@]}" "$@" --clip "$(hostPath "$clip")" | tr -d '\r' | tee "$work/session.txt" ||
    fail "the session failed"

flv=$(unixPath "$(sed -n 's/^  flv *//p' "$work/session.txt")")
[ -f "$flv" ] || fail "no recording at '$flv'"
stream=$(ffprobe -v error -count_frames -select_streams v -of csv=p=0 \
    -show_entries stream=codec_name,width,height,nb_read_frames "$flv")
[ "$stream" = "h264,$width,$height,$frames" ] ||
    fail "ffprobe (codec, width, height, frames): $stream, want h264,$width,$height,$frames"
echo "ffprobe: $flv: H.264 ${width}x${height}, $frames frames"
