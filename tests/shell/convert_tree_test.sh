#!/usr/bin/env bash
# Converts a small tree with scripts/convert-tree.sh, beside the sources and into a mirror,
# and checks the summary, the exit status and that every file written is the one mirva
# writes when given that source directly.
set -uo pipefail
script=$(realpath "$1")
mirva=$(realpath "$2")
card=$(realpath "$3")  # a 6912-byte screen
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
cd "$work" || exit 1
passed=0
failures=0
check() {  # description, then a command that must succeed
    local description=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $description"
        failures=$((failures + 1))
        return 1
    fi
}
file_count() { find "$1" -type f -print0 | tr -cd '\0' | wc -c; }

# The tree: Spectrum kinds, pictures and archives made from the screen, a file of no kind,
# one that is damaged, a tape without a screen, awkward names and a path longer than mirva
# takes as an argument.
mkdir -p tree/"sub dir" out
long=tree/$(printf 'a%.0s' {1..90})/$(printf 'b%.0s' {1..90})/$(printf 'c%.0s' {1..90})
mkdir -p "$long"
cp "$card" tree/card.scr
cp "$card" tree/-dash.SCR
cp "$card" tree/$'\xff\xfe.scr'
cp "$card" "$long/deep.scr"
"$mirva" "$card" tree/card.tap
cp tree/card.tap tree/$'new\nline.tap'
for kind in gif pcx png; do "$mirva" "$card" "tree/card.$kind"; done
{
    head -c 26 /dev/zero
    printf '\x02'  # border: red
    cat "$card"
    head -c $((49152 - 6912)) /dev/zero
} >"tree/sub dir/two words.sna"
gzip -c "tree/sub dir/two words.sna" >tree/card.sna.gz
head -c 100 "tree/sub dir/two words.sna" >tree/bad.sna
{
    printf 'ZXTape!\x1a\x01\x14'
    printf '\x10\xe8\x03'  # standard-speed block, 1000 ms pause, then the TAP block
    head -c 21 tree/card.tap
    printf '\x10\xe8\x03'
    tail -c +22 tree/card.tap
} >tree/card.tzx
head -c $((10 + 3 + 21)) tree/card.tzx >tree/empty.tzx  # the header block alone
echo "not a screen" >tree/notes.txt
first_count=$(file_count tree)

# Into a mirror whose "sub dir" is taken by a file: that source fails, the rest converts.
touch "out/sub dir"
"$script" --mirva="$mirva" --jobs=3 --to=scr -i --dither=floyd --into=out tree \
    >mirror.out 2>mirror.err
check "mirror run exits 1 when a file fails" test $? -eq 1
printf '%s\n' "converted: 7" "skipped: 0" "refused: 2" "  El TZX no tiene ninguna pantalla: 1" \
    "  Error leyendo del fichero NAME: 1" "failed: 1" \
    "  cannot create the folder NAME: 1" >mirror.expected
check "mirror run summary" cmp -s mirror.out mirror.expected || diff mirror.expected mirror.out
check "mirror run names the failed file" grep -qF "failed: ./tree/sub\\ dir/two\\ words.sna" mirror.err
mkdir reference
for source in card.tap $'new\nline.tap' card.sna.gz card.tzx card.gif card.pcx card.png; do
    "$mirva" -i --dither=floyd "tree/$source" reference/made.scr
    check "out/$source.scr is what mirva makes" cmp -s "out/$source.scr" reference/made.scr
    rm reference/made.scr
done
check "mirror run writes only those" test "$(file_count out)" -eq 8

# Beside the sources, a destination already there: skipped and left as it was.
touch tree/card.scr.png
"$script" --mirva="$mirva" --jobs=3 --scale=2 --border tree >beside.out 2>beside.err
check "beside run exits 0" test $? -eq 0
printf '%s\n' "converted: 8" "skipped: 1" "refused: 2" "  El TZX no tiene ninguna pantalla: 1" \
    "  Error leyendo del fichero NAME: 1" "failed: 0" >beside.expected
check "beside run summary" cmp -s beside.out beside.expected || diff beside.expected beside.out
check "beside run writes nothing on standard error" test ! -s beside.err
check "an existing destination is left as it was" test ! -s tree/card.scr.png
for source in tree/card.tap tree/-dash.SCR tree/$'\xff\xfe.scr' "$long/deep.scr" \
    tree/$'new\nline.tap' "tree/sub dir/two words.sna" tree/card.sna.gz tree/card.tzx; do
    # From the source's folder, as the long path is more than mirva takes.
    (cd "${source%/*}" && "$mirva" --scale=2 --border "./${source##*/}" "$work/reference/made.png")
    check "$source.png is what mirva makes" cmp -s "$source.png" reference/made.png
    rm reference/made.png
done
check "beside run writes only those" test "$(file_count tree)" -eq $((first_count + 1 + 8))

# Run again: everything is there already.
"$script" --mirva="$mirva" --scale=2 --border tree >again.out 2>&1
check "second run exits 0" test $? -eq 0
check "second run skips all" grep -qx "skipped: 9" again.out

"$script" --mirva="$mirva" --to=jpg tree >/dev/null 2>&1
check "a kind that is not written is a wrong command line" test $? -eq 2

echo "$passed passed, $failures failed"
((failures == 0))
