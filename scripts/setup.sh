#!/usr/bin/env bash
# Installs the Debian packages varkit needs that are missing, and nothing
# else: when everything is there it does nothing and needs no root.
#
#   scripts/setup.sh                  what building the programs needs
#   scripts/setup.sh test             that and the tools the tests use
#   scripts/setup.sh [test] NAME ...  and further packages a caller names
set -euo pipefail

# Compiler, build tools and the libraries the programs link (the image
# libraries Pixelpress reads JPEG, GIF and WebP with among them), with the
# generator of the Wayland protocol code.
build_needs=(
    cmake ninja-build g++ pkg-config
    libxcb1-dev libpng-dev zlib1g-dev libwayland-dev libwayland-bin
    libjpeg62-turbo-dev libgif-dev libwebp-dev
)

# GoogleTest and Google Benchmark, the fuzzing compiler, the X server and
# clipboard client, Wayland compositors (sway with XWayland, and weston,
# which has no data control) with their clipboard clients, the image and
# document readers the tests check output with, the man page, package and
# file type checkers, and the Windows cross compiler with Wine to run its
# programs and NSIS to make its installer.
test_tools=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xclip x11-utils strace
    sway xwayland x11-xserver-utils weston wl-clipboard
    python3 python3-pil imagemagick netpbm
    unrtf libreoffice-writer-nogui
    man-db groff-base mandoc bash-completion shared-mime-info libfile-mimeinfo-perl
    dpkg-dev file lintian
    g++-mingw-w64-x86-64-posix mingw-w64 googletest wine wine64 zip nsis
)

packages=("${build_needs[@]}")
if [ "${1:-}" = test ]; then
    packages+=("${test_tools[@]}")
    shift
fi
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Error: need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
