#!/usr/bin/env bash
# What the suite installs, checked with the tools a Debian system reads it with.
#   install_test.sh tree|manual_pages|package BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
check=$1 build=$2 source=$3 version=$4
programs=(Varlook Plaincast Plainpress Pixelcast Pixelpress Quillcast)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs a command quietly, showing what it said only when it fails.
quietly() {
    "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "$*"; }
}

# Every name a program answers to runs, and every page and completion is
# where man and bash-completion look for them under the prefix.
check_tree() {
    local prefix=$work/prefix
    quietly cmake --install "$build" --prefix "$prefix"
    for program in "${programs[@]}"; do
        for name in "$program" "${program,,}"; do
            [ "$("$prefix/bin/$name" --version)" = "$program $version" ] || fail "bin/$name"
            MANPATH=$prefix/share/man man -w "$name" >/dev/null || fail "man $name"
            [ -r "$prefix/share/bash-completion/completions/$name" ] || fail "completion $name"
        done
    done
    [ -r "$prefix/share/doc/varkit/copyright" ] || fail "copyright"

    # The installed completion offers each program's switches and files.
    local completions=$prefix/share/bash-completion/completions
    mkdir "$work/files" && cd "$work/files"
    touch notes.89t smiley.9xi smiley.bmp report.9xr
    local varlook_words="--extract --extract= --force --help --list --member= --version"
    varlook_words+=" -A -C -F -L -N -U -X"
    [ "$(complete_words "$completions" varlook -)" = "$varlook_words" ] ||
        fail "Varlook switches: $(complete_words "$completions" varlook -)"
    [ "$(complete_words "$completions" Pixelcast '')" = "smiley.9xi" ] || fail "Pixelcast files"
    [ "$(complete_words "$completions" Pixelcast smiley.9xi '')" = "smiley.bmp" ] ||
        fail "Pixelcast second file"
    [ "$(complete_words "$completions" Quillcast notes.89t -F '')" = "" ] || fail "Quillcast font"
    # The long options and their choices are those --help lists.
    [ "$(complete_words "$completions" pixelpress x.89i --)" = \
        "--dither --fit --help --threshold= --version" ] ||
        fail "Pixelpress long options: $(complete_words "$completions" pixelpress x.89i --)"
    [ "$(complete_words "$completions" Pixelcast --format=)" = "bmp pbm png" ] ||
        fail "Pixelcast formats: $(complete_words "$completions" Pixelcast --format=)"

    # The install updated the prefix's MIME database: files are known by
    # their extension and, without one, by their first bytes.
    cp "$source/examples/smiley.9xi" picture
    local types expected
    types=$(XDG_DATA_HOME=$prefix/share XDG_DATA_DIRS=$prefix/share \
        mimetype -b notes.89t report.9xr picture | paste -sd " ")
    expected="application/x-ti89-text application/x-ti92plus-lab-report"
    expected+=" application/x-ti92plus-picture"
    [ "$types" = "$expected" ] || fail "MIME types: $types"
}

# The completion words bash offers, sorted, for the command line given by the
# arguments after the completion folder, the last being the word completed.
# The programs of the install answer --help.
complete_words() {
    local completions=$1
    shift
    PATH=${completions%/share/bash-completion/completions}/bin:$PATH bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1/$2"
        shift
        COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMP_POINT=${#COMP_LINE}
        _varkit "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]:-}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "
    ' complete_words "$completions" "$@"
}

# Each page reads without a warning from mandoc or groff, and names every
# switch and long option the program's --help lists (its parser's table).
check_manual_pages() {
    for program in "${programs[@]}"; do
        local page=$build/dist/man/$program.1
        mandoc -T lint -W warning "$page" || fail "mandoc -T lint $program.1"
        local warnings
        warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$work/page")
        [ -z "$warnings" ] || fail "man --warnings $program.1: $warnings"
        local synopses synopsis option
        synopses=$(bash -c 'source "$1"; _varkit_synopses "$2"' \
            x "$source/dist/varkit.bash-completion" "$build/bin/$program")
        [ -n "$synopses" ] || fail "$program --help lists no options"
        while IFS= read -r synopsis; do
            # "/N name" is written /N, "--format=png|pbm|bmp" --format.
            case $synopsis in
                --*) option=${synopsis%%=*} ;;
                *) option=${synopsis:0:2} ;;
            esac
            grep -qF -- "$option" "$work/page" || fail "$program.1 does not name $option"
        done <<<"$synopses"
    done
}

# The package holds exactly what the install rules install, names its
# version and computed dependencies, and passes lintian without errors.
check_package() {
    quietly cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package"
    local deb=("$work/package"/varkit_"$version"_*.deb)
    [ -f "${deb[0]}" ] || fail "no package"
    dpkg-deb --info "${deb[0]}" >"$work/info"
    grep -qx ' Package: varkit' "$work/info" || fail "package name"
    grep -qx " Version: $version" "$work/info" || fail "package version"
    grep -q '^ Depends: .*libc6' "$work/info" || fail "computed dependencies"

    DESTDIR=$work/tree quietly cmake --install "$build" --prefix /usr
    (cd "$work/tree" && find . -mindepth 1 ! -type d | sort) >"$work/installed"
    dpkg-deb --contents "${deb[0]}" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/packed"
    diff "$work/installed" "$work/packed" || fail "the package differs from the install"

    if command -v lintian >/dev/null; then
        lintian --fail-on error "${deb[0]}" || fail "lintian"
    fi
}

"check_$check"
