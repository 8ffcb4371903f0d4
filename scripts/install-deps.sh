#!/usr/bin/env bash
# Installs the Debian packages that building and testing mirva need, only those missing.
set -euo pipefail
packages=(
    cmake g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev clang-format clang-tidy
    cppcheck valgrind
    libdeflate-dev zlib1g-dev                     # PNG compression, SZX pages (both linked in whole)
    imagemagick python3-pil fuse-emulator-utils   # independent readers and writers
    pngcheck optipng giflib-tools                 # PNG and GIF checkers, PNG size reference
    libsdl2-dev xvfb xdotool x11-utils            # the viewer and its end-to-end test
    libminizip-dev                                # ZIP sources (linked in whole)
    libchafa-dev pkg-config tmux                  # the terminal viewer and its tests
    xterm fonts-dejavu-core                       # the terminal viewer's picture
    libgif-dev hyperfine                          # benchmarks against peers
    libspng-dev libspng0 libturbojpeg0-dev libturbojpeg0  # PNG and JPEG sources
    python3-numpy python3-scipy python3-skimage   # reference scaling, the measure of the dithering
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
