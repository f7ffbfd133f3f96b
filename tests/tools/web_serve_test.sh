#!/usr/bin/env bash
# The local server serves regular files only: folders give 404 (never a listing), so do FIFOs
# (which would hang the request), a path the file system cannot hold gives 400, a client that
# drops a download midway is no error, and none of it writes to the console.
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
mkfifo "$work/site/deita/pipe.jpg"
ln -s pipe.jpg "$work/site/deita/link.jpg"
mkdir "$work/site/sub"
mkfifo "$work/site/sub/index.html"
# Large enough that the server is still sending when the client goes.
head -c 64000000 /dev/zero >"$work/site/big.bin"
"$serve" "$work/site" 18700 >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do grep -q 'http://' "$work/out" 2>/dev/null && break; sleep 0.1; done
address=$(grep -o 'http://[^ ]*' "$work/out")

failures=0
# path, expected status, expected body ('' when any)
while read -r path want body; do
    got=$(curl -s --max-time 10 -o "$work/body" -w '%{http_code}' "$address${path#/}" || true)
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
/deita/pipe.jpg 404
/deita/link.jpg 404
/sub/ 404
/big.bin?x 200
CASES

# Downloads dropped after their first bytes, as a reload or a closed tab drops them.
for _ in 1 2 3; do
    curl -s "${address}big.bin" | head -c 1000 >/dev/null || true
done
sleep 0.5

if [[ -s $work/err ]]; then
    echo "FAIL the server wrote to its console:"; cat "$work/err"; failures=$((failures + 1))
fi
[[ $failures == 0 ]] && echo "all cases passed"
exit "$failures"
