#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Looks at the Windows build as a Windows user would: installs it with its
# installer under Wine on a virtual X display, starts the installed Linkvane on
# the simulated devices of the Linux build, searches, opens a single-port and a
# four-port setup window, the MAC service's two dialogs and the preview of a
# change of every device, and saves what is on the screen at each step in
# docs/screenshots/windows-*.png. Run it after scripts/windows.sh.
#
# LINKVANE_LINUX_BUILD  a Linux build with linkvane-devsim (default build/wine-linux)
# LINKVANE_WINE_DPI     Wine's DPI: 96 (100 %, the default) or 144 (150 %), ...;
#                       at any other than 96 the shots go to build/wine-shots-DPI/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(Linkvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=$root/out/linkvane-$version-win64-setup.exe
devsim=$(find "${LINKVANE_LINUX_BUILD:-$root/build/wine-linux}/src/devsim" -maxdepth 1 -name linkvane-devsim -type f -print -quit)
dpi=${LINKVANE_WINE_DPI:-96}
shots=$root/docs/screenshots
[ "$dpi" = 96 ] || { shots=$root/build/wine-shots-$dpi; mkdir -p "$shots"; }
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "windows-screenshots.sh: needs $tool (xvfb, xdotool, imagemagick)" >&2; exit 1; }
done

source scripts/wine-prefix.sh
rm -rf "$root/build/wine-shots"
sim=""
XVFB_PID=""
cleanup() { [ -n "$sim" ] && kill "$sim" 2>/dev/null; wineserver -k 2>/dev/null || true; [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true; }
trap cleanup EXIT
start_x 1024x768x24
make_wine_prefix "$root/build/wine-shots"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
wineserver -w

window_named() { # window_named TITLE: waits for a window with that exact title; prints its id
    for _ in $(seq 60); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 && return 0
        sleep 0.5
    done
    echo "windows-screenshots.sh: no window \"$1\"" >&2
    return 1
}
shoot() { # shoot WINDOW-ID NAME: the screen where the window is (Wine may not have drawn into the window itself yet)
    sleep 2
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^X=/x=/p; s/^Y=/y=/p; s/^WIDTH=/w=/p; s/^HEIGHT=/h=/p')"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/windows-$2.png"
    echo "${shots#$root/}/windows-$2.png"
}

# The installer's first page, as a person starting it sees it.
wine "$setup" &
page=$(window_named "Linkvane $version Setup")
shoot "$page" installer
# Next: the page of the parts to install.
xdotool mousemove --window "$page" 5 5 click 1
sleep 0.3
xdotool key Return
shoot "$page" installer-components
wineserver -k || true
sleep 1
wine "$setup" /S /CLI /DEVSIM
wineserver -w

"$devsim" --port 0 >"$root/build/wine-shots.sim" 2>&1 &
sim=$!
port=""
for _ in $(seq 200); do # at most 10 s for the simulator to say where it listens
    port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$root/build/wine-shots.sim")
    [ -n "$port" ] && break
    kill -0 "$sim" 2>/dev/null || break
    sleep 0.05
done
[ -n "$port" ] || { echo "windows-screenshots.sh: the simulator did not start: $(cat "$root/build/wine-shots.sim")" >&2; exit 1; }
wine "C:\\Program Files\\Linkvane\\linkvane.exe" --broadcast 127.255.255.255 --port "$port" &
main=$(window_named Linkvane)
xdotool windowactivate --sync "$main" 2>/dev/null || true
# Search Device (Alt+S would do too once it has a mnemonic): the button has the first focus.
xdotool key --window "$main" space
sleep 3
shoot "$main" main-window

# The list's first and last devices, opened from the keyboard (Home or End,
# then Enter, as a double-click would): a KR-700 and a four-port KR-7600A.
open_line() { # open_line KEY NAME: opens the line KEY selects and saves the window that opens
    local before after window
    before=$(xdotool search --onlyvisible --name '.' 2>/dev/null | sort)
    xdotool mousemove --window "$main" 200 120 click 1
    sleep 0.3
    xdotool key "$1" Return
    for _ in $(seq 20); do
        sleep 0.5
        after=$(xdotool search --onlyvisible --name '.' 2>/dev/null | sort)
        window=$(comm -13 <(echo "$before") <(echo "$after") | tail -1)
        [ -n "$window" ] && break
    done
    [ -n "$window" ] || { echo "windows-screenshots.sh: $1 opened no window" >&2; return 1; }
    shoot "$window" "$2"
    # Escape is Cancel once the window has the focus (without a window manager, a click gives it).
    xdotool mousemove --window "$window" 5 5 click 1
    sleep 0.3
    xdotool key Escape
    sleep 1
}
open_line Home setup-single-port
open_line End setup-four-port

# The MAC service on the first device: Ctrl+Shift+M asks for the access code, then frmSetMAC opens.
service_window() { # service_window TITLE NAME TEXT: types TEXT into the window TITLE and saves it
    local window
    window=$(window_named "$1")
    xdotool mousemove --window "$window" 5 5 click 1
    sleep 0.3
    xdotool type --delay 50 "$3"
    shoot "$window" "$2"
}
xdotool mousemove --window "$main" 200 120 click 1
sleep 0.3
xdotool key Home ctrl+shift+m
service_window "MAC Password" mac-password Quartzmoon
xdotool type TEST
xdotool key Return
service_window "Set MAC Address" set-mac 0.80.194.1.2.4
xdotool key Escape

# Every device at once: Ctrl+A in the list, Devices → Number Devices… (its two templates filled in),
# then Preview: loaded -> new per field.
xdotool mousemove --window "$main" 200 120 click 1
sleep 0.3
xdotool key ctrl+a alt+d n
bulk=$(window_named "Number Devices")
xdotool mousemove --window "$bulk" 5 5 click 1
sleep 0.3
xdotool key alt+p
shoot "$bulk" bulk-preview
xdotool key Escape
