#!/usr/bin/env bash
# Checks the bash completion: options, then names of the kinds that fit each position.
set -uo pipefail
completion=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch a.scr b.GIF c.pcx d.z80 e.txt f.tap g.png h.JPEG
mkdir sub
source "$completion"
failures=0
complete_line() {  # words...; prints the sorted completions of the last word
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _mirva
    ((${#COMPREPLY[@]})) && printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
}
expect() {  # expected, words...
    local expected=$1
    shift
    local got
    got=$(complete_line "$@")
    if [[ $got != "$expected" ]]; then
        echo "completing '$*': expected '$expected', got '$got'"
        failures=$((failures + 1))
    fi
}
expect "a.scr b.GIF c.pcx d.z80 f.tap g.png h.JPEG sub/ " mirva ""
expect "--dither=atkinson --dither=floyd --dither=none --dither=ordered --resize -b -i " mirva -
expect "--dither=atkinson --dither=floyd --dither=none --dither=ordered --resize -i " mirva -b -
expect "--resize -b " mirva --dither=floyd -i -
expect "a.scr f.tap sub/ " mirva --resize h.JPEG ""
expect "a.scr f.tap sub/ " mirva b.GIF ""
expect "a.scr b.GIF c.pcx f.tap sub/ " mirva -i d.z80 ""
expect "" mirva a.scr b.gif ""
echo "$((8 - failures)) passed, $failures failed"
((failures == 0))
