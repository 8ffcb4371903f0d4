#!/usr/bin/env bash
# The instructions of whole conversions, counted by callgrind from the first instruction of the
# process (the dynamic loader's) to the last, against those of the floor program (a stdio copy
# of a 6912-byte file). The counts are the same on every run and whatever the machine's load, so
# that --check can hold each job to its target.
#
# Usage: bench/instructions.sh [--check] [--keep DIR] BUILD
#   BUILD    a build folder holding mirva and bench/floor (configured with
#            -DMIRVA_BUILD_BENCHMARKS=ON; build the targets mirva and floor)
#   --check  exit with status 1 when any job takes more than its target
#   --keep   leave each job's callgrind file in DIR, for callgrind_annotate
#
# Every process runs in the same small environment, as the loader's start-up reads all of it.
set -euo pipefail
check=0
keep=
while [[ $# -gt 1 ]]; do
    case $1 in
    --check) check=1 ;;
    --keep)
        keep=$(realpath "$2")
        shift
        ;;
    *) break ;;
    esac
    shift
done
if [[ $# -ne 1 ]]; then
    echo "usage: $0 [--check] [--keep DIR] BUILD" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
mirva=$build/mirva
floor=$build/bench/floor
for program in "$mirva" "$floor"; do
    if [[ ! -x $program ]]; then
        echo "$program is missing: configure $1 with -DMIRVA_BUILD_BENCHMARKS=ON and build" \
            "the targets mirva and floor" >&2
        exit 2
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out"
[[ -n $keep ]] && mkdir -p "$keep"

# The inputs: the test card, a random screen (fixed, the same on every run) and the test card
# in each source kind that is measured, made by the built mirva and by other programs.
cd "$work"
cp "$here/examples/testcard.scr" "$here/examples/testcard.sna" .
/usr/bin/python3 -c 'import random, sys
sys.stdout.buffer.write(random.Random(1).randbytes(6912))' >random.scr
"$mirva" testcard.scr card.tap
"$mirva" testcard.scr card.gif
tapeconv card.tap card.tzx
snapconv testcard.sna card.szx >/dev/null 2>&1
/usr/bin/python3 -c 'import sys
from PIL import Image
picture = Image.open(sys.argv[1])
picture.save(sys.argv[2])
picture.convert("RGB").save(sys.argv[3], quality=90)' card.gif card.png card.jpg

# name | target (a multiple of the floor's count, - for none) | program and arguments; {out} is
# a new file in the output folder.
jobs=(
    "floor (stdio copy)|-|$floor testcard.scr {out}.scr"
    "SCR to SCR|1.3|$mirva testcard.scr {out}.scr"
    "SCR to TAP|1.3|$mirva testcard.scr {out}.tap"
    "SCR to PCX|2.5|$mirva testcard.scr {out}.pcx"
    "SCR to PCX, random|-|$mirva random.scr {out}.pcx"
    "SCR to GIF|3|$mirva testcard.scr {out}.gif"
    "SCR to GIF, random|5|$mirva random.scr {out}.gif"
    "SCR to PNG|3|$mirva testcard.scr {out}.png"
    "SCR to PNG, random|-|$mirva random.scr {out}.png"
    "TZX to SCR|3|$mirva card.tzx {out}.scr"
    "SZX to SCR|3|$mirva card.szx {out}.scr"
    "PNG to SCR|3|$mirva card.png {out}.scr"
    "JPEG to SCR|3|$mirva card.jpg {out}.scr"
)

count() {  # callgrind file name, program and arguments
    local file=/dev/null
    [[ -n $keep ]] && file=$keep/$1.callgrind
    shift
    env -i PATH=/usr/bin:/bin valgrind --tool=callgrind --callgrind-out-file="$file" "$@" \
        2>&1 >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '| %-20s | %12s | %8s | %6s |\n' job instructions "x floor" target
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..22})" "$(printf -- '-%.0s' {1..14})" \
    "$(printf -- '-%.0s' {1..10})" "$(printf -- '-%.0s' {1..8})"
failed=0
floor_count=
index=0
for job in "${jobs[@]}"; do
    IFS='|' read -r name target command <<<"$job"
    index=$((index + 1))
    # shellcheck disable=SC2206
    arguments=(${command//\{out\}/out/$index})
    instructions=$(count "$(printf '%02d' "$index")-${name//[^A-Za-z0-9]/_}" "${arguments[@]}")
    if [[ -z $instructions || ! -s out/$index.${command##*.} ]]; then
        echo "$name: no count or no output" >&2
        exit 1
    fi
    [[ -z $floor_count ]] && floor_count=$instructions
    verdict=$(awk -v n="$instructions" -v f="$floor_count" -v t="$target" 'BEGIN {
        ratio = n / f
        printf "%.2fx %s", ratio, (t != "-" && ratio > t) ? "over" : "ok" }')
    ratio=${verdict% *}
    [[ $target != - ]] && target=${target}x
    printf '| %-20s | %12s | %8s | %6s |%s\n' "$name" "$instructions" "$ratio" "$target" \
        "$([[ ${verdict#* } == over ]] && echo ' over')"
    [[ ${verdict#* } == over ]] && failed=1
done
if ((check && failed)); then
    echo "some job takes more instructions than its target" >&2
    exit 1
fi
exit 0
