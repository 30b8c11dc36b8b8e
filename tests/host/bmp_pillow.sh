#!/usr/bin/env bash
# saveAsBMP's output read by a real reader: Pillow (Debian's python3-pil).
# Usage: bmp_pillow.sh FILE HOST_COMMAND...   (the host writes FILE, then Pillow reads it)
set -euo pipefail
file=$1
shift
rm -f "$file"
"$@" bmp "$file"
/usr/bin/python3 - "$file" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1])
want = ((3, 2), [(255, 0, 0), (0, 255, 0), (0, 0, 255), (1, 2, 3), (200, 100, 50), (255, 255, 255)])
got = (im.size, list(im.convert("RGB").getdata()))
print("got", got, "want", want)
sys.exit(0 if got == want else 1)
PY
