#!/usr/bin/env bash
# Builds the Debian package and checks it as a user meets it: the libraries mirva opens only when
# needed are recommended, not required; installed without them (they are hidden in a private
# mount namespace, as if never installed), every kind that needs none converts and the rest say
# which library is missing; with them, every kind converts; the manual page and completion are
# in place; and the package removes cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MIRVA_BUILD_DIR:-build}
built=$(realpath "$build/mirva")
cmake --build "$build" -j"$(nproc)" --target mirva
(cd "$build" && rm -f mirva_*.deb && cpack -G DEB >/dev/null)
package=$(ls "$build"/mirva_*.deb)
if dpkg-query -W -f='${Status}' mirva 2>/dev/null | grep -q 'install ok installed'; then
    echo "package-test: a mirva package is already installed; not touching it" >&2
    exit 1
fi
passed=0
failed=0
check() {  # description, command...
    local description=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "package-test: FAILED: $description" >&2
        failed=$((failed + 1))
    fi
}

# The libraries opened at run time, by package and by the file name mirva opens.
declare -A opened=(
    [libsdl2-2.0-0]=libSDL2-2.0.so.0
    [libchafa0]=libchafa.so.0
    [libspng0]=libspng.so.0
    [libturbojpeg0]=libturbojpeg.so.0
)
recommends=$(dpkg-deb -f "$package" Recommends)
depends=$(dpkg-deb -f "$package" Depends)
for name in "${!opened[@]}"; do
    check "$name recommended" grep -qw "$name" <<<"$recommends"
    check "$name not required" test -z "$(grep -ow "$name" <<<"$depends" || true)"
done

apt-get install -y -qq --no-install-recommends "./$package" >/dev/null
trap 'apt-get remove -y -qq mirva >/dev/null 2>&1 || true' EXIT
check "manual page installed" test -f /usr/share/man/man1/mirva.1
check "completion installed" test -f /usr/share/bash-completion/completions/mirva
check "collection script installed" test -x /usr/share/mirva/convert-tree.sh
check "version" test "$(/usr/bin/mirva --version)" = "mirva $(dpkg-deb -f "$package" Version)"

# One source of every kind, each holding the test card, made by tools other than mirva where
# there are such.
work=$(mktemp -d)
trap 'apt-get remove -y -qq mirva >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cp examples/testcard.scr examples/testcard.sna "$work/"
cd "$work"
/usr/bin/mirva testcard.scr card.tap
/usr/bin/mirva testcard.scr card.gif
/usr/bin/mirva testcard.scr card.pcx
/usr/bin/mirva testcard.scr card.png
snapconv testcard.sna card.z80 >/dev/null 2>&1
cp card.z80 card.slt
snapconv testcard.sna card.szx >/dev/null 2>&1
tapeconv card.tap card.tzx
python3 - <<'PY'
import gzip, struct, zipfile
tap = open("card.tap", "rb").read()
data = tap[23:23 + 6914]
def block(tag, body):
    return tag + struct.pack("<I", len(body)) + body
open("card.pzx", "wb").write(block(b"PZXT", b"\x01\x00") + block(
    b"DATA", struct.pack("<IHBB4H", len(data) * 8, 945, 2, 2, 855, 855, 1710, 1710) + data))
screen = open("testcard.scr", "rb").read()
sp = bytearray(38)
sp[34] = 1
open("card.sp", "wb").write(bytes(sp) + screen)
sit = bytearray(28 + 16384)
sit[27] = 1
open("card.sit", "wb").write(bytes(sit) + screen + bytes(49152 - 6912))
with zipfile.ZipFile("card.zip", "w", zipfile.ZIP_DEFLATED) as archive:
    archive.write("card.z80")
open("card.tzx.gz", "wb").write(gzip.compress(open("card.tzx", "rb").read()))
PY
convert card.png -quality 95 card.jpg
classic=(testcard.scr card.tap card.sp testcard.sna card.sit card.z80 card.slt card.szx card.tzx
    card.pzx card.zip card.tzx.gz)
pictures=(card.gif card.pcx)

# Runs mirva with every library of its package's Recommends hidden: an empty file is mounted
# over each, so that opening it fails as opening a missing library does.
without_libraries() {
    local hide="" name file
    for name in "${!opened[@]}"; do
        while read -r file; do
            hide+="mount --bind /dev/null '$file'; "
        done < <(dpkg -L "$name" 2>/dev/null | grep -F "/${opened[$name]}" || true)
    done
    unshare -m sh -c "$hide exec \"\$@\"" mirva "$@"
}
converts() {  # expected screen, command...: the command, given a destination, writes it
    local expected=$1
    shift
    local out="$work/out-$RANDOM$RANDOM.scr"
    "$@" "$out" 2>/dev/null && cmp -s "$out" "$expected"
}
# A Spectrum source gives the test card; a picture the screen the mirva just built fits to it.
expected() {
    case $1 in
        *.gif | *.pcx | *.png | *.jpg) [[ -f "fit-$1.scr" ]] || "$built" "$1" "fit-$1.scr"
                                       echo "fit-$1.scr" ;;
        *) echo testcard.scr ;;
    esac
}
says() {  # message, mirva's arguments...: the run fails with that message alone
    local message=$1
    shift
    local got
    got=$("$@" 2>&1 >/dev/null </dev/null) && return 1
    [[ $got == "$message" ]]
}

if ! unshare -m true 2>/dev/null; then
    echo "package-test: no private mount namespace here; the run without libraries is not checked" >&2
    failed=$((failed + 1))
else
    for source in "${classic[@]}" "${pictures[@]}"; do
        check "$source without the recommended libraries" \
            converts "$(expected "$source")" without_libraries /usr/bin/mirva "$source"
    done
    check "PNG written without libraries" without_libraries /usr/bin/mirva testcard.sna "$work/plain.png"
    check "PNG source without libspng" says "No se encuentra la biblioteca libspng.so.0" \
        without_libraries /usr/bin/mirva card.png "$work/x.scr"
    check "JPEG source without TurboJPEG" says "No se encuentra la biblioteca libturbojpeg.so.0" \
        without_libraries /usr/bin/mirva card.jpg "$work/x.scr"
    check "viewer without SDL2 and without a terminal" says "No se puede iniciar el modo grafico" \
        without_libraries env -u DISPLAY -u WAYLAND_DISPLAY setsid -w /usr/bin/mirva card.z80
fi

# Every destination kind is written as the mirva just built writes it.
for destination in tap gif pcx png; do
    check "written as $destination" sh -c '"$1" --border testcard.sna "$3" && "$2" --border testcard.sna "$4" &&
        cmp -s "$3" "$4"' sh /usr/bin/mirva "$built" "$work/installed.$destination" "$work/built.$destination"
done

# With the recommended libraries every kind converts.
for source in "${classic[@]}" "${pictures[@]}" card.png card.jpg; do
    check "$source" converts "$(expected "$source")" /usr/bin/mirva "$source"
done
cd - >/dev/null

apt-get remove -y -qq mirva >/dev/null
check "removed" test ! -e /usr/bin/mirva
check "nothing left" test -z "$(dpkg -L mirva 2>/dev/null || true)"
echo "package-test: $passed passed, $failed failed"
((failed == 0))
