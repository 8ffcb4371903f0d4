#!/usr/bin/env bash
# Files per second converting a whole collection (made by bench/make-collection.sh) to PNG
# beside its sources: scripts/convert-tree.sh, the same with one job, a plain shell loop of
# one mirva per file, and ImageMagick's convert on the picture kinds it reads (GIF, PCX, PNG,
# JPEG), run as the script runs mirva; then the script making screens of those same pictures.
# Each run starts from the bare tree and is timed with its walk; the load average is shown
# before and after it. Set CONVERT to choose the convert program.
# Usage: bench/collection-bench.sh MIRVA TREE
set -uo pipefail
if (($# != 2)); then
    sed -n '2,8p' "$0" >&2
    exit 2
fi
mirva=$(realpath "$1")
tree=$2
convert=${CONVERT:-convert}
script="$(dirname "$0")/../scripts/convert-tree.sh"
jobs=$(nproc)
list=$(mktemp)
trap 'rm -f -- "$list"' EXIT

spectrum_kinds=(-iname '*.scr' -o -iname '*.tap' -o -iname '*.sp' -o -iname '*.sna' -o
    -iname '*.sit' -o -iname '*.z80' -o -iname '*.slt' -o -iname '*.szx' -o -iname '*.tzx' -o
    -iname '*.pzx' -o -iname '*.zip' -o -iname '*.gz')
picture_kinds=(-iname '*.gif' -o -iname '*.pcx' -o -iname '*.png' -o -iname '*.jpg' -o
    -iname '*.jpeg')

# Every file the runs write has two dots in its name (juego 00001.z80.png, juego 00002.gif.scr);
# the sources have one, or two for gzip (juego 00003.sna.gz).
clean() { find "$tree" -type f \( -name '*.*.png' -o -name '*.*.scr' \) -delete; }
count() { find "$tree" -type f \( "$@" \) -print0 | tr -cd '\0' | wc -c; }
load() { cut -d' ' -f1 /proc/loadavg; }

measure() {  # name, file count, command...
    local name=$1 files=$2
    shift 2
    clean
    sync
    local before after seconds
    before=$(load)
    local TIMEFORMAT='%R %U %S'
    local times
    times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    after=$(load)
    read -r seconds user system <<<"$times"
    awk -v name="$name" -v files="$files" -v seconds="$seconds" -v user="$user" \
        -v kernel="$system" -v before="$before" -v after="$after" 'BEGIN {
            printf "%-44s %6d files %8.2f s %8.1f files/s  cpu %7.2f s  load %s -> %s\n",
                name, files, seconds, files / seconds, user + kernel, before, after
        }'
}

script_run() { "$script" --mirva="$mirva" "$@"; }
loop_run() {
    find "$tree" -type f \( "${spectrum_kinds[@]}" \) -print0 >"$list"
    while IFS= read -r -d '' file; do
        "$mirva" "$file" "$file.png"
    done <"$list"
}
convert_run() {
    find "$tree" -type f \( "${picture_kinds[@]}" \) -print0 >"$list"
    xargs -0 -r -P "$jobs" -I{} "$convert" {} {}.png <"$list"
}
screens_run() {
    local folder
    for folder in "$tree"/gif "$tree"/pcx "$tree"/png "$tree"/jpg "$tree"/jpeg; do
        "$script" --mirva="$mirva" --to=scr "$folder"
    done
}

clean
spectrum_files=$(count "${spectrum_kinds[@]}")
picture_files=$(count "${picture_kinds[@]}")
echo "machine: $jobs processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "tree: $tree, $spectrum_files Spectrum and archive sources, $picture_files pictures"
measure "convert-tree.sh, $jobs jobs" "$spectrum_files" script_run "$tree"
measure "convert-tree.sh --jobs=1" "$spectrum_files" script_run --jobs=1 "$tree"
measure "shell loop, one mirva per file" "$spectrum_files" loop_run
measure "convert, GIF PCX PNG JPEG to PNG, $jobs jobs" "$picture_files" convert_run
measure "convert-tree.sh --to=scr, same pictures" "$picture_files" screens_run
clean
