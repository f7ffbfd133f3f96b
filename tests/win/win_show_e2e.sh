#!/usr/bin/env bash
# parade.exe under Wine on Xvfb, in a window: with no sound device it says so and plays on the
# silent output; the keys reach it (Right jumps a pattern, Escape ends it with status 0); its
# frame at a moment read from the clock log matches parade-capture's frame of that moment; a
# jump past the end ends the show with status 0.
# Prints the show's pace against real time and the frames' rate under Wine.
# usage: win_show_e2e.sh PARADE_EXE WINE_PREFIX DATA_DIR CAPTURE SNAPSHOT
PARADE_EXE=$1
WINE_PREFIX=$2
PARADE_DATA=$3
CAPTURE=$4
SNAPSHOT=$5
source "$(dirname "$0")/lib.sh"
win_setup
LOG="$E2E_WORK/clock.log"
export PARADE_CLOCK_LOG=$LOG

# The show under Wine draws a few frames a second on a busy machine.
E2E_DRAW_PATIENCE=120

e2e_start window
window=$(e2e_window)
e2e_drawn 30
win_text "$E2E_WORK/stderr" | grep -q '^no sound device (.*): the music plays silently in real time$' ||
    e2e_fail "no line about the silent output"

# The pace: demo time (patterns of 7.68 s) against the steady clock, over the frames so far.
from=$(e2e_log_lines)
e2e_drawn 60
awk -v from="$from" 'NR == from { t = $1; d = $3 } END {
    printf "under Wine: the show ran %.3f s in %.3f s of real time (%.3fx), %.1f frames a second\n",
        ($3 - d) * 7.68, $1 - t, ($3 - d) * 7.68 / ($1 - t), (NR - from) / ($1 - t) }' "$LOG"

# Right three times: three patterns on. Wine hands the keys on in its own time, so the jumps
# are counted frame by frame from the log (a frame's step in demo time, rounded, is the jumps
# it made: the show itself moves a small part of a pattern between two frames) until they add
# up to three, and a few frames after that none more came.
jumps_since() {
    awk -v from="$1" 'NR >= from { if (NR > from) made += int($3 - p + 0.5); p = $3 }
        END { print made + 0 }' "$LOG"
}
from=$(e2e_log_lines)
win_key "$window" Right Right Right
for _ in $(seq 300); do
    (($(jumps_since "$from") >= 3)) && break
    e2e_drawn 1
done
e2e_drawn 5
made=$(jumps_since "$from")
echo "Right Right Right: $made patterns of jumps"
[[ "$made" == 3 ]] || e2e_fail "Right Right Right made $made patterns of jumps, not three"

# A moment of the show: the process stopped (SIGSTOP), the screen holds the frame of one of
# the last demo times logged (the last may not be on the screen yet), and parade-capture's
# frame of that time is the same picture. The closest of the last three is compared.
e2e_drawn 3
kill -STOP "$E2E_PID"
"$SNAPSHOT" grab "$window" "$E2E_WORK/live" || { kill -CONT "$E2E_PID"; e2e_fail "no screenshot"; }
mapfile -t moments < <(tail -n 3 "$LOG" | awk '{print $3}')
kill -CONT "$E2E_PID"
best=""
for moment in "${moments[@]}"; do
    (cd "$PARADE_DATA" && "$CAPTURE" frame "$moment" "$E2E_WORK/captured.png") >/dev/null 2>&1 ||
        e2e_fail "parade-capture frame $moment failed"
    {
        echo "640 480"
        ffmpeg -v error -i "$E2E_WORK/captured.png" -f rawvideo -pix_fmt rgb24 -
    } >"$E2E_WORK/captured" || e2e_fail "cannot read the captured frame"
    rms=$("$SNAPSHOT" rms "$E2E_WORK/live" "$E2E_WORK/captured") ||
        e2e_fail "the frames differ in size"
    rms=${rms#rms=}
    echo "demo time $moment: $rms RMS (of 255) against parade-capture"
    if [[ -z "$best" ]] || awk -v r="$rms" -v b="$best" 'BEGIN { exit !(r < b) }'; then
        best=$rms
        bestMoment=$moment
        cp "$E2E_WORK/captured" "$E2E_WORK/closest"
    fi
done
# WIN_KEEP=DIR keeps the screen's frame and the closest capture there, to look at.
if [[ -n "${WIN_KEEP:-}" ]]; then
    mkdir -p "$WIN_KEEP"
    cp "$E2E_WORK/live" "$E2E_WORK/closest" "$WIN_KEEP/"
fi
read -r _ lit < <("$SNAPSHOT" diff "$E2E_WORK/live" "$E2E_WORK/closest" | tr -c '0-9.\n' ' ')
echo "frame under Wine at demo time $bestMoment against parade-capture: $best RMS, lit $lit"
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.01) }' || e2e_fail "the frame is blank (lit $lit)"
awk -v r="$best" 'BEGIN { exit !(r < 0.03) }' || e2e_fail "the frames differ: $best RMS"

win_key "$window" Escape
e2e_wait 30 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape ended the demo with status $E2E_STATUS"

# Past the end: the show ends by itself, status 0.
rm -f "$LOG"
e2e_start window
window=$(e2e_window)
e2e_drawn 3
win_key "$window" $(printf 'Right %.0s' $(seq 27))
e2e_wait 120 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "the show ended with status $E2E_STATUS after the last jump"
echo "win show e2e: all passed"
