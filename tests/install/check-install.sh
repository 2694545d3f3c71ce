#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-install.sh CMAKE BUILD_DIR VERSION APP_ID
# Installs BUILD_DIR into a temporary prefix and checks what a user's desktop
# and man(1) will find there. Exits 77 (skipped) when a checking tool is missing.
set -uo pipefail
cmake_program=$1 build=$2 version=$3 id=$4

for tool in desktop-file-validate appstreamcli man gzip od; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cmake_program" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

# The programs, each answering --version or --help without a display.
for program in linkvane linkvane-cli linkvane-devsim; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing or not executable"
done
for program in linkvane linkvane-cli linkvane-devsim; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
    # The name and version first ("Linkvane 1.1", "linkvane-devsim 1.1"), then the licence.
    first=$(head -n 1 <<<"$out")
    [ "${first,,}" = "$program $version" ] || fail "$program --version printed '$first', not the version $version"
    [ "$(sed -n 2p <<<"$out")" = "Licence: Apache-2.0" ] || fail "$program --version names no licence: '$out'"
done
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/linkvane" --help | grep -q -- '--broadcast' ||
    fail "linkvane --help does not list --broadcast"
"$prefix/bin/linkvane-cli" --help >/dev/null 2>&1 || fail "linkvane-cli --help failed"

# The desktop entry, valid and pointing at an installed program and icon.
desktop=$prefix/share/applications/$id.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
    key() { sed -n "s/^$1=//p" "$desktop"; }
    [ "$(key GenericName)" = "Device Configuration" ] || fail "GenericName is '$(key GenericName)'"
    [ "$(key Categories)" = "Network;Utility;" ] || fail "Categories is '$(key Categories)'"
    [ -n "$(key Comment)" ] && [ -n "$(key Keywords)" ] || fail "Comment or Keywords missing"
    [ -x "$prefix/bin/$(key Exec | cut -d' ' -f1)" ] || fail "Exec '$(key Exec)' is not an installed program"
    [ "$(key Icon)" = "$id" ] || fail "Icon is '$(key Icon)', not $id"
else
    fail "share/applications/$id.desktop is missing"
fi

# The metainfo, valid, naming the desktop entry, the version and a screenshot.
metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate --no-net $metainfo"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
    grep -q '<image>[^<]*/docs/screenshots/main-window.png</image>' "$metainfo" ||
        fail "the metainfo names no screenshot of the main window"
else
    fail "share/metainfo/$id.metainfo.xml is missing"
fi

# The icons: the SVG and the two PNGs at their sizes.
icons=$prefix/share/icons/hicolor
grep -q '<svg' "$icons/scalable/apps/$id.svg" 2>/dev/null || fail "no scalable SVG icon"
for size in 48 256; do
    png=$icons/${size}x${size}/apps/$id.png
    if [ -f "$png" ]; then
        # PNG signature, then the IHDR chunk: width and height as 32-bit big-endian numbers.
        read -r -a bytes <<<"$(od -An -tu1 -N24 "$png" | tr "\n" " ")"
        signature="${bytes[*]:0:8}"
        width=$(((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19]))
        height=$(((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23]))
        [ "$signature" = "137 80 78 71 13 10 26 10" ] || fail "$png is not a PNG"
        [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x$height, not ${size}x$size"
    else
        fail "${size}x${size}/apps/$id.png is missing"
    fi
done

# The manual pages: present, formatted without a warning, naming the version.
for page in linkvane linkvane-cli linkvane-devsim; do
    file=$prefix/share/man/man1/$page.1.gz
    if [ -f "$file" ]; then
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man --warnings -l $page.1.gz: $warnings"
        rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
        grep -q "Linkvane $version" <<<"$rendered" || fail "$page(1) does not name version $version"
        # A word hyphenated at a line's end (U+2010) breaks an option name copied from the page.
        broken=$(grep -n $'\u2010$' <<<"$rendered")
        [ -z "$broken" ] || fail "$page(1) hyphenates at line ends: $broken"
    else
        fail "share/man/man1/$page.1.gz is missing"
    fi
done
zcat "$prefix/share/man/man1/linkvane-cli.1.gz" | grep -q -- 'apply' || fail "linkvane-cli(1) does not document apply"

# Shell completion where bash-completion and zsh look for it.
bash_completion=$prefix/share/bash-completion/completions/linkvane-cli
grep -q '^complete -F _linkvane_cli linkvane-cli$' "$bash_completion" 2>/dev/null ||
    fail "share/bash-completion/completions/linkvane-cli is missing or registers nothing"
# zsh's: site-functions, where zsh looks under any prefix but /usr (vendor-completions is the package's).
head -n 1 "$prefix/share/zsh/site-functions/_linkvane-cli" 2>/dev/null | grep -qx '#compdef linkvane-cli' ||
    fail "share/zsh/site-functions/_linkvane-cli is missing or not a completion function"
[ ! -e "$prefix/share/zsh/vendor-completions" ] || fail "zsh completion in vendor-completions outside /usr"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installed tree in order: 3 programs, desktop entry, metainfo, 3 icons, 3 manual pages, 2 completions"
