#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Linkvane for 64-bit Windows, built on Debian: installs what it needs, builds Qt
# for Windows once from Debian's source of the host tools' version (cached
# outside the clone), cross-builds the three programs and the tests against it,
# deploys each program with its DLLs and plugins, and makes the NSIS installer
# and the portable zip in out/. With --test it also runs the Windows tests
# under Wine (scripts/windows-test.sh); with --test-only it runs only those,
# on an earlier build.
#
#   scripts/windows.sh [--test | --test-only] [--qt-only]
#
# LINKVANE_QT_CACHE  where the Qt builds are kept (default /var/cache/linkvane)
# LINKVANE_WIN_BUILD where Linkvane is cross-built (default build/win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
run_tests=0
test_only=0
qt_only=0
for a in "$@"; do
    case $a in
        --test) run_tests=1 ;;
        --test-only) test_only=1 ;;
        --qt-only) qt_only=1 ;;
        *) echo "usage: scripts/windows.sh [--test | --test-only] [--qt-only]" >&2; exit 1 ;;
    esac
done
cache_root=${LINKVANE_QT_CACHE:-/var/cache/linkvane}
build=${LINKVANE_WIN_BUILD:-$root/build/win64}
toolchain=$root/cmake/mingw/toolchain-x86_64-w64-mingw32.cmake
say() { echo "=== windows: $*"; }
started=$SECONDS

# --- What it needs, from Debian's packages --------------------------------
packages=(build-essential cmake ninja-build dpkg-dev xz-utils qt6-base-dev qt6-base-dev-tools
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix googletest nsis zip wine64 wine
          xvfb xauth fonts-dejavu-core fonts-wine)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- Qt for Windows, built once ------------------------------------------
# The version of the host tools (moc, rcc, uic) decides the version built:
# Qt's cross build runs the host's tools, and they must match.
deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${deb_version%%+*}
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    # -Os rather than Qt's -O2 (-O3 for Core and Gui): the longest phase of a CI run on a new
    # machine took 1,699 s against 1,830 s (its heaviest sources compile in 37 % less time; linking
    # and moc do not change), and the DLLs are smaller. A setup tool waits on the network, not on Qt.
    -DFEATURE_optimize_size=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    # Modules Linkvane does not link.
    -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    # Network: UDP, interfaces and addresses only.
    -DINPUT_ssl=no -DINPUT_openssl=no -DFEATURE_http=OFF -DFEATURE_dnslookup=OFF
    -DFEATURE_networkdiskcache=OFF -DFEATURE_networklistmanager=OFF -DFEATURE_gssapi=OFF
    # Gui and Widgets: what the windows never show or load.
    -DFEATURE_tabletevent=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_pdf=OFF -DFEATURE_movie=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_tuiotouch=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
    -DFEATURE_sessionmanager=OFF -DFEATURE_graphicsview=OFF -DFEATURE_mdiarea=OFF
    -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF -DFEATURE_fontdialog=OFF
    -DFEATURE_colordialog=OFF -DFEATURE_wizard=OFF -DFEATURE_undoview=OFF -DFEATURE_lcdnumber=OFF
)
# The cache is keyed by the Debian version, the options, the patches and the toolchain (its licence line
# left out: it changes nothing Qt is built with).
key=$( { echo "$deb_version"; printf '%s\n' "${qt_options[@]}"; grep -v 'SPDX-License-Identifier' "$toolchain"
         cat cmake/mingw/qt-patches/*.patch; } | sha256sum | cut -c1-12)
qt_prefix=$cache_root/qt-$qt_version-mingw64-$key

build_qt() {
    local work=$cache_root/work/qt-$qt_version-$key
    local src_dir=$cache_root/src
    say "building Qt $qt_version for Windows into $qt_prefix (once; about half an hour on 2 cores)"
    # Debian's source of exactly the installed version, from a deb-src entry of the same suites.
    if ! ls "$src_dir"/qt6-base_"${deb_version#*:}".dsc >/dev/null 2>&1; then
        if ! apt-get source --print-uris qt6-base="$deb_version" >/dev/null 2>&1; then
            local list=/etc/apt/sources.list.d/linkvane-deb-src.sources
            local suites
            suites=$(sed -n 's/^Suites: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
            $SUDO tee "$list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${suites:-bookworm bookworm-updates}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
            $SUDO apt-get update -qq
        fi
        $SUDO mkdir -p "$src_dir"
        (cd "$src_dir" && $SUDO apt-get source --download-only qt6-base="$deb_version" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
    fi
    $SUDO rm -rf "$work"
    $SUDO mkdir -p "$work"
    $SUDO chown "$(id -u):$(id -g)" "$work"
    tar -C "$work" -xf "$src_dir"/qt6-base_"${qt_version}"+*.orig.tar.xz
    local qtsrc
    qtsrc=$(echo "$work"/qtbase-everywhere-src-*)
    for p in "$root"/cmake/mingw/qt-patches/*.patch; do
        patch -d "$qtsrc" -p1 --forward --silent < "$p"
    done
    cmake -S "$qtsrc" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$qt_prefix.partial" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${qt_options[@]}" > "$work/configure.log" 2>&1 || { tail -50 "$work/configure.log"; exit 1; }
    local t0=$SECONDS
    cmake --build "$work/build" -j "$jobs" > "$work/build.log" 2>&1 || { grep -B5 -A20 'error' "$work/build.log" | head -80; exit 1; }
    say "Qt built in $((SECONDS - t0)) s"
    $SUDO rm -rf "$qt_prefix.partial"
    $SUDO mkdir -p "$qt_prefix.partial"
    $SUDO chown "$(id -u):$(id -g)" "$qt_prefix.partial"
    cmake --install "$work/build" > "$work/install.log" 2>&1
    mv "$qt_prefix.partial" "$qt_prefix"
    rm -rf "$work"
}

run_windows_tests() {
    LINKVANE_QT_PREFIX=$qt_prefix LINKVANE_WIN_BUILD=$build scripts/windows-test.sh
}
if [ $test_only = 1 ]; then
    [ -f "$qt_prefix/bin/Qt6Core.dll" ] || { echo "windows.sh: no Qt for Windows in $qt_prefix; build first" >&2; exit 1; }
    run_windows_tests
    say "done in $((SECONDS - started)) s"
    exit 0
fi

if [ -f "$qt_prefix/bin/Qt6Core.dll" ]; then
    say "using the cached Qt $qt_version in $qt_prefix"
else
    build_qt
fi
[ $qt_only = 1 ] && { say "Qt ready after $((SECONDS - started)) s"; exit 0; }

# --- Linkvane, cross-built ---------------------------------------------------
version=$(sed -n 's/^project(Linkvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
say "building Linkvane $version for Windows in $build"
# -O2 as the Linux build: GCC 12's -O3 inlining of std::string warns of
# overlapping copies that cannot happen (-Wrestrict, GCC bug 105329).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DLINKVANE_BENCH=OFF -DLINKVANE_GTEST_SOURCE_DIR=/usr/src/googletest -DCMAKE_CXX_FLAGS=-Werror \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
cmake --build "$build" -j "$jobs"

# --- One folder with everything the programs load ------------------------------
# The MinGW runtime the compiler links, found where the compiler says it is.
runtime_dlls=()
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
    [ -f "$path" ] || path=/usr/x86_64-w64-mingw32/lib/$dll
    [ -f "$path" ] || { echo "windows.sh: $dll not found" >&2; exit 1; }
    runtime_dlls+=("$path")
done
stage=$root/out/stage
folder=linkvane-$version-win64
deploy=$stage/$folder
rm -rf "$stage"
mkdir -p "$deploy/platforms" "$deploy/styles"
for program in linkvane linkvane-cli linkvane-devsim; do
    cp "$(find "$build/src" -name "$program.exe" -print -quit)" "$deploy/"
done
for lib in Core Gui Widgets Network; do cp "$qt_prefix/bin/Qt6$lib.dll" "$deploy/"; done
cp "${runtime_dlls[@]}" "$deploy/"
# The Windows platform, and the offscreen one for runs without a desktop (checks, scripts).
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$qt_prefix/plugins/platforms/qoffscreen.dll" "$deploy/platforms/"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$deploy/styles/"
x86_64-w64-mingw32-strip --strip-unneeded "$deploy"/*.exe "$deploy"/*.dll "$deploy"/*/*.dll
cp packaging/windows/README.txt "$deploy/README.txt"
sed -i "s/@VERSION@/$version/g; s/\$/\r/" "$deploy/README.txt"

# --- The installer and the portable zip --------------------------------------
mkdir -p out
rm -f "out/$folder.zip" "out/linkvane-$version-win64-setup.exe"
(cd "$stage" && zip -qr9 "$root/out/$folder.zip" "$folder")
makensis -V2 -DVERSION="$version" -DSTAGE="$deploy" -DICON="$root/data/icons/linkvane.ico" \
    -DOUTFILE="$root/out/linkvane-$version-win64-setup.exe" packaging/windows/linkvane.nsi
say "out/linkvane-$version-win64-setup.exe ($(du -h "out/linkvane-$version-win64-setup.exe" | cut -f1)), out/$folder.zip ($(du -h "out/$folder.zip" | cut -f1))"

if [ $run_tests = 1 ]; then
    run_windows_tests
fi
say "done in $((SECONDS - started)) s"
