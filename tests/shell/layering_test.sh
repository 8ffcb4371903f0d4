#!/usr/bin/env bash
# Checks that no source file includes a header of a layer above its own.
set -uo pipefail
src=$1
layers=(base screen containers pictures display cli)
rank() {  # layer -> its height; containers and pictures stand side by side
    case $1 in
        base) echo 0 ;; screen) echo 1 ;; containers | pictures) echo 2 ;; display) echo 2 ;;
        cli) echo 3 ;; *) echo 99 ;;
    esac
}
failures=0
checked=0
for layer in "${layers[@]}"; do
    for file in "$src/$layer"/*; do
        [[ -f $file ]] || continue
        checked=$((checked + 1))
        while IFS= read -r included; do
            [[ $included == "$layer" ]] && continue
            if (($(rank "$included") >= $(rank "$layer"))); then
                echo "${file#"$src"/} includes $included/, a layer not below $layer/"
                failures=$((failures + 1))
            fi
        done < <(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file" | sort -u)
    done
done
((checked > 0)) || { echo "no source files under $src"; exit 1; }
echo "$((checked - failures)) passed, $failures failed"
((failures == 0))
