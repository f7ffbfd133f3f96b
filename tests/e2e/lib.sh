# Helpers for end-to-end tests: a private Xvfb, the demo started in a data folder, key presses
# with xdotool, and waiting for the process to end. Source it; call e2e_setup first.
#   PARADE      the demo executable (absolute path)
#   PARADE_DATA a folder with mod2.it and deita/ (default: the build's data folder)
set -euo pipefail

e2e_fail() {
    echo "FAIL: $*" >&2
    if [[ -n "${E2E_WORK:-}" ]]; then
        for f in "$E2E_WORK"/stdout "$E2E_WORK"/stderr; do
            [[ -f "$f" ]] && { echo "--- ${f##*/}:"; cat -v "$f"; echo; } >&2
        done
    fi
    exit 1
}

e2e_cleanup() {
    [[ -n "${E2E_PID:-}" ]] && kill -9 "$E2E_PID" 2>/dev/null || true
    [[ -n "${E2E_PULSE:-}" ]] && { kill -9 "$E2E_PULSE" && wait "$E2E_PULSE"; } 2>/dev/null || true
    [[ -n "${E2E_XVFB:-}" ]] && kill "$E2E_XVFB" 2>/dev/null || true
    [[ -n "${E2E_WORK:-}" ]] && rm -rf "$E2E_WORK"
    return 0
}

# e2e_xvfb SCREEN: starts an Xvfb with that screen on a free display; sets XVFB_PID and
# XVFB_DISPLAY (":N").
e2e_xvfb() {
    local numbers="$E2E_WORK/display.$RANDOM"
    exec 9>"$numbers"
    Xvfb -displayfd 9 -screen 0 "$1" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    exec 9>&-
    for _ in $(seq 100); do
        [[ -s "$numbers" ]] && break
        sleep 0.1
    done
    [[ -s "$numbers" ]] || e2e_fail "Xvfb did not start"
    XVFB_DISPLAY=":$(head -1 "$numbers")"
}

# e2e_setup [SCREEN]: makes a work folder and starts Xvfb (default screen 1024x768x24).
e2e_setup() {
    E2E_WORK=$(mktemp -d)
    trap e2e_cleanup EXIT
    e2e_xvfb "${1:-1024x768x24}"
    E2E_XVFB=$XVFB_PID
    export DISPLAY=$XVFB_DISPLAY
    export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
}

# e2e_sound_server: starts a private PulseAudio server with one null sink, "parade", whose
# monitor the test can record (or starts it again on the same socket once it was killed), and
# points PULSE_SERVER at it. The clients' and the server's files stay in the work folder.
e2e_sound_server() {
    local home="$E2E_WORK/pulse"
    if [[ ! -d "$home" ]]; then
        mkdir -p "$home"
        printf '%s\n' "load-module module-native-protocol-unix socket=$home/native auth-anonymous=1" \
            "load-module module-null-sink sink_name=parade" "set-default-sink parade" \
            >"$home/default.pa"
        export HOME=$home XDG_CONFIG_HOME=$home XDG_RUNTIME_DIR=$home PULSE_RUNTIME_PATH=$home \
            PULSE_STATE_PATH=$home PULSE_SERVER="unix:$home/native"
    fi
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --system=false -F "$home/default.pa" >"$home/log" 2>&1 &
    E2E_PULSE=$!
    for _ in $(seq 150); do
        pactl info >/dev/null 2>&1 && return 0
        kill -0 "$E2E_PULSE" 2>/dev/null || e2e_fail "pulseaudio ended: $(tail -3 "$home/log")"
        sleep 0.1
    done
    e2e_fail "pulseaudio did not answer within 15 s"
}

# e2e_music_heard: true when a second recorded from the null sink's monitor is not silence.
e2e_music_heard() {
    local recording="$E2E_WORK/pulse/recording"
    timeout 1 parec --raw -d parade.monitor >"$recording" 2>/dev/null || true
    [[ -n "$(tr -d '\000' <"$recording" | head -c 1)" ]]
}

# e2e_start [ARGS...]: starts the demo in $PARADE_DATA with the arguments, in the background.
# Its frames are counted in its clock log: PARADE_CLOCK_LOG, or one in the work folder.
e2e_start() {
    E2E_LOG=${PARADE_CLOCK_LOG:-$E2E_WORK/frames.log}
    [[ -f "$E2E_LOG" ]] && rm -f "$E2E_LOG"
    (cd "$PARADE_DATA" && PARADE_CLOCK_LOG=$E2E_LOG exec "$PARADE" "$@") \
        >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" &
    E2E_PID=$!
}

# e2e_log_lines: the frames the demo's clock log holds so far.
e2e_log_lines() { [[ -f "$E2E_LOG" ]] && wc -l <"$E2E_LOG" || echo 0; }

# e2e_drawn [N]: waits (up to E2E_DRAW_PATIENCE seconds, 60 unless set) until the demo has drawn
# N frames (default 2) more than it had: it is past its start-up and shows the show, or has
# handled what was sent to it before, however long that takes on a busy machine.
e2e_drawn() {
    local want=$(($(e2e_log_lines) + ${1:-2})) patience=${E2E_DRAW_PATIENCE:-60}
    for _ in $(seq $((patience * 10))); do
        (($(e2e_log_lines) >= want)) && return 0
        kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended before drawing its frames"
        sleep 0.1
    done
    e2e_fail "the demo drew no new frames in $patience s"
}

# e2e_window: waits (up to 60 s) for the demo's window and prints its id.
e2e_window() {
    local id=""
    for _ in $(seq 600); do
        id=$(xdotool search --onlyvisible --name parade 2>/dev/null | head -1 || true)
        [[ -n "$id" ]] && break
        kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the demo ended before its window appeared"
        sleep 0.1
    done
    [[ -n "$id" ]] || e2e_fail "no window appeared"
    echo "$id"
}

# e2e_key WINDOW KEY...: focuses the window and presses the keys (xdotool key names), 30 ms
# apart or E2E_KEY_DELAY ms.
e2e_key() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    xdotool key --delay "${E2E_KEY_DELAY:-30}" "$@"
}

# e2e_wait SECONDS: waits for the demo to end (or fails on timeout); sets E2E_STATUS to its
# exit status and prints it. Call it in the test's own shell, not in $(...): only the shell
# that started the demo can wait for it.
e2e_wait() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$E2E_PID" 2>/dev/null; do
        ((SECONDS < deadline)) || e2e_fail "the demo did not end within $1 s"
        sleep 0.05
    done
    local status=0
    wait "$E2E_PID" || status=$?
    E2E_PID=""
    E2E_STATUS=$status
    echo "$status"
}

# e2e_stdout / e2e_stderr: what the demo printed so far.
e2e_stdout() { cat "$E2E_WORK/stdout"; }
e2e_stderr() { cat "$E2E_WORK/stderr"; }
