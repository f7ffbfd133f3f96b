#!/usr/bin/env bash
# The pictures stay with the music, on the silent output under Xvfb, read from the demo's clock
# log (PARADE_CLOCK_LOG): a 3 s SIGSTOP leaves the demo time on the heard music from the first
# frame after it; the arrow keys and Home jump the pictures and the music together; with the
# loop the show goes on past its end and stays on the music; without, a jump past the end ends
# it with status 0.
# usage: jumps_e2e.sh PARADE DATA_DIR
PARADE=$1
PARADE_DATA=$2
source "$(dirname "$0")/lib.sh"
e2e_setup 1024x768x24
LOG="$E2E_WORK/clock.log"
export PARADE_CLOCK_LOG=$LOG

# One frame at 60 Hz, in patterns.
FRAME=$(awk 'BEGIN { printf "%.9f", 1 / 60 / 7.68 }')

# last_time: the demo time of the last frame logged.
last_time() { tail -1 "$LOG" | awk '{print $3}'; }

# off_music FROM [MODULO]: frames from line FROM on whose demo time lies more than a frame
# outside the music heard just before and just after it was read (with MODULO, compared round
# a show of that many patterns), printed as "line: heard demo heard".
off_music() {
    awk -v from="$1" -v frame="$FRAME" -v mod="${2:-0}" '
        NR >= from && $2 >= 0 {
            d = $3
            if (mod > 0 && d >= mod) d -= mod
            if (d < $2 - frame || d > $4 + frame) print NR ": " $2, $3, $4
        }' "$LOG"
}

# ---- A stopped process ------------------------------------------------------------------------
e2e_start window
window=$(e2e_window)
e2e_drawn 5
kill -STOP "$E2E_PID"
sleep 3
kill -CONT "$E2E_PID"
e2e_drawn 5
# The frame after the stop: the 3 s in which nothing was heard did not count.
read -r gap before after <<<"$(awk 'NR > 1 && $1 - t > g { g = $1 - t; b = d; a = $3 }
    { t = $1; d = $3 } END { printf "%.3f %.6f %.6f", g, b, a }' "$LOG")"
awk -v g="$gap" 'BEGIN { exit !(g >= 2.9) }' || e2e_fail "no 3 s gap between frames (largest $gap s)"
off=$(off_music 1)
[[ -z "$off" ]] || e2e_fail "demo time off the heard music by more than a frame:"$'\n'"$off"
stop_line=$(awk 'NR > 1 && $1 - t >= 2.9 { print NR; exit } { t = $1 }' "$LOG")
echo "after a 3 s stop: demo time $before before, $after after; the frame after it is" \
    "$(sed -n "${stop_line}p" "$LOG" | awk '{ printf "%.3f ms", ($3 - ($2 + $4) / 2) * 7680 }')" \
    "from the music heard"

# ---- Jumps ------------------------------------------------------------------------------------
# Right twice, Left once: a pattern on; Home: back to the start. Each lands on the music.
t0=$(last_time)
e2e_key "$window" Right Right Left
e2e_drawn 5
t1=$(last_time)
awk -v a="$t0" -v b="$t1" 'BEGIN { exit !(b - a > 0.9 && b - a < 1.5) }' ||
    e2e_fail "Right Right Left took the demo time from $t0 to $t1, not a pattern on"
e2e_key "$window" Home
e2e_drawn 5
t2=$(last_time)
awk -v b="$t2" 'BEGIN { exit !(b < 0.4) }' || e2e_fail "Home left the demo time at $t2"
off=$(off_music 1)
[[ -z "$off" ]] || e2e_fail "after the jumps, demo time off the heard music:"$'\n'"$off"
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape ended the demo with status $E2E_STATUS"

# ---- The loop -------------------------------------------------------------------------------
# 25 patterns on, then past the end: the show goes on from its start, on the music.
rm -f "$LOG"
e2e_start window --loop
window=$(e2e_window)
e2e_drawn 3
e2e_key "$window" $(printf 'Right %.0s' $(seq 25))
for _ in $(seq 300); do
    awk -v frame="$FRAME" 'NR > 1 && $3 < p - 20 { found = 1 } { p = $3 } END { exit !found }' \
        "$LOG" && break
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the looping show ended at $(last_time)"
    sleep 0.1
done
e2e_drawn 5
awk 'NR > 1 && $3 < p - 20 { found = 1 } { p = $3 } END { exit !found }' "$LOG" ||
    e2e_fail "the show never went round (last demo time $(last_time))"
off=$(off_music 1 26)
[[ -z "$off" ]] || e2e_fail "the looping show left the heard music:"$'\n'"$off"
e2e_key "$window" Escape
e2e_wait 5 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape ended the looping show with status $E2E_STATUS"

# ---- Keys faster than jumps are drawn ---------------------------------------------------------
# Right pressed 20 times at 100 Hz (a held key repeats at 25 Hz), faster than a jump's frame
# is drawn: the presses add up into the frames' jumps, none lost or made twice. Each frame's
# step in demo time, rounded, is the presses it made: the show itself moves a small part of a
# pattern between two frames.
e2e_start window
window=$(e2e_window)
e2e_drawn 3
from=$(e2e_log_lines)
E2E_KEY_DELAY=10 e2e_key "$window" $(printf 'Right %.0s' $(seq 20))
e2e_drawn 3
read -r made frames <<<"$(awk -v from="$from" 'NR >= from {
        if (NR > from) { step = int($3 - p + 0.5); made += step; frames += step > 0 }
        p = $3 } END { print made, frames }' "$LOG")"
[[ "$made" == 20 ]] || e2e_fail "20 presses of Right made $made patterns of jumps"
echo "20 presses of Right at 100 Hz: jumps in $frames frames"
e2e_key "$window" Escape
e2e_wait 5 >/dev/null

# Escape right after 500 presses at 250 Hz ends the show at once, not after the jumps of every
# press. (The loop keeps the show from ending; a jump to every pattern first has the music
# rendered to its end, which a jump's frame may otherwise wait for.)
e2e_start window --loop
window=$(e2e_window)
e2e_drawn 3
e2e_key "$window" $(printf 'Right %.0s' $(seq 25))
e2e_drawn 3
during=$(e2e_log_lines)
E2E_KEY_DELAY=4 e2e_key "$window" $(printf 'Right %.0s' $(seq 500))
during=$(($(e2e_log_lines) - during))
e2e_key "$window" Escape
e2e_wait 10 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape after 500 presses ended the demo with status $E2E_STATUS"
echo "500 presses of Right at 250 Hz: $during frames shown meanwhile"

# Without the loop, jumping past the end ends the show as its end does.
e2e_start window
window=$(e2e_window)
e2e_drawn 3
e2e_key "$window" $(printf 'Right %.0s' $(seq 27))
e2e_wait 60 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "the show ended with status $E2E_STATUS after the last jump"
echo "jumps e2e: all passed"
