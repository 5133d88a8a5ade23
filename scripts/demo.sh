#!/usr/bin/env bash
# Builds the suite and shows it at work on the bundled example files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
bin=$PWD/build/bin
examples=$PWD/examples

# Everything the demo makes goes to a folder of its own, and the clipboard is
# a private clipboard folder there, so the desktop's clipboard is left alone.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VARKIT_CLIPBOARD=files VARKIT_CLIPBOARD_DIR="$work/clipboard"

show() {
    echo "\$ ${*/#$bin\//}"
    "$@" || true
}

echo "== Reports of every example file"
for file in examples/*.89? examples/*.92? examples/*.9x?; do
    [ -e "$file" ] || continue
    show "$bin/Varlook" "$file"
done

cd "$work"
echo "== Renaming a copy, then breaking its checksum and repairing it"
cp "$examples/scores.89l" scores.89l
show "$bin/Varlook" scores.89l /N points /F stats /C "Renamed by the demo" /L
printf '\x00\x00' | dd of=scores.89l bs=1 seek=$(( $(stat -c %s scores.89l) - 2 )) conv=notrunc status=none
show "$bin/Varlook" scores.89l
show "$bin/Varlook" scores.89l /X

echo "== A text going out and back in"
cp "$examples/notes.89t" notes.89t
show "$bin/Plaincast" notes.89t notes.txt /S
show "$bin/Plainpress" copy.89t notes.txt /N notes
cmp notes.89t copy.89t && echo "copy.89t is byte for byte notes.89t"
show "$bin/Plainpress" fromclip.9xs /C "Pasted from the clipboard"
show "$bin/Varlook" fromclip.9xs

echo "== A picture drawn on the console, saved as a BMP file through the clipboard, and made"
echo "== into a new picture variable"
show "$bin/Pixelcast" "$examples/smiley.9xi" smiley.bmp /S /F# /B.
show "$bin/Pixelpress" grin.89i smiley.bmp /N grin /C "Made by the demo"
show "$bin/Varlook" grin.89i

echo "== A lab report with a string and a picture made into an RTF document: once as a file,"
echo "== read back by unrtf, and once on the clipboard, beside the report's picture"
show "$bin/Quillcast" "$examples/pendulum.9xr" pendulum.rtf
if command -v unrtf >/dev/null; then
    show unrtf --text pendulum.rtf
    echo
fi
show "$bin/Quillcast" "$examples/pendulum.9xr"
cp pendulum.rtf "$examples/../build/pendulum.rtf"
echo "build/pendulum.rtf opens in LibreOffice with the text, the string and the picture in place."
