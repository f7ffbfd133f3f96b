#!/usr/bin/env bash
# The demo's music under Xvfb with no sound card: the music line after the banner, Escape while
# the music plays, and a missing or broken mod2.it ending the demo with an error and status 1.
# usage: music_e2e.sh PARADE DATA_DIR
PARADE=$1
DATA=$2
source "$(dirname "$0")/lib.sh"
e2e_setup 1024x768x24
[[ -f "$DATA/mod2.it" ]] || e2e_fail "no $DATA/mod2.it: make the default data first"

banner=$'qvh tarna kerho esitt\x84\x84:\n"Quiet Harbour Parade"'

# The music line follows the banner on its line; the silent output says it took the device's place.
PARADE_DATA=$DATA
LC_ALL=C e2e_start window
window=$(e2e_window)
sleep 1.5
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended while the music played"
[[ "$(e2e_stdout)" =~ ^"$banner"'playing MOD music "'[^\"]*'" ['[0-9]+' orders]'$ ]] ||
    e2e_fail "no music line right after the banner"
e2e_stderr | grep -q "plays silently in real time" || e2e_fail "the silent output was not reported"

# Escape while the music plays: the demo ends at once with status 0. (e2e_wait runs in this
# shell, not in a command substitution, so that `wait` sees the demo as its own child.)
start=$(date +%s%N)
e2e_key "$window" Escape
e2e_wait 5 >"$E2E_WORK/status"
status=$(cat "$E2E_WORK/status")
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
[[ "$status" == 0 ]] || e2e_fail "Escape ended the demo with status $status"
# Printed, not asserted: on a loaded machine the key's way through X takes its time.
echo "Escape ended the demo in $elapsed_ms ms"

# A data folder without mod2.it, then one whose mod2.it is no module: "Error(N): Can't play the
# file" and status 1.
for broken in missing text; do
    PARADE_DATA="$E2E_WORK/$broken"
    mkdir -p "$PARADE_DATA"
    ln -s "$DATA/deita" "$PARADE_DATA/deita"
    [[ "$broken" == text ]] && echo "these words are not a tracker module" >"$PARADE_DATA/mod2.it"
    LC_ALL=C e2e_start window
    e2e_wait 30 >"$E2E_WORK/status"
    status=$(cat "$E2E_WORK/status")
    [[ "$status" == 1 ]] || e2e_fail "$broken mod2.it: status $status, not 1"
    e2e_stdout | grep -Eq '^"Quiet Harbour Parade"Error\([0-9]+\): Can'"'"'t play the file$' ||
        e2e_fail "$broken mod2.it: no error line after the banner"
    e2e_stdout | grep -q "playing MOD music" && e2e_fail "$broken mod2.it: a music line was printed"
done
echo "music e2e: all passed"
