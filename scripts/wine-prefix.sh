# SPDX-License-Identifier: Apache-2.0
# Sourced by the Wine scripts: make_wine_prefix DIR makes a Wine prefix there
# once, as a fresh Windows would be for Linkvane, and exports WINEPREFIX;
# await_x waits for a virtual X display just started.
# Debian's Wine keeps its own fonts (Tahoma, the UI font it maps "MS Shell Dlg"
# to) outside the prefix where it does not find them, so they are copied in;
# without them every window falls back to whatever face sorts first.
# await_x DISPLAY PID: waits up to 10 s for the X server PID to take clients on DISPLAY (its socket).
await_x() {
    for _ in $(seq 200); do
        [ -S "/tmp/.X11-unix/X${1#:}" ] && return 0
        kill -0 "$2" 2>/dev/null || break
        sleep 0.05
    done
    echo "no X server on $1" >&2
    return 1
}
make_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # ClearType, as Windows has it from the start: Wine's prefix has standard
    # smoothing, which draws its Tahoma at small sizes as one-bit glyphs that
    # lose strokes ("5" as a "3", "D" as a reversed "C").
    wine reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 2 /f >/dev/null 2>&1 || true
}
