#!/usr/bin/env bash
# Shows the shipped test card snapshot in the terminal viewer, in an xterm on a virtual X
# server, saves a picture of the screen as docs/terminal.png, then presses a key to end it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${MIRVA_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target mirva >/dev/null
mkdir -p docs

# A 160x50 xterm of DejaVu Sans Mono in truecolour; the X server's screen is cut to its size.
/usr/bin/xvfb-run -a -s "-screen 0 1000x700x24 -nolisten tcp" bash -euo pipefail -c '
    COLORTERM=truecolor /usr/bin/xterm -geometry 160x50+0+0 -bw 0 -fa "DejaVu Sans Mono" -fs 7 \
        -bg black -fg grey -xrm "XTerm*directColor: true" -title mirva-terminal \
        -e "$1" --terminal examples/testcard.sna &
    terminal=$!
    window=""
    for _ in $(seq 100); do
        window=$(/usr/bin/xdotool search --onlyvisible --name "^mirva-terminal\$" 2>/dev/null | head -n 1) || true
        [[ -n $window ]] && break
        sleep 0.1
    done
    [[ -n $window ]] || { echo "the terminal window did not appear" >&2; kill "$terminal"; exit 1; }
    sleep 1  # The first frame is drawn just after the window appears.
    /usr/bin/import -window "$window" -depth 8 -strip docs/terminal.png
    /usr/bin/xdotool key --window "$window" space
    wait "$terminal"
' screenshot "$build/mirva"
echo "wrote docs/terminal.png"
