#!/usr/bin/env bash
# parade.exe under Wine: --help; the banner; a missing mod2.it ends the demo with its message
# and status 1, as on Linux; -geometry gives the window's size.
# usage: win_start_e2e.sh PARADE_EXE WINE_PREFIX DATA_DIR CAPTURE SNAPSHOT
PARADE_EXE=$1
WINE_PREFIX=$2
DATA=$3
source "$(dirname "$0")/lib.sh"
win_setup

# --help: the usage on standard output, status 0.
status=0
(cd "$E2E_WORK" && "$PARADE" --help) >"$E2E_WORK/help" 2>/dev/null || status=$?
[[ $status == 0 ]] || e2e_fail "--help ended with status $status"
win_text "$E2E_WORK/help" | grep -q '^usage: parade' || e2e_fail "--help printed no usage"
win_text "$E2E_WORK/help" | grep -q 'mod2.it' || e2e_fail "--help does not name the data files"

# A data folder without mod2.it: the banner, then "Error(N): Can't play the file", status 1.
PARADE_DATA="$E2E_WORK/missing"
mkdir -p "$PARADE_DATA"
ln -s "$DATA/deita" "$PARADE_DATA/deita"
e2e_start window
e2e_wait 120 >/dev/null
[[ "$E2E_STATUS" == 1 ]] || e2e_fail "missing mod2.it: status $E2E_STATUS, not 1"
stdout=$(win_text "$E2E_WORK/stdout")
# The console of the prefix speaks code page 437: each a-umlaut is the byte 0x84.
head -n 1 <<<"$stdout" | LC_ALL=C grep -qx $'qvh tarna kerho esitt\x84\x84:' ||
    e2e_fail "the banner's first line is not the one of code page 437"
grep -Eq '^"Quiet Harbour Parade"Error\([0-9]+\): Can'"'"'t play the file$' <<<"$stdout" ||
    e2e_fail "missing mod2.it: no error line after the banner"
win_text "$E2E_WORK/stderr" | grep -q '^mod2.it: cannot open' ||
    e2e_fail "missing mod2.it: the reason is not on standard error"
# -geometry, read by GLUT: a window of that size; Escape ends the demo with status 0.
PARADE_DATA=$DATA
e2e_start window -geometry 800x500+10+10
window=$(e2e_window)
size=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
[[ "$size" == 800x500 ]] || e2e_fail "-geometry 800x500 gave a window of $size"
win_key "$window" Escape
e2e_wait 30 >/dev/null
[[ "$E2E_STATUS" == 0 ]] || e2e_fail "Escape ended the demo with status $E2E_STATUS"
echo "win start e2e: all passed"
