#!/usr/bin/env bash
# The demo under Xvfb: window and full-screen start, banner, Escape, the picture's band on a
# wide screen and in a resized window, GLUT's -display, closing, destroying and killing the
# window, --help.
# usage: shell_e2e.sh PARADE DATA_DIR WINDOW_TOOL
PARADE=$1
PARADE_DATA=$2
WINDOW_TOOL=$3
source "$(dirname "$0")/lib.sh"
e2e_setup 1920x1080x24

banner=$'qvh tarna kerho esitt\x84\x84:\n"Quiet Harbour Parade"'

# band_shown WINDOW TOP HEIGHT: waits (up to 20 s) until the lit pixels of the window, taken
# together over several screenshots, fill rows TOP to TOP+HEIGHT-1 and the columns (but for
# the edge columns that the picture itself may leave dark), and fails as soon as anything
# outside these rows is lit. Prints the box found.
band_shown() {
    local window=$1 top=$2 height=$3
    local width=0 box left=99999 upper=99999 right=-1 lower=-1 x y w h
    for _ in $(seq 60); do
        box=$("$WINDOW_TOOL" box "$window") || e2e_fail "cannot read the window"
        read -r width _ x y w h <<<"$box"
        if ((w > 0)); then
            ((x < left)) && left=$x
            ((y < upper)) && upper=$y
            ((x + w - 1 > right)) && right=$((x + w - 1))
            ((y + h - 1 > lower)) && lower=$((y + h - 1))
        fi
        ((upper >= top && lower <= top + height - 1)) || ((right < 0)) ||
            e2e_fail "lit rows $upper to $lower, outside the band's $top to $((top + height - 1))"
        if ((left <= 1 && right >= width - 3 && upper == top && lower == top + height - 1)); then
            echo "$left $upper $((right - left + 1)) $((lower - upper + 1))"
            return 0
        fi
        sleep 0.3
    done
    e2e_fail "the band was never filled: lit columns $left to $right, rows $upper to $lower"
}

# A window of 640x480 with the banner; Escape ends the demo at once with status 0.
LC_ALL=C e2e_start window
window=$(e2e_window)
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[[ "$geometry" == "640x480" ]] || e2e_fail "window is $geometry, not 640x480"
band_shown "$window" 90 270 >/dev/null

# Resized by the viewer to 1280x720, the picture keeps its shape: 1280x540 with 103 rows below.
xdotool windowsize "$window" 1280 720
band_shown "$window" 77 540 >/dev/null
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape ended the demo with status $E2E_STATUS"
[[ "$(e2e_stdout | head -c ${#banner})" == "$banner" ]] || e2e_fail "banner missing or wrong"

# The banner speaks UTF-8 on a UTF-8 console.
LC_ALL=C.UTF-8 e2e_start window
window=$(e2e_window)
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
e2e_stdout | grep -q "esittää:" || e2e_fail "no UTF-8 banner on a UTF-8 console"

# No argument: game mode is not available under Xvfb, so a full-screen window instead, where
# the band is 1920x810 with 116 rows above and 154 below (90 : 120).
e2e_start
window=$(e2e_window)
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[[ "$geometry" == "1920x1080" ]] || e2e_fail "full-screen window is $geometry, not 1920x1080"
e2e_stderr | grep -q "full-screen window" || e2e_fail "the fallback was not reported"
read -r _ _ w h <<<"$(band_shown "$window" 116 810)"
# 640:270 within 1 %.
((w * 270 * 100 >= h * 640 * 99 && w * 270 * 100 <= h * 640 * 101)) ||
    e2e_fail "the full-screen band is ${w}x$h, not of 640:270 shape"

# Closing the window from the window manager ends the demo with status 0.
"$WINDOW_TOOL" close "$window"
e2e_wait 30 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "closing the window ended the demo with status $E2E_STATUS"

# GLUT's -display names the display; DISPLAY is not needed.
(cd "$PARADE_DATA" && exec env -u DISPLAY "$PARADE" window -display "$DISPLAY") \
    >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" &
E2E_PID=$!
window=$(e2e_window)
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "with -display the demo ended with status $E2E_STATUS"

# Another client destroys the window while the show runs: the demo ends as when it is closed.
e2e_start window
window=$(e2e_window)
e2e_drawn
"$WINDOW_TOOL" destroy "$window"
e2e_wait 30 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "destroying the window ended the demo with status $E2E_STATUS"

# The X connection is lost at any moment: killed as soon as the window appears (start-up goes
# on meanwhile: the pictures, the menu's own GL context), killed once the show runs, or the
# server ends right after the toolkit opened it (a server of its own). Each time the music
# stops, one line says so, status 1, and nothing else speaks: not the toolkit, the GL library,
# Xlib or the runtime.
for moment in window running server; do
    if [[ $moment == server ]]; then
        e2e_xvfb 640x480x24
        server=$XVFB_PID
        DISPLAY=$XVFB_DISPLAY e2e_start window
        # The banner comes once the toolkit holds its connection.
        for _ in $(seq 600); do
            [[ -s "$E2E_WORK/stdout" ]] && break
            sleep 0.05
        done
        kill -9 "$server"
        wait "$server" 2>/dev/null || true
    else
        e2e_start window
        window=$(e2e_window)
        [[ $moment == running ]] && e2e_drawn
        xdotool windowkill "$window"
    fi
    e2e_wait 30 >/dev/null
    said=$(e2e_stderr | grep -v "plays silently" || true)
    [[ "$E2E_STATUS" == 1 && "$said" == "parade: the connection to the X display was lost" ]] ||
        e2e_fail "the connection lost ($moment) ended the demo with status $E2E_STATUS, saying:"$'\n'"$said"
done

# A window larger than the renderer draws (past X's own limit, too), asked for by -geometry or
# by a later resize, is capped, with one line naming the sizes, and the show runs on: no crash
# in the driver, no raw X error.
for row in "geometry 32767x32767" "geometry 65536x100" "resize 32767x32767" "resize 30000x300"; do
    read -r how size <<<"$row"
    if [[ $how == geometry ]]; then
        e2e_start window -geometry "$size"
    else
        e2e_start window
    fi
    window=$(e2e_window)
    if [[ $how == resize ]]; then
        e2e_drawn
        xdotool windowsize "$window" "${size%x*}" "${size#*x}"
    fi
    for _ in $(seq 600); do
        e2e_stderr | grep -q "^parade: the renderer draws at most" && break
        kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$row ended the demo"
        sleep 0.1
    done
    line=$(e2e_stderr | grep "^parade: the renderer draws at most" || true)
    read -r mostW mostH openW openH < <(sed -n \
        's/^parade: the renderer draws at most \([0-9]*\)x\([0-9]*\) pixels; \(opening a\|the window is kept at\) \([0-9]*\)x\([0-9]*\) .*/\1 \2 \4 \5/p' \
        <<<"$line")
    givenW=${size%x*} givenH=${size#*x}
    ((givenW > 65535)) && givenW=65535
    [[ -n "${openH:-}" && "$line" != *$'\n'* ]] || e2e_fail "$row: no one line about the cap"
    ((openW == (givenW < mostW ? givenW : mostW) && openH == (givenH < mostH ? givenH : mostH))) ||
        e2e_fail "$row: '$line'"
    # The window takes the size kept once the server has the request.
    for _ in $(seq 600); do
        geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
        [[ "$geometry" == "${openW}x$openH" ]] && break
        sleep 0.1
    done
    [[ "$geometry" == "${openW}x$openH" ]] || e2e_fail "$row gave a $geometry window"
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$row ended the demo"
    e2e_stderr | grep -q "X Error" && e2e_fail "$row printed an X error"
    grep VmHWM "/proc/$E2E_PID/status"
    # A frame of that size takes the software renderer seconds: no waiting for Escape here.
    kill "$E2E_PID"
    wait "$E2E_PID" 2>/dev/null || true
done

# --help prints the usage and opens nothing.
help=$(env -u DISPLAY "$PARADE" --help)
grep -q "usage: parade" <<<"$help" || e2e_fail "--help printed no usage"
grep -q "mod2.it" <<<"$help" || e2e_fail "--help does not name the data files"
grep -q "PARADE_VSYNC=0" <<<"$help" || e2e_fail "--help does not name PARADE_VSYNC"

# No display at all, or a -display without a name: one clear line and a failure status.
for arguments in "window" "window -display"; do
    set +e
    # shellcheck disable=SC2086
    message=$(cd "$PARADE_DATA" && env -u DISPLAY "$PARADE" $arguments 2>&1 >/dev/null)
    status=$?
    set -e
    [[ $status -ne 0 && "$message" == parade:* && "$message" != *$'\n'* ]] ||
        e2e_fail "parade $arguments without a display: status $status, message '$message'"
done
echo "shell e2e: all passed"
