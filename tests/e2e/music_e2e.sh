#!/usr/bin/env bash
# The demo's music under Xvfb with no sound card: the music line after the banner, Escape while
# the music plays, and a missing or broken mod2.it ending the demo with an error and status 1;
# then on a private sound server that is killed and started again.
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
# The music line comes before the main loop draws.
e2e_drawn
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
# ---- A sound server that goes away and comes back -------------------------------------------
# On a private PulseAudio server with a silent sink: the music is heard; the server is killed
# mid-show: one line says the output was lost and the show goes on in time; the server starts
# again: the music is heard again, from where the show is, said in one line.
e2e_sound_server
LOG="$E2E_WORK/clock.log"
PARADE_DATA=$DATA
PARADE_CLOCK_LOG=$LOG SDL_AUDIODRIVER=pulseaudio e2e_start window
window=$(e2e_window)
for _ in $(seq 30); do
    e2e_music_heard && break
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended before its music was heard"
done
e2e_music_heard || e2e_fail "no music heard on the sound server"
e2e_stderr | grep -q "plays silently" && e2e_fail "the sound server was not used"
lost_at=$(wc -l <"$LOG")
kill -9 "$E2E_PULSE"
wait "$E2E_PULSE" 2>/dev/null || true
for _ in $(seq 300); do
    e2e_stderr | grep -q "sound output was lost" && break
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended when the sound server went away"
    sleep 0.1
done
e2e_stderr | grep -q "sound output was lost" || e2e_fail "the lost sound output was not said"
# Some frames on the silent output before the server comes back.
for _ in $(seq 300); do
    (($(wc -l <"$LOG") >= lost_at + 30)) && break
    sleep 0.1
done
restart_at=$(wc -l <"$LOG")
e2e_sound_server
restarted=$(date +%s%N)
back=""
for _ in $(seq 30); do
    e2e_music_heard && back=$((($(date +%s%N) - restarted) / 1000000)) && break
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended while the sound server was away"
done
[[ -n "$back" ]] || e2e_fail "the music was not heard again after the sound server came back"
echo "the music was heard again $back ms after the sound server started again (in 1 s recordings)"
for said in "sound output was lost" "sound output is back"; do
    [[ "$(e2e_stderr | grep -c "$said")" == 1 ]] || e2e_fail "'$said' not said once"
done
# The music heard (the log's second field, in patterns) never went back, and while the server
# was away it went on with the steady clock (first field, in seconds); loosely, since on a busy
# machine the music may run dry for moments, and the pictures wait for it then.
awk -v from="$lost_at" -v to="$restart_at" '
    NR > 1 && $2 < heard { print "line " NR ": the music heard went back from " heard " to " $2; bad = 1 }
    { heard = $2 }
    NR == from { s0 = $1; h0 = $2 }
    NR == to { s1 = $1; h1 = $2 }
    END {
        rate = (h1 - h0) * 7.68 / (s1 - s0)
        printf "while the server was away, the music went on at %.3f of real time\n", rate
        if (rate < 0.5 || rate > 1.01) bad = 1
        exit bad
    }' "$LOG" >"$E2E_WORK/verdict" || e2e_fail "$(cat "$E2E_WORK/verdict")"
cat "$E2E_WORK/verdict"
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape after the sound came back ended the demo with status $E2E_STATUS"
echo "music e2e: all passed"
