#!/usr/bin/env bash
# Builds the suite and shows it at work on the bundled example files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
bin=build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

show() {
    echo "\$ $*"
    "$@" || true
}

# Reports of every example file.
for file in examples/*.89? examples/*.92? examples/*.9x?; do
    [ -e "$file" ] || continue
    show "$bin/Varlook" "$file"
done

# Renaming a copy, then breaking its checksum and repairing it.
cp examples/scores.89l "$work/scores.89l"
show "$bin/Varlook" "$work/scores.89l" /N points /F stats /C "Renamed by the demo" /L
printf '\x00\x00' | dd of="$work/scores.89l" bs=1 seek=$(( $(stat -c %s "$work/scores.89l") - 2 )) conv=notrunc status=none
show "$bin/Varlook" "$work/scores.89l"
show "$bin/Varlook" "$work/scores.89l" /X

# A picture drawn on the console, saved as a BMP file (through the clipboard),
# and that BMP made into a new picture variable.
show "$bin/Pixelcast" examples/smiley.9xi "$work/smiley.bmp" /S /F# /B.
show "$bin/Pixelpress" "$work/grin.89i" "$work/smiley.bmp" /N grin /C "Made by the demo"
show "$bin/Varlook" "$work/grin.89i"

# A lab report with a string and a picture (examples/pendulum.9xr) made into
# an RTF document: once as a file, read back by unrtf, and once on the
# clipboard, beside the report's picture.
show "$bin/Quillcast" examples/pendulum.9xr "$work/pendulum.rtf"
if command -v unrtf >/dev/null; then
    (cd "$work" && show unrtf --text pendulum.rtf)
    echo
fi
show "$bin/Quillcast" examples/pendulum.9xr
cp "$work/pendulum.rtf" build/pendulum.rtf
echo "build/pendulum.rtf opens in LibreOffice with the text, the string and the picture in place."
