#!/usr/bin/env bash
# The instructions of whole conversions, counted by callgrind from the first instruction of the
# process (the dynamic loader's) to the last, against those of the floor program (a stdio copy
# of a 6912-byte file). The counts are the same on every run and whatever the machine's load, so
# that --check can hold each job to a ceiling.
#
# Usage: bench/instructions.sh [--check] [--keep DIR] BUILD
#   BUILD    a build folder holding mirva and bench/floor (configured with
#            -DMIRVA_BUILD_BENCHMARKS=ON; build the targets mirva and floor)
#   --check  exit with status 1 when any job takes more than its ceiling
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

# name | target (a multiple of the floor's count, - for none) | ceiling that --check holds the
# job to (today's count and 3% more, or less where the target is close: a job may only get
# cheaper) | program and arguments; {out} is a new file in the output folder.
jobs=(
    "floor (stdio copy)|-|-|$floor testcard.scr {out}.scr"
    "SCR to SCR|1.3|1.31|$mirva testcard.scr {out}.scr"
    "SCR to TAP|1.3|1.34|$mirva testcard.scr {out}.tap"
    "SCR to PCX|2.5|3.42|$mirva testcard.scr {out}.pcx"
    "SCR to PCX, random|-|4.42|$mirva random.scr {out}.pcx"
    "SCR to GIF|3|8.57|$mirva testcard.scr {out}.gif"
    "SCR to GIF, random|5|12.51|$mirva random.scr {out}.gif"
    "SCR to PNG|3|9.59|$mirva testcard.scr {out}.png"
    "SCR to PNG, random|-|23.87|$mirva random.scr {out}.png"
    "TZX to SCR|3|1.95|$mirva card.tzx {out}.scr"
    "SZX to SCR|3|2.79|$mirva card.szx {out}.scr"
    "PNG to SCR|3|55.88|$mirva card.png {out}.scr"
    "JPEG to SCR|3|58.65|$mirva card.jpg {out}.scr"
)

count() {  # callgrind file name, program and arguments
    local file=/dev/null
    [[ -n $keep ]] && file=$keep/$1.callgrind
    shift
    env -i PATH=/usr/bin:/bin valgrind --tool=callgrind --callgrind-out-file="$file" "$@" \
        2>&1 >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '| %-20s | %12s | %8s | %6s | %7s |\n' job instructions "x floor" target ceiling
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..22})" "$(printf -- '-%.0s' {1..14})" \
    "$(printf -- '-%.0s' {1..10})" "$(printf -- '-%.0s' {1..8})" "$(printf -- '-%.0s' {1..9})"
failed=0
floor_count=
index=0
for job in "${jobs[@]}"; do
    IFS='|' read -r name target ceiling command <<<"$job"
    index=$((index + 1))
    # shellcheck disable=SC2206
    arguments=(${command//\{out\}/out/$index})
    instructions=$(count "$(printf '%02d' "$index")-${name//[^A-Za-z0-9]/_}" "${arguments[@]}")
    if [[ -z $instructions || ! -s out/$index.${command##*.} ]]; then
        echo "$name: no count or no output" >&2
        exit 1
    fi
    [[ -z $floor_count ]] && floor_count=$instructions
    verdict=$(awk -v n="$instructions" -v f="$floor_count" -v t="$target" -v c="$ceiling" 'BEGIN {
        ratio = n / f
        printf "%.2fx %s %s", ratio, (t != "-" && ratio > t) ? "over-target" : "-",
            (c != "-" && ratio > c) ? "over-ceiling" : "-" }')
    read -r ratio over_target over_ceiling <<<"$verdict"
    [[ $target != - ]] && target=${target}x
    [[ $ceiling != - ]] && ceiling=${ceiling}x
    printf '| %-20s | %12s | %8s | %6s | %7s |%s%s\n' "$name" "$instructions" "$ratio" "$target" \
        "$ceiling" "$([[ $over_target != - ]] && echo ' over its target')" \
        "$([[ $over_ceiling != - ]] && echo ', OVER ITS CEILING')"
    [[ $over_ceiling != - ]] && failed=1
done
if ((check && failed)); then
    echo "some job takes more instructions than its ceiling" >&2
    exit 1
fi
exit 0
