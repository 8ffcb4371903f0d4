#!/usr/bin/env bash
# Whole-process timings of every job against the floor program (a 6912-byte stdio copy) and
# against ImageMagick and Pillow doing the same picture conversion, one process per file, in
# paired alternating runs; the instructions of the fit of one picture, counted by callgrind;
# then the in-process benchmarks, with our GIF encoder against giflib's.
# Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
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
    "GIF to SCR" -- "$mirva" card.gif "{out}.scr" \; \
    "PCX to SCR" -- "$mirva" card.pcx "{out}.scr"

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
