# Helpers for the Windows build's tests: the end-to-end helpers (tests/e2e/lib.sh) with the
# demo being parade.exe under Wine, in the prefix that win_prefix made. Source it with
#   PARADE_EXE   parade.exe (absolute path)
#   WINE_PREFIX  the Wine prefix
# then call win_setup. Wine's server is ended however the test ends.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "$WINE_PREFIX"
# No sound output for Wine at all, so the program meets what a machine without a sound device
# offers, on any machine the tests run on.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv="
export PARADE_EXE
PARADE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run"

win_cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    e2e_cleanup
}

# win_setup: checks that the program and the prefix are there, starts Xvfb (640x480 windows on
# a 1024x768 screen) and makes the work folder.
win_setup() {
    [[ -f "$PARADE_EXE" ]] || e2e_fail "no $PARADE_EXE: build it first with scripts/win-build"
    [[ -f "$WINE_PREFIX/parade-prefix-made" ]] || e2e_fail "no Wine prefix $WINE_PREFIX"
    e2e_setup 1024x768x24
    trap win_cleanup EXIT
    # Wine's server keeps its socket in TMPDIR: inside the work folder, gone with it.
    export TMPDIR=$E2E_WORK/wine-tmp
    mkdir -p "$TMPDIR"
    # SDL inside the program takes its own drivers, as on Windows.
    unset SDL_AUDIODRIVER
}

# win_key WINDOW KEY...: clicks into the window, which makes Wine take it as the active one
# (without a window manager, the X input focus alone does not), then presses the keys.
win_key() {
    local window=$1
    shift
    xdotool mousemove --window "$window" 320 240 click 1
    e2e_key "$window" "$@"
}

# win_text FILE: the file with Windows' line ends made Unix ones.
win_text() { tr -d '\r' <"$1"; }
