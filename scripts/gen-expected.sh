#!/usr/bin/env bash
# Regenerates the expected results of a differential table from the Windows build,
# where the table runs through the system's own functions (Wine's, in the build's
# own prefix); every build must then give the same lines, and the table's test
# checks them against the file. Run it after changing the table, and review the
# diff before committing. No test runs it.
#   codepage: tests/core/codepage_table.h through MultiByteToWideChar and
#             WideCharToMultiByte into tests/data/codepage_65001.txt
#   profile:  tests/sys/profile_table.h through GetPrivateProfileStringA and
#             WritePrivateProfileStringA into tests/data/profile_expected.txt
# Usage: scripts/gen-expected.sh codepage|profile
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
prefix=$root/build/windows/wineprefix
case "${1:-}" in
codepage)
    program=codepage_dump table=tests/core/codepage_table.h out=tests/data/codepage_65001.txt
    what="Code page 65001" args=()
    ;;
profile)
    work=$root/build/windows/scratch/profile-gen
    mkdir -p "$work"
    program=profile_dump table=tests/sys/profile_table.h out=tests/data/profile_expected.txt
    what="Profile files" args=("Z:$work/")
    ;;
*)
    echo "usage: $0 codepage|profile" >&2
    exit 2
    ;;
esac
cmake --preset windows >/dev/null
cmake --build --preset windows --target "$program"
{
    echo "# $what through the Windows build's system functions (under Wine)."
    echo "# Made by scripts/gen-expected.sh $1 from $table; do not edit."
    scripts/wine-run.sh "$prefix" "build/windows/bin/$program.exe" "${args[@]}" | tr -d '\r'
} >"$out.tmp"
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
mv "$out.tmp" "$out"
echo "wrote $out ($(grep -vc '^#' "$out") lines)"
