#!/usr/bin/env bash
# Builds mirva if needed and converts the shipped test card snapshot; prints where the result is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target mirva >/dev/null
mkdir -p out
rm -f out/testcard.gif
./build/mirva examples/testcard.sna out/testcard.gif
echo "wrote out/testcard.gif from examples/testcard.sna"
