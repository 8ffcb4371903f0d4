#!/usr/bin/env bash
# Installs what is missing, builds mirva and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${MIRVA_BUILD_DIR:-build}
# MIRVA_BUILD_TYPE and MIRVA_WERROR choose another build type and warnings as errors (CI).
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${MIRVA_BUILD_TYPE:-RelWithDebInfo}" \
    -DMIRVA_WERROR="${MIRVA_WERROR:-OFF}" -DMIRVA_BUILD_BENCHMARKS=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
