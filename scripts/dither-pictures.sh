#!/usr/bin/env bash
# Measures the fit and each dithering mode on the photos scikit-image ships (the table of
# the README's Dithering section), and remakes its pictures: one photo beside its screen in each mode, at
# twice the size so that the pixels show.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${MIRVA_BUILD_DIR:-build-release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMIRVA_BUILD_BENCHMARKS=ON \
    -DMIRVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target dither_quality >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 bench/dither_quality.py "$build/bench/dither_quality" "$work"
photo=${1:-astronaut}
for mode in source none floyd atkinson ordered remap; do
    picture=$work/$photo-$mode.ppm
    [[ $mode == source ]] && picture=$work/$photo.ppm
    convert "$picture" -filter point -resize 200% -strip -define png:exclude-chunk=date,time \
        "docs/dither-$mode.png"
done
echo "wrote docs/dither-{source,none,floyd,atkinson,ordered,remap}.png from $photo"
