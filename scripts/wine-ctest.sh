#!/usr/bin/env bash
# Runs the Windows build's tests: one prefix for the run, one persistent wineserver
# for all test processes, shut down again however the run ends.
# Usage: wine-ctest.sh BUILD_DIR [ctest args...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all

# Initialise the prefix before any test (or test discovery) starts; the servers
# it started are gone again before the persistent one starts.
"$here/wine-run.sh" "$WINEPREFIX" --init
wineserver -w 2>/dev/null || true

stop_server() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }
trap stop_server EXIT
wineserver -p </dev/null >/dev/null 2>&1
# The first Wine process starts Wine's services, which inherit its output and keep
# it open: start them here, on /dev/null, so no test's pipe is held by them.
"$here/wine-run.sh" "$WINEPREFIX" wineboot </dev/null >/dev/null 2>&1
ctest "$@"
