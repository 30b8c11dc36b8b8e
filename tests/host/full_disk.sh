#!/usr/bin/env bash
# Runs the logger's full-disk scenario on a 64 KiB tmpfs. Mounting needs root (CI
# and developer machines here run as root); elsewhere the scenario is skipped.
set -euo pipefail
host=$1
dir=$2
mkdir -p "$dir"
if ! mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
    echo "full_disk: cannot mount a tmpfs here; skipped"
    exit 0
fi
trap 'umount "$dir"' EXIT
"$host" full-disk "$dir"
