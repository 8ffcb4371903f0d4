#!/usr/bin/env bash
# Runs two builds of mirva over every source kind, destination kind and option, and over a few
# refused command lines, and reports any difference in the files written, the messages or the
# exit statuses. Usage: scripts/compare-outputs.sh OLD_MIRVA NEW_MIRVA
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
inputs=$work/inputs
mkdir -p "$inputs"
cp "$here/examples/testcard.sna" "$here/examples/testcard.scr" "$inputs/"
# A random screen and an all-zero screen beside the test card, and every kind made of each.
head -c 6912 /dev/urandom >"$inputs/random.scr"
head -c 6912 /dev/zero >"$inputs/zero.scr"
for base in testcard random zero; do
    for kind in gif pcx tap; do
        "$old" "$inputs/$base.scr" "$inputs/$base.$kind"
    done
done
cp "$inputs/testcard.sna" "$inputs/sna.sp" 2>/dev/null || true
if command -v snapconv >/dev/null; then
    snapconv "$inputs/testcard.sna" "$inputs/testcard.z80" 2>/dev/null
    cp "$inputs/testcard.z80" "$inputs/testcard.slt"
fi
printf 'not a picture' >"$inputs/bad.gif"
printf 'short' >"$inputs/short.sna"

differences=0
compared=0
run_both() {  # name, arguments...
    local name=$1
    shift
    local status
    for build in old new; do
        local binary=$old
        [[ $build == new ]] && binary=$new
        mkdir -p "$work/$build/$name"
        status=0
        (cd "$work/$build/$name" && "$binary" "$@" >stdout 2>stderr </dev/null) || status=$?
        echo "$status" >"$work/$build/$name/status"
    done
    compared=$((compared + 1))
    if ! diff -r "$work/old/$name" "$work/new/$name" >/dev/null; then
        echo "differs: mirva $*"
        differences=$((differences + 1))
    fi
}
index=0
for source in "$inputs"/*; do
    for destination in none scr tap gif pcx sna; do
        for options in "" "-b" "-i" "-b -i"; do
            index=$((index + 1))
            if [[ $destination == none ]]; then
                # Only sources that fail before the viewer opens are compared without a display.
                SDL_VIDEODRIVER=none run_both "$index" $options "$source"
            else
                run_both "$index" $options "$source" "out.$destination"
            fi
        done
    done
done
for line in "" "-x a.scr" "-b -b a.scr" "a.scr b.scr c.scr" "a.txt" "$(printf 'a%.0s' {1..255}).scr" \
    "missing.scr out.gif"; do
    index=$((index + 1))
    # shellcheck disable=SC2086
    run_both "$index" $line
done
echo "compared $compared runs: $((compared - differences)) passed, $differences failed"
((differences == 0))
