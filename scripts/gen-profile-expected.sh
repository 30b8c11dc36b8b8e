#!/usr/bin/env bash
# Regenerates tests/data/profile_expected.txt, the expected results of the
# profile-file differential (tests/sys/profile_table.h), from the Windows build:
# the sequence runs through the system's GetPrivateProfileStringA and
# WritePrivateProfileStringA (Wine's, in the build's own prefix). The Linux
# build's own reader and writer must then give the same lines;
# test_pubfunc_internal.cpp checks both builds against the file. Run it after
# changing the table, and review the diff before committing. No test runs it.
# Usage: scripts/gen-profile-expected.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target profile_dump
out=tests/data/profile_expected.txt
prefix=$root/build/windows/wineprefix
work=$root/build/windows/scratch/profile-gen
mkdir -p "$work"
{
    echo "# Profile files through the Windows build's system functions (under Wine)."
    echo "# Made by scripts/gen-profile-expected.sh from tests/sys/profile_table.h; do not edit."
    scripts/wine-run.sh "$prefix" build/windows/bin/profile_dump.exe "Z:$work/" | tr -d '\r'
} >"$out.tmp"
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
mv "$out.tmp" "$out"
echo "wrote $out ($(grep -vc '^#' "$out") lines)"
