#!/usr/bin/env bash
# Checks the bash completion: options, then names of the kinds that fit each position.
set -uo pipefail
completion=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch a.scr b.GIF c.pcx d.z80 e.txt f.tap g.png h.TZX i.pzx j.SZX k.zip l.sna.gz m.gz.txt n.JPEG
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
expect "a.scr b.GIF c.pcx d.z80 f.tap g.png h.TZX i.pzx j.SZX k.zip l.sna.gz n.JPEG sub/ " mirva ""
expect "--border --dither=atkinson --dither=floyd --dither=none --dither=ordered --flash --help --resize --scale= --terminal --version -b -i " mirva -
expect "--border --dither=atkinson --dither=floyd --dither=none --dither=ordered --flash --resize --scale= --terminal -i " mirva -b -
expect "--border --flash --resize --scale= --terminal -b " mirva --dither=floyd -i -
expect "a.scr f.tap sub/ " mirva --resize n.JPEG ""
expect "a.scr f.tap sub/ " mirva g.png ""
expect "a.scr f.tap sub/ " mirva b.GIF ""
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva -i d.z80 ""
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva --scale=2 --flash d.z80 ""
expect "--border --dither=atkinson --dither=floyd --dither=none --dither=ordered --resize --scale= --terminal " mirva --flash a.scr --
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva --terminal d.z80 ""
expect "--scale=3 " mirva --scale=3
expect "" mirva a.scr b.gif ""
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva h.TZX ""
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva -b i.pzx ""
expect "a.scr b.GIF c.pcx f.tap g.png sub/ " mirva k.zip ""
echo "$((17 - failures)) passed, $failures failed"
((failures == 0))
