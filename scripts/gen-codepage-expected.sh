#!/usr/bin/env bash
# Regenerates tests/data/codepage_65001.txt, the expected results of the code-page
# differential table (tests/core/codepage_table.h), from the Windows build: the
# table runs through the system's MultiByteToWideChar and WideCharToMultiByte
# (Wine's, in the build's own prefix). The Linux build's own UTF-8 codec must
# then give the same lines; test_codepage_internal.cpp checks both builds against
# the file. Run it after changing the table, and review the diff before
# committing. No test runs it.
# Usage: scripts/gen-codepage-expected.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target codepage_dump
out=tests/data/codepage_65001.txt
prefix=$root/build/windows/wineprefix
{
    echo "# Code page 65001 through the Windows build's system functions (under Wine)."
    echo "# Made by scripts/gen-codepage-expected.sh from tests/core/codepage_table.h; do not edit."
    scripts/wine-run.sh "$prefix" build/windows/bin/codepage_dump.exe | tr -d '\r'
} >"$out.tmp"
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
mv "$out.tmp" "$out"
echo "wrote $out ($(grep -vc '^#' "$out") lines)"
