#!/usr/bin/env bash
# Builds the suite and shows it at work on the bundled example files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
bin=$PWD/build/bin
for file in examples/*.89? examples/*.92? examples/*.9x?; do
    [ -e "$file" ] || continue
    echo "\$ Varlook $file"
    "$bin/Varlook" "$file"
done

# A text going out and back in, through a clipboard folder of the demo's own
# so the desktop's clipboard is left alone.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/notes.89t "$work/"
cd "$work"
export VARKIT_CLIPBOARD=files VARKIT_CLIPBOARD_DIR="$work/clipboard"
echo "\$ Plaincast notes.89t notes.txt /S"
"$bin/Plaincast" notes.89t notes.txt /S
echo "\$ Plainpress copy.89t notes.txt /N notes"
"$bin/Plainpress" copy.89t notes.txt /N notes
cmp notes.89t copy.89t && echo "copy.89t is byte for byte notes.89t"
echo "\$ Plainpress fromclip.9xs /C \"Pasted from the clipboard\""
"$bin/Plainpress" fromclip.9xs /C "Pasted from the clipboard"
echo "\$ Varlook fromclip.9xs"
"$bin/Varlook" fromclip.9xs
