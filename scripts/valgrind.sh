#!/usr/bin/env bash
# Runs every route once under valgrind (each source kind to each allowed destination, the
# viewer without a display, and the refusals) and fails on any error valgrind reports.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MIRVA_BUILD_DIR:-build}
cmake --build "$build" -j"$(nproc)" --target mirva >/dev/null
mirva=$(realpath "$build/mirva")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/testcard.scr examples/testcard.sna "$work/"
cd "$work"
head -c 38 /dev/zero >card.sp && cat testcard.scr >>card.sp
head -c 16412 /dev/zero >card.sit && cat testcard.scr >>card.sit
"$mirva" testcard.scr card.tap
"$mirva" testcard.scr card.gif
"$mirva" testcard.scr card.pcx
snapconv testcard.sna card.z80 >/dev/null 2>&1
cp card.z80 card.slt
/usr/bin/convert card.gif -interlace PNG card.png
/usr/bin/convert card.gif -resize 600x450 -interlace JPEG card.jpg
/usr/bin/convert card.gif -resize 300x300 card.wide.gif
cp testcard.scr card.scr
cp testcard.sna card.sna

# The viewers must find no display here.
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
runs=0
failures=0
check() {  # expected exit status, arguments...
    local expected=$1
    shift
    local status=0
    # A session of its own, without a controlling terminal for the terminal viewer to use.
    setsid -w valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
        "$mirva" "$@" 2>valgrind.err || status=$?
    runs=$((runs + 1))
    if [[ $status -ne $expected ]]; then
        echo "valgrind: mirva $* exited $status, expected $expected"
        cat valgrind.err
        failures=$((failures + 1))
    fi
    rm -f out.*
}
for source in scr tap sp sna sit z80 slt; do
    for destination in scr tap gif pcx; do
        check 0 -b "card.$source" "out.$destination"
    done
done
for source in gif pcx png jpg; do
    for destination in scr tap; do
        check 0 -i "card.$source" "out.$destination"
    done
done
check 0 --resize card.wide.gif out.scr
# The viewers with no display to open, and the refusals.
check 1 card.sna
check 1 card.gif
check 1 card.gif out.pcx
check 1 card.png
check 1 card.jpg
check 1 card.scr out.sna
check 1 card.scr card.gif
check 1 missing.scr out.scr
check 1 -b -b card.scr
check 1
head -c 100 card.gif >short.gif && check 1 short.gif out.scr
head -c 100 card.pcx >short.pcx && check 1 short.pcx out.scr
head -c 100 card.z80 >short.z80 && check 1 short.z80 out.scr
head -c 100 card.tap >short.tap && check 1 short.tap out.scr
echo "valgrind: $((runs - failures)) passed, $failures failed"
((failures == 0))
