#!/usr/bin/env bash
# The capture_pipeline demo as a test: a short session (7 s at 30 fps) with the
# user's folders in a scratch folder, then its outputs. run.sh has ffprobe count the
# recording's frames; demo_outputs checks the XML report and the bitmap; this script
# the HTML report's plot and the log's encoder-stage frame-rate lines.
#   demo_check.sh BUILD_DIR DEMO_OUTPUTS [EMULATOR...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1 checker=$2
shift 2
seconds=7 fps=30 width=320 height=240
scratch=$build/demo/scratch
rm -rf "$scratch"
mkdir -p "$scratch/config" "$scratch/home/Documents"
fail() { echo "demo_check: $*" >&2; exit 1; }

if [ $# -gt 0 ]; then
    # The Windows build: the prefix's shell folders, restored afterwards. The test
    # runs alone (RUN_SERIAL), so no other test sees them.
    export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
    key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    old=()
    for name in AppData Personal; do
        old+=("$(wine reg query "$key" /v $name 2>/dev/null | tr -d '\r' |
            sed -n "s/^ *$name *REG_[A-Z_]*SZ *//p")")
    done
    restore() {
        local i=0
        for name in AppData Personal; do
            if [ -n "${old[$i]}" ]; then
                wine reg add "$key" /v $name /t REG_EXPAND_SZ /d "${old[$i]}" /f
            else
                wine reg delete "$key" /v $name /f
            fi >/dev/null 2>&1 || true
            i=$((i + 1))
        done
    }
    trap restore EXIT
    win() { echo "Z:${1//\//\\}"; }
    wine reg add "$key" /v AppData /d "$(win "$scratch/config")" /f >/dev/null 2>&1
    wine reg add "$key" /v Personal /d "$(win "$scratch/home/Documents")" /f >/dev/null 2>&1
else
    export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config
    unset XDG_DOCUMENTS_DIR
    win() { echo "$1"; }
fi

bash "$here/../../examples/capture_pipeline/run.sh" "$build" --seconds $seconds --fps $fps \
    --size ${width}x${height} || fail "the session failed"
out=$scratch/home/Documents/My\ QZ/Game\ Record
result=$("$@" "$checker" "$(win "$out/session.xml")" "$(win "$out/first_frame.bmp")" $width $height \
    $((seconds * fps)) $seconds | tr -d '\r') || fail "the XML report or the bitmap: $result"

svgs=$(grep -c '<svg' "$out/report.html")
[ "$svgs" -eq 1 ] || fail "report.html: $svgs SVG plots, want 1"
for series in capture encode cpu; do
    points=$(grep -c "<circle class=\"$series\"" "$out/report.html")
    [ "$points" -eq $seconds ] || fail "report.html: $points $series points, want $seconds"
done

# The encoder-stage counters log their average once their 5-second window has run.
log=$scratch/config/tarvel/qz/log/orvex_engine/capture_pipeline.log
for stage in in out; do
    grep -q "_updatePublishFPS  capture_pipeline encoder $stage AVG_FPS : [0-9]* FPS : [0-9]*" "$log" ||
        fail "$log: no frame-rate line of the encoder's $stage stage"
done
echo "demo_check: recording, bitmap, reports and log as expected"
