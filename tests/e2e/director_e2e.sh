#!/usr/bin/env bash
# The whole show under Xvfb: at the highest speed it runs to its end and the process ends by
# itself with status 0; a digit key during the show changes nothing on screen.
# usage: director_e2e.sh PARADE MODULE_TOOL SNAPSHOT_TOOL
PARADE=$1
MODULE_TOOL=$2
SNAPSHOT=$3
source "$(dirname "$0")/lib.sh"
e2e_setup 1024x768x24

# Our own small data folder: a soundtrack that strikes every watched instrument; the pictures
# are left out (each is reported and start-up goes on).
PARADE_DATA="$E2E_WORK/data"
mkdir -p "$PARADE_DATA/deita"
"$MODULE_TOOL" "$PARADE_DATA/mod2.it" || e2e_fail "cannot write the fixture module"

# Presses KEY in batches until COUNT presses are sent or the demo has ended.
press_repeatedly() {
    local window=$1 key=$2 count=$3
    local batch
    batch=$(printf "$key %.0s" $(seq 20))
    for ((sent = 0; sent < count; sent += 20)); do
        kill -0 "$E2E_PID" 2>/dev/null || return 0
        # shellcheck disable=SC2086
        e2e_key "$window" $batch 2>/dev/null || true
    done
}

# q raises the speed exponent by 0.025 up to 7 (280 presses): the clock then runs about 1100
# times as fast and the show's 26 patterns pass within seconds.
e2e_start window
window=$(e2e_window)
press_repeatedly "$window" q 300
e2e_wait 15 >/dev/null
status=$E2E_STATUS
[[ "$status" == 0 ]] || e2e_fail "the show ended with status $status"
e2e_stdout | grep -q "playing MOD music" || e2e_fail "the music did not start"

# a lowers the speed exponent to -7: the clock then nearly stands still, so two screenshots a
# moment apart show the same frame. A digit key asks for another act; the next frame's
# schedule takes it back before the act is drawn.
e2e_start window
window=$(e2e_window)
press_repeatedly "$window" a 300
# Frames drawn after the last press: the clock's slowest speed is in effect.
e2e_drawn
snap() { "$SNAPSHOT" grab "$window" "$E2E_WORK/$1" || e2e_fail "no screenshot $1"; }
snap before
e2e_drawn
snap still
for digit in 3 8; do
    e2e_key "$window" "$digit"
    e2e_drawn
    snap "after$digit"
done
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended during the key presses"

read -r noise lit < <("$SNAPSHOT" diff "$E2E_WORK/before" "$E2E_WORK/still" | tr -c '0-9.\n' ' ')
echo "still frame: changed $noise, lit $lit"
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.01) }' || e2e_fail "the frame is blank (lit $lit)"
for digit in 3 8; do
    read -r changed _ < <("$SNAPSHOT" diff "$E2E_WORK/before" "$E2E_WORK/after$digit" |
        tr -c '0-9.\n' ' ')
    echo "after key $digit: changed $changed"
    awk -v c="$changed" -v n="$noise" 'BEGIN { exit !(c <= n + 0.005) }' ||
        e2e_fail "key $digit changed $changed of the screen (still frame: $noise)"
done
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
echo "director e2e: all passed"
