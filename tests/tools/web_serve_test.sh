#!/usr/bin/env bash
# The local server serves files only: folders give 404 (never a listing), a path the file
# system cannot hold gives 400, and none of it writes to the console.
#   web_serve_test.sh SERVE_SCRIPT
set -euo pipefail
serve=${1:?usage: web_serve_test.sh SERVE_SCRIPT}
work=$(mktemp -d "${TMPDIR:-/tmp}/parade-serve-XXXXXX")
pid=
cleanup() { [[ -n $pid ]] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/site/deita/empty"
echo page >"$work/site/index.html"
echo picture >"$work/site/deita/logo.jpg"
"$serve" "$work/site" 18700 >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do grep -q 'http://' "$work/out" 2>/dev/null && break; sleep 0.1; done
address=$(grep -o 'http://[^ ]*' "$work/out")

failures=0
# path, expected status, expected body ('' when any)
while read -r path want body; do
    got=$(curl -s -o "$work/body" -w '%{http_code}' "$address${path#/}")
    if [[ $got != "$want" ]]; then
        echo "FAIL $path: status $got, want $want"; failures=$((failures + 1))
    elif [[ -n ${body:-} ]] && ! grep -qx "$body" "$work/body"; then
        echo "FAIL $path: body $(head -c 80 "$work/body")"; failures=$((failures + 1))
    fi
done <<'CASES'
/ 200 page
/index.html 200 page
/deita/logo.jpg 200 picture
/deita/ 404
/deita 404
/deita/empty/ 404
/%00 400
/deita/%00logo.jpg 400
/a%00b/ 400
/missing.jpg 404
/../../etc/passwd 404
CASES

if [[ -s $work/err ]]; then
    echo "FAIL the server wrote to its console:"; cat "$work/err"; failures=$((failures + 1))
fi
[[ $failures == 0 ]] && echo "all cases passed"
exit "$failures"
