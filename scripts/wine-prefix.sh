# SPDX-License-Identifier: Apache-2.0
# Sourced by the Wine scripts: make_wine_prefix DIR makes a Wine prefix there
# once, as a fresh Windows would be for Linkvane, and exports WINEPREFIX;
# start_x starts a virtual X display and waits until it takes clients.
# Debian's Wine keeps its own fonts (Tahoma, the UI font it maps "MS Shell Dlg"
# to) outside the prefix where it does not find them, so they are copied in;
# without them every window falls back to whatever face sorts first.
# start_x SCREEN: starts a virtual X server on a display it picks itself and
# waits, up to 20 s, until it takes clients (Xvfb writes the display's number
# to -displayfd only then); sets DISPLAY and XVFB_PID. A socket on disk is not
# that sign: it may be left from another server, or made before it listens.
start_x() {
    local ready
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 400); do
        if grep -q '^[0-9]' "$ready"; then
            export DISPLAY=:$(head -1 "$ready")
            rm -f "$ready"
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$ready"
    echo "no X server came up" >&2
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
