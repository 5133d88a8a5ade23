#!/usr/bin/env bash
# The release's Windows files, made by scripts/dist-windows.sh from a Windows
# build tree, in the Wine prefix of $WINEPREFIX: the installer installs
# silently and puts the programs on the PATH, the uninstaller it registers
# takes every file and the PATH entry away again, and the package managers'
# manifests name the zip's SHA-256 and the six programs.
#   tests/windows/installer_test.sh <windows build> <work folder>
set -euo pipefail
cd "$(dirname "$0")/../.."
windows=$1
work=$2
failed=0
fail() {
    echo "Error: $*" >&2
    failed=1
}

scripts/dist-windows.sh --from "$windows" --into "$work" >/dev/null
version=$(sed -n 's/^project(varkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip_sha256=$(sha256sum "$work/varkit-windows-x86_64.zip" | cut -d' ' -f1)
python3 - "$work" "$version" "$zip_sha256" <<'PYTHON' || failed=1
import json, re, sys
work, version, sha256 = sys.argv[1:]
programs = ["Varlook", "Plaincast", "Plainpress", "Pixelcast", "Pixelpress", "Quillcast"]
installer = open(f"{work}/winget/varkit.varkit.installer.yaml").read()
scoop = json.load(open(f"{work}/scoop/varkit.json"))
problems = []
if re.findall(r"PortableCommandAlias: (\w+)", installer) != programs:
    problems.append("winget: not one NestedInstallerFiles entry per program")
if f"InstallerSha256: {sha256}" not in installer or f"PackageVersion: {version}" not in installer:
    problems.append("winget: not this zip's SHA-256 and version")
if scoop["bin"] != [p + ".exe" for p in programs]:
    problems.append("scoop: bin does not list the six programs")
if scoop["architecture"]["64bit"]["hash"] != sha256 or scoop["version"] != version:
    problems.append("scoop: not this zip's SHA-256 and version")
for problem in problems:
    print("Error:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PYTHON

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\varkit'
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
registry_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | tr -d '\r'
}

wine "$work/varkit-setup-x86_64.exe" /S || fail "the silent install ended with status $?"
folder=$(registry_value "$uninstall_key" InstallLocation)
unix_folder=$(winepath -u "$folder" 2>/dev/null)
[ -n "$folder" ] && [ -f "$unix_folder/uninstall.exe" ] || fail "no uninstaller registered"
# A new command prompt, in another folder, finds the programs on the PATH.
shown=$(cd "$work" && wine cmd /c 'cd /d C:\ && Varlook.exe --version' | tr -d '\r')
[ "$shown" = "Varlook $version" ] || fail "Varlook.exe from the PATH said \"$shown\""

# The uninstaller copies itself away and returns at once; its copy works on.
uninstall=$(registry_value "$uninstall_key" QuietUninstallString)
program=${uninstall#\"}
program=${program%%\"*}
# shellcheck disable=SC2086  # the switches after the quoted program
wine "$program" ${uninstall##*\"} || fail "the uninstaller ended with status $?"
for _ in $(seq 60); do
    [ -e "$unix_folder" ] || break
    sleep 0.5
done
[ ! -e "$unix_folder" ] || fail "left behind: $(ls -A "$unix_folder")"
case ";$(registry_value "$environment" Path);" in
    *";$folder;"*) fail "$folder is still on the PATH" ;;
esac
[ -z "$(registry_value "$uninstall_key" DisplayName)" ] || fail "the uninstaller is still registered"
exit $failed
