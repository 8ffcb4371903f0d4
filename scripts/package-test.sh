#!/usr/bin/env bash
# Builds the Debian package, installs it, converts the example with the installed command,
# checks the manual page and completion are in place, and removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MIRVA_BUILD_DIR:-build}
cmake --build "$build" -j"$(nproc)" --target mirva
(cd "$build" && rm -f mirva_*.deb && cpack -G DEB >/dev/null)
package=$(ls "$build"/mirva_*.deb)
if dpkg-query -W -f='${Status}' mirva 2>/dev/null | grep -q 'install ok installed'; then
    echo "package-test: a mirva package is already installed; not touching it" >&2
    exit 1
fi
apt-get install -y -qq "./$package" >/dev/null
trap 'apt-get remove -y -qq mirva >/dev/null' EXIT
work=$(mktemp -d)
/usr/bin/mirva examples/testcard.sna "$work/card.scr"
cmp "$work/card.scr" examples/testcard.scr
test -f /usr/share/man/man1/mirva.1
test -f /usr/share/bash-completion/completions/mirva
man -l /usr/share/man/man1/mirva.1 >/dev/null 2>&1 || true
rm -rf "$work"
echo "package-test: installed, converted, removed: 1 passed, 0 failed"
