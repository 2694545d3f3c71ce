#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the Windows build under Wine, on loopback: every cross-built test
# executable (the GUI tests on the offscreen platform, the simulator they start
# also the Windows build); the Windows CLI against the simulator built for
# Linux, with the bytes it sends compared to the Linux CLI's; and the installer:
# a silent install, the installed window started and closed, and the
# uninstall. scripts/windows.sh --test calls it after the build.
#
# LINKVANE_QT_PREFIX   the Qt for Windows (from scripts/windows.sh)
# LINKVANE_WIN_BUILD   the cross-build folder (default build/win64)
# LINKVANE_LINUX_BUILD a Linux build with linkvane-devsim and linkvane-cli
#                      (default: build/wine-linux, built here)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
qt_prefix=${LINKVANE_QT_PREFIX:?set LINKVANE_QT_PREFIX to the Qt for Windows}
build=${LINKVANE_WIN_BUILD:-$root/build/win64}
linux=${LINKVANE_LINUX_BUILD:-}
version=$(sed -n 's/^project(Linkvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
say() { echo "=== wine: $*"; }
started=$SECONDS

source scripts/wine-prefix.sh
make_wine_prefix "$root/build/wine-prefix"
# The drive Wine maps the Unix root to, for paths handed to Windows programs.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ -z "$linux" ]; then
    linux=$root/build/wine-linux
    say "building the Linux simulator and CLI in $linux"
    cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINKVANE_TESTS=OFF -DLINKVANE_BENCH=OFF >/dev/null
    cmake --build "$linux" -j "$(nproc)" --target linkvane-devsim linkvane-cli
fi
linux_devsim=$(find "$linux/src/devsim" -maxdepth 1 -name linkvane-devsim -type f -print -quit)
linux_cli=$(find "$linux/src/cli" -maxdepth 1 -name linkvane-cli -type f -print -quit)
exe() { find "$build/src" "$build/tests" -name "$1.exe" -type f -print -quit; }
win_cli=$(exe linkvane-cli)
win_devsim=$(exe linkvane-devsim)

# Qt's DLLs and the MinGW runtime's, where the tests and programs of the build find them.
runtime_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
export WINEPATH="$(winpath "$qt_prefix/bin");$(winpath "$runtime_dir");$(winpath /usr/x86_64-w64-mingw32/lib)"
# Wine keeps every variable whose name starts with QT_ from Windows programs (it
# is meant for the Unix side) and hands them WINEQT_... as QT_... instead.
export WINEQT_PLUGIN_PATH="$(winpath "$qt_prefix/plugins")"
export WINEQT_QPA_PLATFORM=offscreen
# The offscreen platform reads fonts from a folder rather than from Windows:
# without it no font is found, and every character, a blank too, is drawn as a
# box as wide as the font is high. The folder holds DejaVu Sans alone: the
# family the platform asks for by default ("Sans Serif") names no face, and of
# all the DejaVu faces it would get whichever comes first, the math one.
fonts=$build/wine-fonts
mkdir -p "$fonts"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans{,-Bold,-Oblique,-BoldOblique}.ttf "$fonts/"
export WINEQT_QPA_FONTDIR="$(winpath "$fonts")"
# The test executables start the simulator themselves and talk to it through
# its standard input and output, which Wine gives only to Windows programs: so
# they run against the simulator's Windows build, and the checks further down
# run the Windows CLI against the Linux simulator.
export LINKVANE_DEVSIM="$(winpath "$win_devsim")"
export LINKVANE_CLI="$(winpath "$win_cli")"

passed=0
failed=0
check() { # check NAME COMMAND...: one named check, counted
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); echo "ok    $name"; else failed=$((failed + 1)); echo "FAIL  $name"; fi
}

# --- The test executables ------------------------------------------------------
say "tests left out under Wine (tests/windows-skips.txt):"
grep -v '^#' tests/windows-skips.txt | sed '/^\s*$/d; s/^/    /'
logs=$build/wine-logs
mkdir -p "$logs"
run_suite() {
    local path=$1 name
    name=$(basename "$path" .exe)
    local skip
    skip=$(awk -v n="$name" '!/^#/ && $1 == n { printf "%s%s", sep, $2; sep = ":" }' tests/windows-skips.txt)
    local t0=$SECONDS
    if timeout 900 wine "$path" ${skip:+--gtest_filter=-$skip} >"$logs/$name.log" 2>&1; then
        echo "ok    $name: $(tr -d '\r' <"$logs/$name.log" | grep -E '^\[  PASSED  \]' | tail -1) in $((SECONDS - t0)) s"
        passed=$((passed + 1))
    else
        echo "FAIL  $name (log: $logs/$name.log)"
        { grep -E '^\[  FAILED  \]|Failure|error' "$logs/$name.log" || tail -5 "$logs/$name.log"; } | head -20 | sed 's/^/    /' || true
        failed=$((failed + 1))
    fi
}
while IFS= read -r suite; do
    run_suite "$suite"
done < <(find "$build/tests" -name '*_tests.exe' -type f | sort)
# End whatever the suites left in Wine (simulators a test stopped with
# TerminateProcess may still be winding down) and the Wine server with them, so
# the checks below start on a fresh server that knows no process of the suites'.
wineserver -k 2>/dev/null || true
wineserver -w

# --- The CLI against the Linux simulator -----------------------------------------
sim_pid=""
sim_log=""
start_sim() { # starts a fresh simulator on a free port; sets sim_port
    stop_sim
    sim_log=$(mktemp)
    "$linux_devsim" --port 0 --verbose >"$sim_log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 50); do
        sim_port=$(sed -n '1s/.*listening.*:\([0-9]*\)$/\1/p' "$sim_log")
        [ -n "$sim_port" ] && return 0
        sleep 0.1
    done
    return 1
}
stop_sim() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; sim_pid=""; true; }
trap stop_sim EXIT
# What the simulator received, without the sender's port (each run picks its own).
received() { sed -n 's/^RX [^ ]* //p' "$sim_log"; }

version_line=$(wine "$win_cli" --version | tr -d '\r' | sed -n 1p) || echo "    linkvane-cli.exe --version ended with status $?"
check "linkvane-cli.exe --version prints \"$version_line\"" [ "$version_line" = "linkvane-cli $version" ]

start_sim
listing=$(wine "$win_cli" --broadcast 127.255.255.255 --port "$sim_port" --json search | tr -d '\r') ||
    echo "    linkvane-cli.exe search ended with status $?"
count=$(grep -o '"mac"' <<<"$listing" | wc -l)
check "linkvane-cli.exe search lists the simulator's 21 devices (listed $count)" [ "$count" = 21 ]

# set on a single-port device (the first of the simulator's LAN) and on a
# four-port one, once by each build against a fresh simulator: the same bytes.
same_bytes() { # same_bytes DEVICE SETTING...
    local device=$1; shift
    start_sim
    "$linux_cli" --broadcast 127.255.255.255 --port "$sim_port" set "$device" "$@" >/dev/null
    local from_linux
    from_linux=$(received)
    start_sim
    wine "$win_cli" --broadcast 127.255.255.255 --port "$sim_port" set "$device" "$@" >/dev/null
    local from_windows
    from_windows=$(received)
    [ -n "$from_linux" ] && grep -q '^S ' <<<"$from_linux" && [ "$from_linux" = "$from_windows" ] ||
        { diff <(echo "$from_linux") <(echo "$from_windows") | head -20; return 1; }
}
# The simulator's first device is a KR-700 (frmSetup), its 17th a KR-7600 (frm4PortSetup).
check "set on a single-port device: the same datagrams as the Linux CLI" \
    same_bytes 00-50-C2-00-00-01 DeviceID=WINE-1 SIOBaud=115200
check "set on a four-port device: the same datagrams as the Linux CLI" \
    same_bytes 00-50-C2-00-00-11 krDeviceID=WINE-4 COM2_Baud=9600
stop_sim

# --- The installer -------------------------------------------------------------
setup=$root/out/linkvane-$version-win64-setup.exe
installed="$WINEPREFIX/drive_c/Program Files/Linkvane"
if [ -f "$setup" ]; then
    wine "$setup" /S /CLI
    wineserver -w
    check "the installer installs silently into Program Files, the CLI on request" \
        test -f "$installed/linkvane.exe" -a -f "$installed/linkvane-cli.exe" -a -f "$installed/platforms/qwindows.dll" \
        -a ! -e "$installed/linkvane-devsim.exe"
    check "the Start menu has Linkvane" \
        test -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Linkvane/Linkvane.lnk"
    check "Apps and features lists Linkvane $version" \
        bash -c "wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Linkvane' /v DisplayVersion | grep -q '$version'"
    # The installed programs run with only what the installer put beside them.
    installed_version=$(env -u WINEPATH -u WINEQT_PLUGIN_PATH wine "C:\\Program Files\\Linkvane\\linkvane-cli.exe" --version | tr -d '\r' | sed -n 1p)
    check "the installed linkvane-cli.exe runs on its own DLLs" [ "$installed_version" = "linkvane-cli $version" ]
    # The installed window on its own Windows platform under a virtual X
    # display, closed as Windows closes a program (WM_CLOSE): it exits 0.
    gui_exit() {
        local gui rc=1 out=$logs/gui-exit.txt
        # A wineserver left by the checks before (started without a display) is ended first, so that
        # the window's own one starts on the virtual display.
        wineserver -k 2>/dev/null || true
        wineserver -w
        ( start_x 1024x768x24 || exit 1
          env -u WINEPATH -u WINEQT_PLUGIN_PATH -u WINEQT_QPA_PLATFORM -u WINEQT_QPA_FONTDIR \
              wine "C:\\Program Files\\Linkvane\\linkvane.exe" >"$out" 2>&1 &
          gui=$!
          # Ask it to close once a second until it does: a WM_CLOSE posted before its
          # window exists is lost, and a loaded machine may take a while to show it.
          for _ in $(seq 30); do
              sleep 1
              wine taskkill /im linkvane.exe >/dev/null 2>&1 || true
              for _ in 1 2 3 4; do kill -0 "$gui" 2>/dev/null || break 2; sleep 0.5; done
          done
          if kill -0 "$gui" 2>/dev/null; then
              { echo "still running after 90 s; its processes:"; wine tasklist 2>&1; } >>"$out"
              kill "$gui"; status=1
          else
              wait "$gui"; status=$?
              [ "$status" = 0 ] || echo "exit code $status" >>"$out"
          fi
          kill "$XVFB_PID" 2>/dev/null
          exit "$status" ) && rc=0
        [ "$rc" = 0 ] || sed 's/^/    /' "$out" >&2
        return $rc
    }
    check "the installed linkvane.exe starts and exits 0 when closed" gui_exit
    wine "$installed/uninstall.exe" /S
    wineserver -w
    check "the uninstaller removes the programs, the Start-menu entries and the registry entry" \
        bash -c "[ ! -e '$installed' ] && [ ! -e '$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Linkvane' ] &&
                 ! wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Linkvane' >/dev/null 2>&1"
else
    echo "FAIL  no installer at $setup (scripts/windows.sh makes it)"
    failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
say "done in $((SECONDS - started)) s"
[ "$failed" = 0 ]
