#!/usr/bin/env bash
# Makes a collection to convert: COUNT files (20000 by default) spread evenly over every kind
# mirva reads, in folders of 100, a tenth of them with the extension in capitals. Their
# content comes from a pool of 40 screens, the test card and 39 random ones: SCR, TAP, GIF and
# PCX written by mirva, TZX by tapeconv, Z80 and SZX by snapconv (from an SNA), SP, SNA, SIT,
# SLT and PZX laid out here, ZIP and gzip by Python's zipfile and gzip, PNG and JPEG by Pillow.
# Usage: bench/make-collection.sh MIRVA TEST_CARD.scr DESTINATION [COUNT]
set -euo pipefail
if (($# < 3)); then
    sed -n '2,7p' "$0" >&2
    exit 2
fi
mirva=$(realpath "$1")
card=$(realpath "$2")
destination=$3
count=${4:-20000}
if [[ -e $destination ]]; then
    echo "make-collection.sh: $destination exists already" >&2
    exit 1
fi
python=
for candidate in $(type -ap python3); do
    if "$candidate" -c 'import PIL' 2>/dev/null; then
        python=$candidate
        break
    fi
done
[[ -n $python ]] || {
    echo "make-collection.sh: needs python3 with Pillow (python3-pil)" >&2
    exit 1
}
for tool in tapeconv snapconv; do
    type -P "$tool" >/dev/null || {
        echo "make-collection.sh: needs $tool (fuse-emulator-utils)" >&2
        exit 1
    }
done

mkdir -p "$destination"
pool=$(mktemp -d)
trap 'rm -rf -- "$pool"' EXIT
screens=40

"$python" - "$card" "$pool" "$screens" <<'PY'
import random, struct, sys
card, pool, screens = sys.argv[1], sys.argv[2], int(sys.argv[3])
generator = random.Random(1)
for index in range(screens):
    screen = open(card, "rb").read() if index == 0 else generator.randbytes(6912)
    border = bytes([index % 8])
    memory = screen + bytes(49152 - 6912)
    files = {
        "scr": screen,
        # 27-byte header (the stack pointer at 23, in RAM, the border at 26), then 16384 on.
        "sna": bytes(23) + struct.pack("<H", 0xFF00) + bytes(1) + border + memory,
        "sp": b"SP" + struct.pack("<HH", 49152, 16384) + bytes(28) + border + bytes(3) + memory,
        "sit": bytes(27) + border + bytes(16384) + memory,  # header, then memory from 0
    }
    for kind, data in files.items():
        open(f"{pool}/s{index}.{kind}", "wb").write(data)
PY

for ((index = 0; index < screens; ++index)); do
    base=$pool/s$index
    for kind in tap gif pcx; do "$mirva" "$base.scr" "$base.$kind"; done
    tapeconv "$base.tap" "$base.tzx" >/dev/null 2>&1
    snapconv "$base.sna" "$base.z80" >/dev/null 2>&1
    snapconv "$base.sna" "$base.szx" >/dev/null 2>&1
done

"$python" - "$pool" "$screens" "$destination" "$count" <<'PY'
import gzip, io, shutil, struct, sys, zipfile
from PIL import Image
pool, screens, destination, count = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])

def block(tag, body):
    return tag + struct.pack("<I", len(body)) + body

for index in range(screens):
    base = f"{pool}/s{index}"
    tap = open(f"{base}.tap", "rb").read()
    data = tap[23:23 + 6914]
    pzx = block(b"PZXT", b"\x01\x00screen\x00")
    pzx += block(b"PULS", struct.pack("<HHHH", 0x8000 | 3223, 2168, 667, 735))
    pzx += block(b"DATA", struct.pack("<IHBB4H", len(data) * 8, 945, 2, 2, 855, 855, 1710, 1710)
                 + data)
    open(f"{base}.pzx", "wb").write(pzx)
    # An SLT file starts as a Z80 snapshot of version 2 or 3, as snapconv writes.
    shutil.copyfile(f"{base}.z80", f"{base}.slt")
    picture = Image.open(f"{base}.gif").convert("RGB")
    picture.save(f"{base}.png")
    picture.save(f"{base}.jpg", quality=90)
    shutil.copyfile(f"{base}.jpg", f"{base}.jpeg")
    member = ["z80", "sna", "tap", "scr"][index % 4]
    with zipfile.ZipFile(f"{base}.zip", "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("LEEME.TXT", "instrucciones\n")
        archive.write(f"{base}.{member}", f"juego.{member}")
    inner = ["z80", "sna", "tzx", "scr"][index % 4]
    with open(f"{base}.{inner}", "rb") as source:
        open(f"{base}.{inner}.gz", "wb").write(gzip.compress(source.read(), mtime=0))

kinds = ["scr", "tap", "sp", "sna", "sit", "z80", "slt", "szx", "tzx", "pzx",
         "gif", "pcx", "png", "jpg", "jpeg", "zip", "gz"]
import os
for number in range(count):
    kind = kinds[number % len(kinds)]
    index = (number // len(kinds)) % screens
    source = f"{pool}/s{index}.{kind}"
    if kind == "gz":
        inner = ["z80", "sna", "tzx", "scr"][index % 4]
        source = f"{pool}/s{index}.{inner}.gz"
        kind = f"{inner}.gz"
    folder = f"{destination}/{kind.split('.')[-1]}/{number // (100 * len(kinds)):03d}"
    os.makedirs(folder, exist_ok=True)
    extension = kind.upper() if number % 10 == 9 else kind
    shutil.copyfile(source, f"{folder}/juego {number:05d}.{extension}")
PY
echo "$count files in $destination"
