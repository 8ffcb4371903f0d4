#!/usr/bin/env bash
# Shows the shipped test card snapshot in the viewer on a virtual X server, saves a picture of
# its window as docs/viewer.png, then presses a key to end the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${MIRVA_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target mirva >/dev/null
mkdir -p docs

# An 800x600 screen gives the viewer's window a scale of 2: 640x400 pixels.
/usr/bin/xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" bash -euo pipefail -c '
    "$1" examples/testcard.sna &
    viewer=$!
    window=""
    for _ in $(seq 100); do
        window=$(/usr/bin/xdotool search --onlyvisible --name "^mirva\$" 2>/dev/null | head -n 1) || true
        [[ -n $window ]] && break
        sleep 0.1
    done
    [[ -n $window ]] || { echo "the viewer window did not appear" >&2; kill "$viewer"; exit 1; }
    sleep 0.3  # The first frame is drawn just after the window appears.
    /usr/bin/import -window "$window" -depth 8 -strip docs/viewer.png
    /usr/bin/xdotool key --window "$window" space
    wait "$viewer"
' screenshot "$build/mirva"
echo "wrote docs/viewer.png"
