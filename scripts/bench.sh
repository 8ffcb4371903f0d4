#!/usr/bin/env bash
# Whole-process timings of every job against the floor program (a 6912-byte stdio copy) and
# against ImageMagick and Pillow doing the same picture conversion, one process per file, in
# paired alternating runs; the instructions of the fit of one picture, counted by callgrind;
# then the in-process benchmarks, with our GIF encoder against giflib's.
# Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
repo=$PWD
scripts/install-deps.sh
build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMIRVA_BUILD_BENCHMARKS=ON \
    -DMIRVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
build_path=$(realpath "$build")
mirva=$build_path/mirva
timer=$(realpath "$build/bench/process_timer")
floor=$(realpath "$build/bench/floor")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/testcard.scr examples/testcard.sna "$work/"
cd "$work"
head -c 6912 /dev/zero >zero.scr
# The worst case for the encoders: random bits and random attributes in every cell.
head -c 6912 /dev/urandom >random.scr
"$mirva" testcard.scr card.gif
"$mirva" testcard.scr card.pcx
snapconv testcard.sna card.z80 >/dev/null 2>&1
# Tapes: the test card saved by tapeconv as a TZX, the same attached as a loading screen to a
# tape with no screen block, and a PZX of a pilot tone and the data block.
"$mirva" testcard.scr card.tap
tapeconv card.tap card.tzx
head -c 21 card.tap >header.tap
tapeconv -s testcard.scr header.tap loading.tzx
python3 - <<'PY'
import struct
tap = open("card.tap", "rb").read()
data = tap[23:23 + 6914]
def block(tag, body):
    return tag + struct.pack("<I", len(body)) + body
pzx = block(b"PZXT", b"\x01\x00card\x00")
pzx += block(b"PULS", struct.pack("<HHHH", 0x8000 | 3223, 2168, 667, 735))
pzx += block(b"DATA", struct.pack("<IHBB4H", len(data) * 8, 945, 2, 2, 855, 855, 1710, 1710) + data)
open("card.pzx", "wb").write(pzx)
PY
snapconv testcard.sna card.szx >/dev/null 2>&1
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("readme.txt", "hola\n")
    archive.write(sys.argv[2])' card.zip card.z80
python3 -c 'import gzip, shutil, sys
with open(sys.argv[1], "rb") as source, gzip.open(sys.argv[2], "wb") as target:
    shutil.copyfileobj(source, target)' card.z80 card.z80.gz
/usr/bin/convert card.gif card.png
# A 12-megapixel photo-like JPEG: gradients and grain, as a camera's file of 4000x3000.
/usr/bin/python3 - <<'PY'
import numpy as np
from PIL import Image
y, x = np.mgrid[0:3000, 0:4000]
rgb = np.stack([x * 255 // 3999, y * 255 // 2999, (x // 7 + y // 5) % 256], axis=2)
rgb = rgb + np.random.default_rng(1).integers(-12, 13, rgb.shape)
Image.fromarray(np.clip(rgb, 0, 255).astype(np.uint8)).save('photo12.jpg', quality=90)
# The 15 Spectrum colours, for ImageMagick's -remap.
colours = []
for level in (200, 252):
    for index in range(8):
        colour = (level if index & 2 else 0, level if index & 4 else 0, level if index & 1 else 0)
        if colour not in colours:
            colours.append(colour)
palette = Image.new("RGB", (len(colours), 1))
palette.putdata(colours)
palette.save("palette.png")
PY
cat >pillow_convert.py <<'PY'
import sys
from PIL import Image
Image.open(sys.argv[1]).save(sys.argv[2])
PY

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "system: $(uname -sr), $(c++ --version | head -1)"
echo "runs: $runs per command, alternating"
"$timer" "$runs" \
    "floor (stdio copy)" -- "$floor" testcard.scr "{out}.scr" \; \
    "SCR to SCR" -- "$mirva" testcard.scr "{out}.scr" \; \
    "SCR to GIF, test card" -- "$mirva" testcard.scr "{out}.gif" \; \
    "SCR to GIF, random" -- "$mirva" random.scr "{out}.gif" \; \
    "SCR to GIF, all zero" -- "$mirva" zero.scr "{out}.gif" \; \
    "SCR to PCX" -- "$mirva" testcard.scr "{out}.pcx" \; \
    "Z80 to GIF" -- "$mirva" card.z80 "{out}.gif" \; \
    "SZX to GIF" -- "$mirva" card.szx "{out}.gif" \; \
    "TZX to GIF" -- "$mirva" card.tzx "{out}.gif" \; \
    "TZX to GIF, loading screen" -- "$mirva" loading.tzx "{out}.gif" \; \
    "PZX to GIF" -- "$mirva" card.pzx "{out}.gif" \; \
    "zipped Z80 to GIF" -- "$mirva" card.zip "{out}.gif" \; \
    "gzipped Z80 to GIF" -- "$mirva" card.z80.gz "{out}.gif" \; \
    "GIF to SCR" -- "$mirva" card.gif "{out}.scr" \; \
    "PCX to SCR" -- "$mirva" card.pcx "{out}.scr" \; \
    "SCR to PNG, test card" -- "$mirva" testcard.scr "{out}.png" \; \
    "SCR to PNG, random" -- "$mirva" random.scr "{out}.png" \; \
    "SCR to PNG, all zero" -- "$mirva" zero.scr "{out}.png" \; \
    "SCR to GIF --flash" -- "$mirva" --flash testcard.scr "{out}.gif" \; \
    "SCR to PNG --flash" -- "$mirva" --flash testcard.scr "{out}.png" \; \
    "SCR to PNG --scale=4" -- "$mirva" --scale=4 testcard.scr "{out}.png" \; \
    "SCR to PNG --scale=4, random" -- "$mirva" --scale=4 random.scr "{out}.png" \; \
    "PNG to SCR, 256x192" -- "$mirva" card.png "{out}.scr"

echo
echo "PNG sizes against optipng -o2 of the same file"
printf '| %-30s | %9s | %9s | %6s |\n' picture mirva optipng ratio
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..32})" "$(printf -- '-%.0s' {1..11})" \
    "$(printf -- '-%.0s' {1..11})" "$(printf -- '-%.0s' {1..8})"
for job in "testcard.sna" "random.scr" "zero.scr" "--scale=4 testcard.sna" \
    "--scale=4 random.scr" "--border testcard.sna" "--border --scale=2 random.scr"; do
    rm -f size.png optimised.png
    # shellcheck disable=SC2086
    "$mirva" $job size.png
    optipng -quiet -o2 size.png -out optimised.png
    mine=$(stat -c %s size.png)
    theirs=$(stat -c %s optimised.png)
    awk -v job="$job" -v mine="$mine" -v theirs="$theirs" \
        'BEGIN { printf "| %-30s | %9d | %9d | %5.3fx |\n", job, mine, theirs, mine / theirs }'
done

# Archives are read by code linked into the program: reading one opens no shared library that
# reading its member directly does not. The dynamic loader lists what each job opens.
echo
opened() {
    LD_DEBUG=libs "$mirva" "$@" 2>&1 | sed -n 's/.*calling init: //p' | sort -u
}
direct=$(opened card.z80 loads-1.gif)
for archive in card.zip card.z80.gz; do
    extra=$(comm -13 <(echo "$direct") <(opened "$archive" "loads-$archive.gif"))
    echo "libraries opened for $archive beyond card.z80's: ${extra:-none}"
done
echo
echo "instructions of whole conversions (callgrind)"
"$repo/bench/instructions.sh" "$build_path"

echo
echo "a 12-megapixel JPEG (4000x3000) to a screen, $((runs / 10 > 10 ? runs / 10 : 10)) runs"
"$timer" "$((runs / 10 > 10 ? runs / 10 : 10))" \
    "floor (stdio copy)" -- "$floor" testcard.scr "{out}.scr" \; \
    "JPEG 12 Mpx to SCR" -- "$mirva" photo12.jpg "{out}.scr" \; \
    "JPEG 12 Mpx to SCR, --dither=floyd" -- "$mirva" --dither=floyd photo12.jpg "{out}.scr" \; \
    "ImageMagick resize only" -- /usr/bin/convert photo12.jpg -resize 256x192 "{out}.png" \; \
    "ImageMagick resize and dither" -- /usr/bin/convert photo12.jpg -resize 256x192 \
    -dither FloydSteinberg -remap palette.png "{out}.gif"

echo
echo "the terminal viewer: start to the last byte of the first frame on a pseudo-terminal"
for size in 80x24 160x50; do
    echo "$size cells"
    "$build_path/bench/first_frame" $((runs / 10 > 20 ? runs / 10 : 20)) "$size" "$floor" \
        testcard.scr "$mirva" testcard.sna xterm-256color+truecolour xterm linux foot
done

peer_runs=$((runs / 10 > 10 ? runs / 10 : 10))
echo
echo "peers: the same PCX to GIF conversion, $peer_runs runs each"
"$timer" "$peer_runs" \
    "mirva SCR to GIF" -- "$mirva" testcard.scr "{out}.gif" \; \
    "ImageMagick PCX to GIF" -- /usr/bin/convert card.pcx "{out}.gif" \; \
    "Pillow PCX to GIF" -- /usr/bin/python3 pillow_convert.py card.pcx "{out}.gif"

echo
echo "picture_to_screen, instructions per picture (callgrind)"
printf '| %-18s | %12s |\n' picture instructions
printf '|%s|%s|\n' "$(printf -- '-%.0s' {1..20})" "$(printf -- '-%.0s' {1..14})"
for picture in test_card title random all_zero photo; do
    count=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        --toggle-collect='mirva::screen::picture_to_screen*' \
        "$build_path/bench/fit_instructions" "$picture" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
    printf '| %-18s | %12s |\n' "$picture" "$count"
done

echo
echo "encode_gif against giflib's encoder (medians of 5 repetitions, CPU time)"
"$build_path/bench/gif_bench" --benchmark_filter='^(encode_gif|giflib_EGifPutLine)/' \
    --benchmark_min_time=0.5 --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null | awk -F, '
    /_median"/ {
        split($1, parts, "/"); encoder = substr(parts[1], 2); screen = parts[2]
        sub(/_median"/, "", screen); time[encoder, screen] = $4; unit = $5
        if (!(screen in seen)) { seen[screen] = 1; order[++count] = screen }
    }
    END {
        printf "| %-10s | %14s | %14s | %8s |\n", "screen", "encode_gif", "giflib", "speed-up"
        printf "|------------|----------------|----------------|----------|\n"
        for (i = 1; i <= count; ++i) {
            s = order[i]
            if (time["giflib_EGifPutLine", s] == "")
                printf "| %-10s | %11.1f %s | %14s | %8s |\n", s, time["encode_gif", s], unit, "-", "-"
            else
                printf "| %-10s | %11.1f %s | %11.1f %s | %7.1fx |\n", s, time["encode_gif", s], unit,
                    time["giflib_EGifPutLine", s], unit, time["giflib_EGifPutLine", s] / time["encode_gif", s]
        }
    }'

echo
for benchmark in "$build_path"/bench/*_bench; do
    "$benchmark" --benchmark_min_time=0.2 2>/dev/null
done
