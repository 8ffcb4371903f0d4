#!/usr/bin/env bash
# Converts every file of a kind mirva reads under a folder tree, several at a time.
set -uo pipefail

usage() {
    cat <<'EOF'
Usage: convert-tree.sh [OPTION]... [MIRVA OPTION]... FOLDER

Converts, with mirva, every file under FOLDER whose kind mirva reads (by its extension,
in any letter case: scr tap sp sna sit z80 slt szx tzx pzx gif pcx png jpg jpeg zip gz),
several at a time, and reports how many were converted, skipped, refused and failed.

Names: the destination's extension is added to the whole name of the source, so that
game.z80 becomes game.z80.png and game.tap beside it game.tap.png; no two sources give
the same destination. Without --into each destination is written beside its source;
with --into=DEST it goes to the same place in a tree under DEST that mirrors FOLDER
(FOLDER/a/game.z80 becomes DEST/a/game.z80.png), its folders made as needed.

Left out of the walk: sources of the destination's own kind and, when the destination
is a picture, sources that are pictures (mirva refuses a picture made from a picture,
and a screen copied into its own kind is the same file); links and other files that
are not regular files; the DEST folder when it lies inside FOLDER.

Options:
  --to=KIND       the destination's kind: png (the default), gif, pcx, scr or tap
  --into=DEST     write into a tree under DEST instead of beside each source
  --jobs=N        N conversions at a time (default: the number of processors)
  --mirva=PATH    the mirva program (default: $MIRVA, else mirva on the PATH)
  --verbose       also list every refused file with its message (on standard error)
  --help          show this help and exit

MIRVA OPTIONS, given to every conversion: -b -i --scale=N --border --flash --resize
--dither=MODE (see mirva --help).

A destination that exists already is never touched: mirva refuses it ("Ya existe el
fichero NAME") and the source counts as skipped, so running again after an interruption
converts only what is missing. A source mirva refuses for what it holds (a tape without
a screen, a damaged file) counts as refused; the summary groups the refusals by message.
Anything else counts as failed and is listed on standard error with its message: a
destination that cannot be written, a source that cannot be opened, a name too long for
mirva, a missing library, a crash.

Exit status: 0 when nothing failed (refusals and skips included), 1 when anything
failed, 2 on a wrong command line.
EOF
}

# Turns one source into one destination; runs inside the parallel workers. Arguments:
# the mirva options, "--", then source paths. Writes one record per source to a file of
# its own in $CONVERT_RESULTS: category NUL message NUL source NUL.
convert_batch() {
    local -a options=()
    while (($#)) && [[ $1 != -- ]]; do
        options+=("$1")
        shift
    done
    shift
    local LC_ALL=C  # Lengths below count bytes, as mirva does.
    local errors="$CONVERT_RESULTS/$BASHPID.err" records="$CONVERT_RESULTS/$BASHPID.rec"
    local source destination folder message category source_argument destination_argument status
    local name links
    for source; do
        if [[ -n $CONVERT_INTO ]]; then
            destination=${source#"$CONVERT_ROOT"}
            destination="$CONVERT_INTO/${destination#/}.$CONVERT_TO"
        else
            destination="$source.$CONVERT_TO"
        fi
        folder=${destination%/*}
        folder=${folder:-/}
        source_argument=$source
        destination_argument=$destination
        if [[ ! -d $folder ]] && ! mkdir -p -- "$folder" 2>/dev/null; then
            printf '%s\0%s\0%s\0' failed "cannot create the folder NAME" "$source" >>"$records"
            continue
        fi
        if ((${#source} > CONVERT_MAX_ARGUMENT || ${#destination} > CONVERT_MAX_ARGUMENT)); then
            # mirva takes arguments of up to 254 bytes: reach both folders through short links.
            links="$CONVERT_RESULTS/links.$BASHPID"
            [[ -d $links ]] || mkdir -- "$links"
            [[ $source == /* ]] && name=${source%/*} || name="$PWD/${source%/*}"
            ln -sfn -- "$name" "$links/s"
            [[ $folder == /* ]] && name=$folder || name="$PWD/$folder"
            ln -sfn -- "$name" "$links/d"
            name=${source##*/}
            source_argument="$links/s/$name"
            destination_argument="$links/d/${destination##*/}"
        fi
        "$CONVERT_MIRVA" "${options[@]}" "$source_argument" "$destination_argument" \
            2>"$errors" </dev/null >/dev/null
        status=$?
        if ((status == 0)); then
            printf '%s\0\0%s\0' converted "$source" >>"$records"
            continue
        fi
        message=
        IFS= read -r -d '' message <"$errors"
        message=${message%$'\n'}
        # Names are taken out of the message so that refusals group by what they say; mirva
        # prints a control character of a name as '?'.
        message=${message//"${destination_argument//[[:cntrl:]]/?}"/NAME}
        message=${message//"${source_argument//[[:cntrl:]]/?}"/NAME}
        if ((status != 1)); then
            category=failed
            message="mirva ended with status $status${message:+: ${message%%$'\n'*}}"
        else
            case $message in
                "Ya existe el fichero NAME") category=skipped ;;
                "" | *$'\n'* | "Error creando el fichero "* | "Error abriendo el fichero "* | \
                    "Parametros demasiado largos" | "No hay memoria suficiente" | \
                    "No se encuentra la biblioteca "* | "Error interno")
                    category=failed ;;
                *) category=refused ;;
            esac
            [[ $message == *$'\n'* ]] && message=${message%%$'\n'*}
            [[ -z $message ]] && message="mirva failed without a message"
        fi
        printf '%s\0%s\0%s\0' "$category" "$message" "$source" >>"$records"
    done
    return 0  # xargs stops at a worker that exits with 255.
}

main() {
    local to=png into='' jobs='' mirva=${MIRVA:-mirva} verbose=0 root=''
    local -a mirva_options=()
    local argument
    while (($#)); do
        argument=$1
        shift
        case $argument in
            --help)
                usage
                return 0
                ;;
            --to=*) to=${argument#--to=} ;;
            --into=*) into=${argument#--into=} ;;
            --jobs=*) jobs=${argument#--jobs=} ;;
            --mirva=*) mirva=${argument#--mirva=} ;;
            --verbose) verbose=1 ;;
            -b | -i | --border | --flash | --resize | --scale=* | --dither=*)
                mirva_options+=("$argument") ;;
            --)
                # The only argument after "--" is FOLDER, whatever its name.
                if (($# != 1)) || [[ -n $root ]]; then
                    echo "convert-tree.sh: one FOLDER after -- (see --help)" >&2
                    return 2
                fi
                root=$1
                shift
                ;;
            -*)
                echo "convert-tree.sh: unknown option: $argument (see --help)" >&2
                return 2
                ;;
            *)
                [[ -z $root ]] || {
                    echo "convert-tree.sh: only one FOLDER is taken (see --help)" >&2
                    return 2
                }
                root=$argument
                ;;
        esac
    done
    if [[ -z $root || ! -d $root ]]; then
        echo "convert-tree.sh: FOLDER must be a folder (see --help)" >&2
        return 2
    fi
    to=${to,,}
    case $to in
        png | gif | pcx | scr | tap) ;;
        *)
            echo "convert-tree.sh: --to takes png, gif, pcx, scr or tap" >&2
            return 2
            ;;
    esac
    [[ -z $jobs ]] && jobs=$(nproc)
    if [[ ! $jobs =~ ^[1-9][0-9]*$ ]]; then
        echo "convert-tree.sh: --jobs takes a positive number" >&2
        return 2
    fi
    if [[ $mirva != */* ]] && ! mirva=$(type -P -- "$mirva"); then
        echo "convert-tree.sh: mirva is not on the PATH; give --mirva=PATH" >&2
        return 2
    fi
    # Every path handed to mirva starts with "/" or "./", so none is taken for an option.
    [[ $root == /* ]] || root="./$root"
    [[ $mirva == /* ]] || mirva="$PWD/$mirva"
    while [[ $root == */ && $root != / && $root != ./ ]]; do root=${root%/}; done
    local -a prune=()
    if [[ -n $into ]]; then
        [[ $into == /* ]] || into="./$into"
        mkdir -p -- "$into" || return 1
        prune=(-type d -samefile "$into" -prune -o)
    fi

    local -a kinds=(scr tap sp sna sit z80 slt szx tzx pzx gif pcx png jpg jpeg zip gz)
    local -a name_tests=()
    local kind
    for kind in "${kinds[@]}"; do
        [[ $kind == "$to" ]] && continue
        if [[ $to == png || $to == gif || $to == pcx ]]; then
            case $kind in gif | pcx | png | jpg | jpeg) continue ;; esac
        fi
        ((${#name_tests[@]})) && name_tests+=(-o)
        name_tests+=(-iname "*.$kind")
    done

    work=$(mktemp -d) || return 1  # Global: the trap reads it after main has returned.
    trap 'rm -rf -- "$work"' EXIT
    mkdir -- "$work/results"
    # The list is made whole before the first conversion, so that the walk never meets
    # a file this run has written.
    # A folder that cannot be read is reported by find; what it did list is converted, and
    # the run counts as failed.
    local walk_status=0
    find "$root" "${prune[@]}" -type f \( "${name_tests[@]}" \) -print0 >"$work/list" ||
        walk_status=$?
    local count
    count=$(tr -cd '\0' <"$work/list" | wc -c)
    # Each worker is one bash that converts a batch; a few batches per job keep every
    # processor busy to the end.
    local batch=$(((count + jobs * 4 - 1) / (jobs * 4)))
    ((batch < 1)) && batch=1
    ((batch > 64)) && batch=64

    export CONVERT_RESULTS="$work/results" CONVERT_ROOT=$root CONVERT_INTO=$into
    export CONVERT_TO=$to CONVERT_MIRVA=$mirva CONVERT_MAX_ARGUMENT=254
    export -f convert_batch
    xargs -0 -r -P "$jobs" -n "$batch" bash -c 'convert_batch "$@"' convert-tree.sh \
        "${mirva_options[@]}" -- <"$work/list"
    local xargs_status=$?

    local -A refusals=() failures=()
    local -a totals=(0 0 0 0)  # converted skipped refused failed
    local file category message source
    for file in "$work/results"/*.rec; do
        [[ -e $file ]] || continue
        while IFS= read -r -d '' category && IFS= read -r -d '' message &&
            IFS= read -r -d '' source; do
            case $category in
                converted) ((totals[0] += 1)) ;;
                skipped) ((totals[1] += 1)) ;;
                refused)
                    ((totals[2] += 1))
                    refusals[$message]=$((${refusals[$message]:-0} + 1))
                    ((verbose)) && printf 'refused: %q: %s\n' "$source" "$message" >&2
                    ;;
                failed)
                    ((totals[3] += 1))
                    failures[$message]=$((${failures[$message]:-0} + 1))
                    printf 'failed: %q: %s\n' "$source" "$message" >&2
                    ;;
            esac
        done <"$file"
    done
    local unreported=$((count - totals[0] - totals[1] - totals[2] - totals[3]))
    if ((unreported > 0)); then
        ((totals[3] += unreported))
        failures["no result (xargs status $xargs_status)"]=$unreported
    fi

    echo "converted: ${totals[0]}"
    echo "skipped: ${totals[1]}"
    echo "refused: ${totals[2]}"
    for message in "${!refusals[@]}"; do
        printf '%s\t  %s: %s\n' "${refusals[$message]}" "$message" "${refusals[$message]}"
    done | sort -t $'\t' -k1,1nr -k2 | cut -f2-
    if ((walk_status != 0)); then
        ((totals[3] += 1))
        failures["the tree could not be read whole (find status $walk_status)"]=1
    fi
    echo "failed: ${totals[3]}"
    for message in "${!failures[@]}"; do
        printf '%s\t  %s: %s\n' "${failures[$message]}" "$message" "${failures[$message]}"
    done | sort -t $'\t' -k1,1nr -k2 | cut -f2-
    ((totals[3] == 0))
}

main "$@"
