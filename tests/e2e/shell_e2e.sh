#!/usr/bin/env bash
# The demo under Xvfb: window and full-screen start, banner, Escape, closing the window, --help.
# usage: shell_e2e.sh PARADE DATA_DIR CLOSE_WINDOW_TOOL
PARADE=$1
PARADE_DATA=$2
CLOSE_WINDOW=$3
source "$(dirname "$0")/lib.sh"
e2e_setup 1024x768x24

banner=$'qvh tarna kerho esitt\x84\x84:\n"Quiet Harbour Parade"'

# A window of 640x480 with the banner; Escape ends the demo at once with status 0.
LC_ALL=C e2e_start window
window=$(e2e_window)
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[[ "$geometry" == "640x480" ]] || e2e_fail "window is $geometry, not 640x480"
sleep 1
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
status=$E2E_STATUS
[[ "$status" == 0 ]] || e2e_fail "Escape ended the demo with status $status"
[[ "$(e2e_stdout | head -c ${#banner})" == "$banner" ]] || e2e_fail "banner missing or wrong"

# The banner speaks UTF-8 on a UTF-8 console.
LC_ALL=C.UTF-8 e2e_start window
window=$(e2e_window)
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
e2e_stdout | grep -q "esittää:" || e2e_fail "no UTF-8 banner on a UTF-8 console"

# No argument: game mode is not available under Xvfb, so a full-screen window instead.
e2e_start
window=$(e2e_window)
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[[ "$geometry" == "1024x768" ]] || e2e_fail "full-screen window is $geometry, not 1024x768"
e2e_stderr | grep -q "full-screen window" || e2e_fail "the fallback was not reported"
sleep 1
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the full-screen demo did not keep running"

# Closing the window from the window manager ends the demo with status 0.
"$CLOSE_WINDOW" "$window"
e2e_wait 10 >/dev/null
status=$E2E_STATUS
[[ "$status" == 0 ]] || e2e_fail "closing the window ended the demo with status $status"

# --help prints the usage and opens nothing.
help=$(DISPLAY= "$PARADE" --help)
grep -q "usage: parade" <<<"$help" || e2e_fail "--help printed no usage"
grep -q "mod2.it" <<<"$help" || e2e_fail "--help does not name the data files"

# No display at all: one clear line and a failure status.
set +e
message=$(cd "$PARADE_DATA" && DISPLAY= "$PARADE" window 2>&1 >/dev/null)
status=$?
set -e
[[ $status -ne 0 && "$message" == *"cannot open the display"* ]] ||
    e2e_fail "without a display: status $status, message '$message'"
echo "shell e2e: all passed"
