#!/usr/bin/env bash
# FFmpeg reads what FlvFile wrote. Two steps, run by ctest around FlvClip.Feed:
#   flv_probe.sh clip CLIP DIR    encodes the test clip unless the build tree has it,
#                                 and empties DIR, the writer's default folder
#   flv_probe.sh probe CLIP DIR   checks the one recording in DIR against the clip
set -euo pipefail
step=$1 clip=$2 dir=$3
fail() { echo "flv_probe: $*" >&2; exit 1; }

if [ "$step" = clip ]; then
    rm -rf "$dir"
    [ -s "$clip" ] && exit 0
    mkdir -p "$(dirname "$clip")"
    # 2 s at 30 fps, a key frame every 15 frames, B-frames so that composition
    # offsets are non-zero.
    ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=320x240:rate=30 -t 2 \
        -c:v libx264 -g 15 -bf 2 -pix_fmt yuv420p -f flv "$clip.part"
    mv "$clip.part" "$clip"
    exit 0
fi

shopt -s nullglob
files=("$dir"/*.flv)
[ ${#files[@]} -eq 1 ] || fail "want one recording in $dir, found ${#files[@]}"
out=${files[0]}
[[ $(basename "$out") =~ ^[0-9]{8}\ [0-9]{6}\.flv$ ]] || fail "not named after the time: $out"

stream=$(ffprobe -v error -count_frames -of csv=p=0 \
    -show_entries stream=codec_name,codec_type,width,height,nb_read_frames "$out")
[ "$stream" = "h264,video,320,240,60" ] || fail "stream (codec, type, size, frames): $stream"

# The timestamps given were the clip's plus a shift; the writer subtracts the first
# decoding timestamp given.
packets() { ffprobe -v error -of csv=p=0 -show_entries packet=pts,dts,flags "$1"; }
want=$(packets "$clip" | awk -F, 'NR == 1 { d = $2 } { print $1 - d "," $2 - d "," $3 }')
got=$(packets "$out")
[ "$got" = "$want" ] || fail "timestamps (pts,dts,flags) differ: $(diff <(echo "$want") <(echo "$got") | head)"
awk -F, 'NR > 1 && $2 <= last { exit 1 } { last = $2 }' <<<"$got" || fail "decoding timestamps go back"

# Per-packet checksums of the decoder configuration and every payload.
sums() { ffmpeg -v error -nostdin -i "$1" -map 0:v -c copy -f framemd5 - | grep -v '^#software'; }
[ "$(sums "$out")" = "$(sums "$clip")" ] || fail "payloads differ: $(diff <(sums "$clip") <(sums "$out") | head)"

errors=$(ffmpeg -v error -nostdin -i "$out" -f null - 2>&1)
[ -z "$errors" ] || fail "decoding: $errors"
echo "flv_probe: $out: 60 frames, payloads and timestamps as encoded, decodes cleanly"
