#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 30).
# A finding makes the script fail; the input that caused it is left in fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake -S . -B build-fuzz -DBUILD_FUZZERS=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p fuzz-findings
for target in build-fuzz/fuzz/*_fuzzer; do
    name=$(basename "$target" _fuzzer)
    if ! compgen -G "fuzz/corpus/$name/*" >/dev/null; then
        echo "fuzz: no seed corpus in fuzz/corpus/$name" >&2
        exit 1
    fi
    work=$(mktemp -d)
    cp -r "fuzz/corpus/$name/." "$work/"
    dict=()
    [[ -f fuzz/$name.dict ]] && dict=(-dict="fuzz/$name.dict")
    echo "fuzzing $name for ${seconds}s"
    "$target" "$work" "${dict[@]}" -max_total_time="$seconds" -max_len=70000 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="fuzz-findings/$name-" -print_final_stats=1 2>&1 |
        grep -E '^(stat::number_of_executed_units|stat::peak_rss|#[0-9]+ +DONE|==|SUMMARY|artifact)' || true
    rm -rf "$work"
done
if compgen -G "fuzz-findings/*" >/dev/null; then
    echo "fuzzing found crashes:" && ls fuzz-findings && exit 1
fi
