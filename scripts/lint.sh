#!/usr/bin/env bash
# Static checks: clang-tidy and cppcheck over the program's sources, and the code's format.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-lint
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMIRVA_BUILD_TESTS=OFF >/dev/null
git ls-files -co --exclude-standard -- 'src/*.cpp' |
    xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet 2>&1 |
    { grep -v -E '^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' || true; } |
    tee "$build/clang-tidy.log"
if grep -q -E ': (error|warning):' "$build/clang-tidy.log"; then
    echo "clang-tidy found problems" >&2
    exit 1
fi
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++20 \
    --inline-suppr --suppress=missingIncludeSystem -I src src
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "lint: clang-tidy, cppcheck and clang-format clean"
