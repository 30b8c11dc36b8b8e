#!/usr/bin/env bash
# full_disk.sh DIR COMMAND [ARG...]: runs COMMAND with a 64 KiB tmpfs mounted on
# DIR, for a test of what happens when the disk fills. Mounting needs root (CI and
# developer machines here run as root); elsewhere the test is skipped.
set -euo pipefail
dir=$1
shift
mkdir -p "$dir"
if ! mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
    echo "full_disk: cannot mount a tmpfs here; skipped"
    exit 0
fi
trap 'umount "$dir"' EXIT
"$@"
