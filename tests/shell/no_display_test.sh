#!/usr/bin/env bash
# Checks a mirva built without viewers (-DMIRVA_SDL=OFF -DMIRVA_TERMINAL=OFF): showing a source
# stops with exactly the no-display message and status 1, whether a terminal is asked for or
# not, and conversions work as ever.
# Usage: no_display_test.sh MIRVA EXAMPLES_FOLDER
set -uo pipefail
mirva=$(realpath "$1")
examples=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
checks=0
expected='No se puede iniciar el modo grafico'

for arguments in "$examples/testcard.sna" "--terminal $examples/testcard.scr"; do
    checks=$((checks + 1))
    # shellcheck disable=SC2086  # The options and the file are separate words.
    "$mirva" $arguments </dev/null >out.txt 2>err.txt
    status=$?
    if [[ $status != 1 || -s out.txt || $(cat err.txt) != "$expected" ]] ||
        (($(wc -l <err.txt) != 1)); then
        echo "no-display: mirva $arguments: status $status, stderr '$(cat err.txt)'" >&2
        failures=$((failures + 1))
    fi
done

checks=$((checks + 1))
if ! "$mirva" "$examples/testcard.sna" card.scr </dev/null ||
    ! cmp -s card.scr "$examples/testcard.scr"; then
    echo "no-display: the conversion of the test card failed" >&2
    failures=$((failures + 1))
fi

echo "no-display: $((checks - failures)) passed, $failures failed"
((failures == 0))
