#!/usr/bin/env bash
# Cross-builds the six Windows programs without tests, optimised and
# stripped, and makes the release's files in dist/:
#   varkit-windows-x86_64.zip   the programs with a short README
#   varkit-setup-x86_64.exe     an installer (NSIS): Program Files, PATH, an
#                               uninstaller in Apps & features, /S silent
#   winget/                     the winget manifests (the zip as a portable
#                               package) and scoop/varkit.json, each filled
#                               with the version and the zip's SHA-256
#
#   scripts/dist-windows.sh [--from BUILD_TREE] [--into FOLDER]
#
# --from packs the programs of an existing Windows build tree instead (the
# tests pack build-windows); --into puts the files elsewhere. The manifests'
# download address is $VARKIT_RELEASE_URL (the folder holding the release's
# files), their home page $VARKIT_HOMEPAGE.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=
into=dist
while [ $# -gt 0 ]; do
    case $1 in
        --from) tree=$2; shift 2 ;;
        --into) into=$2; shift 2 ;;
        *) echo "usage: scripts/dist-windows.sh [--from BUILD_TREE] [--into FOLDER]" >&2; exit 2 ;;
    esac
done
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64 zip nsis
if [ -z "$tree" ]; then
    tree=build-windows-release
    scripts/build.sh "$tree" -DVARKIT_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
else
    cmake --build "$tree" --target path_entry >/dev/null
fi

version=$(sed -n 's/^project(varkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
release_url=${VARKIT_RELEASE_URL:-https://example.org/varkit/releases/download/v$version}
homepage=${VARKIT_HOMEPAGE:-https://example.org/varkit}
programs=(Varlook Plaincast Plainpress Pixelcast Pixelpress Quillcast)

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
folder=$staging/varkit-windows-x86_64
mkdir "$folder"
for program in "${programs[@]}"; do
    x86_64-w64-mingw32-strip -o "$folder/$program.exe" "$tree/bin/$program.exe"
done
# A Windows text file: CR LF line ends.
sed 's/$/\r/' >"$folder/README.txt" <<TEXT
varkit $version for Windows (64-bit)

Six command-line converters for TI-89 / TI-92 / TI-92 Plus calculator
variable files (pictures also TI-81 to TI-86). Each is one program that
needs no DLL beyond those of Windows itself:

  Varlook.exe     reports a variable file, checks and repairs its checksum,
                  renames it, lists and unpacks group files
  Plaincast.exe   TEXT and STR variables to the clipboard, a text file and
                  the console
  Plainpress.exe  TEXT and STR variables from a text file or the clipboard
  Pixelcast.exe   pictures to the clipboard, a BMP, PNG or PBM file and the
                  console
  Pixelpress.exe  pictures from a BMP, PNG, JPEG, GIF, TIFF or netpbm file
                  or the clipboard
  Quillcast.exe   TEXT, STR and lab reports to an RTF document, in a file
                  or on the clipboard

Run one from a command prompt with /? for its switches, --help for all its
options. Switches begin with / or -; paths may use \\ or /. Without file
names Quillcast asks for them in the Windows file dialogs.

varkit-setup-x86_64.exe installs the programs and puts them on the PATH;
they are removed again under Apps & features. The programs run as well from
any folder they are copied to.
TEXT

mkdir -p "$into"
into=$(realpath "$into")
zip_file=$into/varkit-windows-x86_64.zip
rm -f "$zip_file"
(cd "$staging" && zip -q -r -X "$zip_file" varkit-windows-x86_64)
makensis -V2 -DVERSION="$version" -DPROGRAMS="$folder" \
    -DPATH_ENTRY="$(realpath "$tree/bin/path_entry.exe")" \
    -DOUTPUT="$into/varkit-setup-x86_64.exe" dist/windows/varkit.nsi

# The package managers' manifests, filled with this release's values.
zip_sha256=$(sha256sum "$zip_file" | cut -d' ' -f1)
fill() {
    sed -e "s|@VERSION@|$version|g" -e "s|@URL@|$release_url|g" \
        -e "s|@HOMEPAGE@|$homepage|g" -e "s|@ZIP_SHA256@|$zip_sha256|g" "$1" >"$2"
}
mkdir -p "$into/winget" "$into/scoop"
for template in dist/windows/winget/*.yaml.in; do
    fill "$template" "$into/winget/$(basename "${template%.in}")"
done
fill dist/windows/scoop/varkit.json.in "$into/scoop/varkit.json"

for made in varkit-windows-x86_64.zip varkit-setup-x86_64.exe winget scoop; do
    echo "$into/$made"
done
