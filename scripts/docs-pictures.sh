#!/usr/bin/env bash
# Remakes the README's pictures: the test card as mirva writes it to GIF, still and animated
# with its border, and a picture drawn here fitted to a Spectrum screen and written back to GIF.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${MIRVA_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target mirva >/dev/null
mirva=$(realpath "$build/mirva")
mkdir -p docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f docs/testcard.gif docs/testcard-flash.gif docs/fit-source.gif docs/fit-result.gif
"$mirva" examples/testcard.sna docs/testcard.gif
"$mirva" --flash --border --scale=2 examples/testcard.sna docs/testcard-flash.gif
# A 256-colour picture with smooth gradients and shapes, the hard case for two colours a cell.
/usr/bin/python3 - "$work/art.gif" <<'PY'
import math, sys
from PIL import Image, ImageDraw
w, h = 256, 192
img = Image.new("RGB", (w, h))
px = img.load()
for y in range(h):
    for x in range(w):
        px[x, y] = (int(255 * x / (w - 1)), int(160 + 90 * math.sin(y / 30)), int(255 * y / (h - 1)))
d = ImageDraw.Draw(img)
d.ellipse((40, 30, 140, 130), fill=(250, 230, 40), outline=(0, 0, 0), width=4)
d.rectangle((150, 90, 230, 170), fill=(20, 40, 200), outline=(255, 255, 255), width=3)
d.polygon([(20, 180), (90, 140), (130, 185)], fill=(200, 30, 30))
for r in range(0, 60, 8):
    d.arc((170 - r, 10 - r // 2, 250 + r // 3, 80 + r // 2), 0, 180, fill=(255, 255, 255), width=2)
img.convert("P", palette=Image.ADAPTIVE, colors=256).save(sys.argv[1])
PY
cp "$work/art.gif" docs/fit-source.gif
"$mirva" "$work/art.gif" "$work/art.scr"
"$mirva" "$work/art.scr" docs/fit-result.gif
echo "wrote docs/testcard.gif, docs/testcard-flash.gif, docs/fit-source.gif and docs/fit-result.gif"
