#!/usr/bin/env bash
# The clock log (PARADE_CLOCK_LOG) never ends or stalls the show: a FIFO without a reader does
# not hold the start and gets its lines once a reader comes; a reader that leaves, a full
# device, a folder or a missing folder are each said once with the system's reason, and the
# show goes on until Escape ends it with status 0.
# usage: shell_clock_log_e2e.sh PARADE DATA_DIR
PARADE=$1
PARADE_DATA=$2
source "$(dirname "$0")/lib.sh"
e2e_setup 1024x768x24

# wait_said TEXT: waits (up to 60 s) until the demo's standard error holds TEXT.
wait_said() {
    for _ in $(seq 600); do
        e2e_stderr | grep -qF "$1" && return 0
        kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended before saying '$1'"
        sleep 0.1
    done
    e2e_fail "the demo never said '$1'"
}

# said_once TEXT: TEXT is on exactly one line of standard error.
said_once() {
    local count
    count=$(e2e_stderr | grep -cF "$1" || true)
    [[ "$count" == 1 ]] || e2e_fail "'$1' said $count times, not once"
}

# ends_on_escape ROW: the show is still on; Escape ends it at once with status 0.
ends_on_escape() {
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$1: the show ended"
    e2e_key "$window" Escape
    e2e_wait 5 >/dev/null
    [[ "$E2E_STATUS" == 0 ]] || e2e_fail "$1: Escape ended the demo with status $E2E_STATUS"
}

# A FIFO nobody reads at the start: the window opens and the show runs; a reader that comes
# later gets whole lines; when it leaves, the log stops with the reason and the show goes on.
fifo="$E2E_WORK/clock.fifo"
mkfifo "$fifo"
PARADE_CLOCK_LOG=$fifo e2e_start window
window=$(e2e_window)
wait_said "nobody reads the clock log $fifo yet"
head -n 5 "$fifo" >"$E2E_WORK/lines"
awk 'NF != 4 { exit 1 } END { exit NR != 5 }' "$E2E_WORK/lines" ||
    e2e_fail "the FIFO's reader got no 5 whole lines:"$'\n'"$(cat "$E2E_WORK/lines")"
wait_said "cannot write the clock log $fifo: Broken pipe"
ends_on_escape "a FIFO whose reader left"
said_once "cannot write the clock log"
said_once "nobody reads the clock log"

# Files that cannot be written, each with the system's reason.
mkdir "$E2E_WORK/folder"
for row in "/dev/full|No space left on device" "$E2E_WORK/folder|Is a directory" \
    "$E2E_WORK/missing/clock.log|No such file or directory"; do
    path=${row%|*} reason=${row#*|}
    PARADE_CLOCK_LOG=$path e2e_start window
    window=$(e2e_window)
    wait_said "cannot write the clock log $path: $reason"
    ends_on_escape "$path"
    said_once "cannot write the clock log"
done
echo "clock log e2e: all passed"
