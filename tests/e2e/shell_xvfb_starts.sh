#!/usr/bin/env bash
# Quick starts under plain xvfb-run, whose server resets when its last client leaves: every
# start must reach its window and end with status 0 on Escape.
# usage: shell_xvfb_starts.sh PARADE DATA_DIR [COUNT]
#        shell_xvfb_starts.sh --one PARADE DATA_DIR OUT   (one start, run inside xvfb-run)
set -euo pipefail

if [[ "$1" == "--one" ]]; then
    PARADE=$2
    DATA=$3
    OUT=$4
    cd "$DATA"
    "$PARADE" window >"$OUT.stdout" 2>"$OUT.stderr" &
    pid=$!
    # No X client of ours may connect before the demo holds its connection (its banner comes
    # after glutInit): our own connection closing could reset the server under it.
    for _ in $(seq 200); do
        [[ -s "$OUT.stdout" ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if [[ -s "$OUT.stdout" ]]; then
        window=""
        for _ in $(seq 200); do
            window=$(xdotool search --onlyvisible --name parade 2>/dev/null | head -1 || true)
            [[ -n "$window" ]] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if [[ -n "$window" ]]; then
            xdotool windowfocus "$window" 2>/dev/null || true
            xdotool key Escape
        fi
    fi
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
    echo "$status" >"$OUT.status"
    exit 0
fi

PARADE=$(realpath "$1")
DATA=$(realpath "$2")
COUNT=${3:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
failed=0
for n in $(seq "$COUNT"); do
    # Display numbers from 600 up, away from those that other tests' servers take. A server
    # that xvfb-run itself could not start (another took its number) is tried again; only the
    # demo's starts are counted.
    for _ in 1 2 3 4 5; do
        xvfb-run -a -n 600 "$0" --one "$PARADE" "$DATA" "$work/$n" >/dev/null 2>&1 || true
        [[ -f "$work/$n.status" ]] && break
        sleep 0.2
    done
    [[ -f "$work/$n.status" ]] || { echo "FAIL: xvfb-run could not start a server" >&2; exit 1; }
    status=$(cat "$work/$n.status")
    if [[ "$status" != 0 ]]; then
        failed=$((failed + 1))
        echo "start $n: status $status: $(tail -1 "$work/$n.stderr")" >&2
    fi
done
echo "$((COUNT - failed)) of $COUNT starts under xvfb-run succeeded"
((failed == 0)) || exit 1
