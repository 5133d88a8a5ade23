#!/usr/bin/env bash
# Cross-builds the six Windows programs without tests, optimised and
# stripped, and packs them with a short README into
# dist/varkit-windows-x86_64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64 zip
scripts/build.sh build-windows-release -DVARKIT_TESTS=OFF -DCMAKE_BUILD_TYPE=Release

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
folder=$staging/varkit-windows-x86_64
mkdir "$folder"
for program in Varlook Plaincast Plainpress Pixelcast Pixelpress Quillcast; do
    x86_64-w64-mingw32-strip -o "$folder/$program.exe" "build-windows-release/bin/$program.exe"
done
version=$(sed -n 's/^project(varkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# A Windows text file: CR LF line ends.
sed 's/$/\r/' >"$folder/README.txt" <<TEXT
varkit $version for Windows (64-bit)

Six command-line converters for TI-89 / TI-92 / TI-92 Plus calculator
variable files (pictures also TI-81 to TI-86). Each is one program that
needs no installation and no DLL beyond those of Windows itself:

  Varlook.exe     reports a variable file, checks and repairs its checksum,
                  renames it
  Plaincast.exe   TEXT and STR variables to the clipboard, a text file and
                  the console
  Plainpress.exe  TEXT and STR variables from a text file or the clipboard
  Pixelcast.exe   pictures to the clipboard, a BMP or PBM file and the
                  console
  Pixelpress.exe  pictures from a BMP or netpbm file or the clipboard
  Quillcast.exe   TEXT, STR and lab reports to an RTF document, in a file
                  or on the clipboard

Run one from a command prompt with /? for its switches. Switches begin
with / or -; paths may use \\ or /. Without file names Quillcast asks for
them in the Windows file dialogs. This build reads and writes no PNG
files.
TEXT
mkdir -p dist
rm -f dist/varkit-windows-x86_64.zip
(cd "$staging" && zip -q -r -X "$OLDPWD/dist/varkit-windows-x86_64.zip" varkit-windows-x86_64)
echo "dist/varkit-windows-x86_64.zip"
