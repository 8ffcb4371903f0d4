#!/usr/bin/env bash
# Whole-process timings of every job against the floor program (a 6912-byte stdio copy) and
# against ImageMagick and Pillow doing the same picture conversion, one process per file, in
# paired alternating runs; then the in-process benchmarks. Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
scripts/install-deps.sh
build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMIRVA_BUILD_BENCHMARKS=ON \
    -DMIRVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mirva=$(realpath "$build/mirva")
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
cat >pillow_convert.py <<'PY'
import sys
from PIL import Image
Image.open(sys.argv[1]).save(sys.argv[2])
PY

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "runs: $runs per command, alternating"
"$timer" "$runs" \
    "floor (stdio copy)" -- "$floor" testcard.scr "{out}.scr" \; \
    "SCR to SCR" -- "$mirva" testcard.scr "{out}.scr" \; \
    "SCR to GIF, test card" -- "$mirva" testcard.scr "{out}.gif" \; \
    "SCR to GIF, random" -- "$mirva" random.scr "{out}.gif" \; \
    "SCR to GIF, all zero" -- "$mirva" zero.scr "{out}.gif" \; \
    "SCR to PCX" -- "$mirva" testcard.scr "{out}.pcx" \; \
    "Z80 to GIF" -- "$mirva" card.z80 "{out}.gif" \; \
    "GIF to SCR" -- "$mirva" card.gif "{out}.scr" \; \
    "PCX to SCR" -- "$mirva" card.pcx "{out}.scr"

peer_runs=$((runs / 10 > 10 ? runs / 10 : 10))
echo
echo "peers: the same PCX to GIF conversion, $peer_runs runs each"
"$timer" "$peer_runs" \
    "mirva SCR to GIF" -- "$mirva" testcard.scr "{out}.gif" \; \
    "ImageMagick PCX to GIF" -- /usr/bin/convert card.pcx "{out}.gif" \; \
    "Pillow PCX to GIF" -- /usr/bin/python3 pillow_convert.py card.pcx "{out}.gif"

echo
cd - >/dev/null
for benchmark in "$build"/bench/*_bench; do
    "$benchmark" --benchmark_min_time=0.2 2>/dev/null
done
