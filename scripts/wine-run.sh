#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's own prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
#        wine-run.sh PREFIX --init     (create the prefix only)
# The prefix is created on first use (wineboot, output discarded: the services it
# starts would otherwise hold the caller's pipes open), with drive D: mapped to
# PREFIX/../wine-d, and with the null graphics driver, under which top-level
# windows can be created without a display (set on a prefix made before, too).
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

null_graphics() { grep -qs '^"Graphics"="null"' "$prefix/user.reg"; }
if [ ! -f "$prefix/system.reg" ] || ! null_graphics; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            wineboot -i </dev/null >/dev/null 2>&1
            wineserver -w
            mkdir -p "$prefix/../wine-d"
            ln -sfn "$(cd "$prefix/../wine-d" && pwd)" "$prefix/dosdevices/d:"
        fi
        if ! null_graphics; then
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$prefix.lock"
fi
[ "${1:-}" = --init ] && exit 0
exec wine "$@"
