#!/usr/bin/env bash
# Tests the Windows build under Wine, after scripts/test.sh has built both:
#   scripts/test-windows.sh [linux build, default build] [windows build, default build-windows]
# In a Wine prefix of its own, with a Wine desktop on a private Xvfb display:
# the Windows unit tests; the end-to-end tests of the Linux build run again on
# the .exe programs; Linux and Windows outputs compared byte for byte on the
# shared samples and the examples; the Windows clipboard checked from X11
# with xclip; and the installer installed and uninstalled.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=$(realpath "${1:-build}")
windows=$(realpath "${2:-build-windows}")

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No Mono or Gecko installers: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset TMPDIR
xvfb_pid=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A fresh prefix takes seconds and now and then fails on a loaded machine:
# it is tried twice.
make_prefix() {
    rm -rf "$WINEPREFIX"
    timeout 300 wine wineboot --init >/dev/null 2>&1 && timeout 60 wineserver -w
}
echo "== Wine prefix"
make_prefix || { echo "Wine's first start failed, trying again"; make_prefix; }

# Xvfb picks a free display and writes its number to the given descriptor.
echo "== Xvfb and a Wine desktop"
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Error: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")
# The Windows clipboard outlives the program that set it, and reaches the X11
# CLIPBOARD selection, only while a Wine desktop process runs. The server
# stays up between the many short runs.
wineserver -p
wine explorer >/dev/null 2>&1 &
sleep 3

failed=0
# The programs need no DLL beyond those of Windows itself.
allowed='^(kernel32|user32|gdi32|comdlg32|winmm|shell32|ole32|msvcrt)\.dll$'
for program in Varlook Plaincast Plainpress Pixelcast Pixelpress Quillcast; do
    extra=$(x86_64-w64-mingw32-objdump -p "$windows/bin/$program.exe" |
        sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -Ev "$allowed" || true)
    if [ -n "$extra" ]; then
        echo "Error: $program.exe needs $extra" >&2
        failed=1
    fi
done

# Each step has 20 minutes at most, so a stuck Wine fails the run instead of
# holding it.
step() {
    local name=$1
    shift
    echo "== $name"
    if ! timeout 1200 "$@"; then
        echo "Error: $name failed" >&2
        failed=1
    fi
}

step "Windows unit tests" wine "$windows/bin/windows_tests.exe" --gtest_brief=1

# The end-to-end tables of the Linux tests, on the .exe programs.
export VARKIT_TEST_WINE_BIN=$windows/bin
step "Varlook and group files through Wine" "$linux/bin/info_tests" --gtest_brief=1 \
    --gtest_filter='VarlookSamples.*:VarlookHostile.*:VarlookNames.*:GroupFiles.*'
step "Command lines through Wine" "$linux/bin/varfile_tests" --gtest_brief=1 \
    --gtest_filter='NamingSwitches.*:NewHeaderNames.*:CommandLine.*'
step "Plaincast and Plainpress through Wine" "$linux/bin/text_tests" --gtest_brief=1 \
    --gtest_filter='TextEndToEnd.*'
step "Pixelcast and Pixelpress through Wine" "$linux/bin/picture_tests" --gtest_brief=1 \
    --gtest_filter='PictureEndToEnd.*'
unset VARKIT_TEST_WINE_BIN

mkdir "$work/compare"
step "Linux and Windows outputs, and the clipboard from X11" \
    /usr/bin/python3 tests/windows/compare_builds.py "$linux/bin" "$windows/bin" "$work/compare" \
    ../shared/samples examples

step "Ctrl-C, read-only outputs, links and NUL" \
    /usr/bin/python3 tests/faults/fault_injection.py "$windows/bin" examples --windows
step "The installer and the package manifests" \
    tests/windows/installer_test.sh "$windows" "$work/release"

# Scratch files go to GetTempPath, the prefix's own temporary folder; none
# may be left there.
left=$(find "$WINEPREFIX/drive_c/users" -path '*/Temp/varkit-*' 2>/dev/null || true)
if [ -n "$left" ]; then
    echo "Error: temporary files left behind: $left" >&2
    failed=1
fi
exit $failed
