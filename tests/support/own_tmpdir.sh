#!/usr/bin/env bash
# Runs a test with an empty TMPDIR of its own and fails it when anything is left there
# afterwards: tests leave nothing behind, their death-test children and the programs they start
# included.
#   own_tmpdir.sh COMMAND [ARGS...]
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/parade-test-XXXXXX") || exit 1
# Open to everyone as /tmp is, for the second user some tests run programs as.
chmod 1777 "$work"
status=0
TMPDIR=$work "$@" || status=$?
left=$(cd "$work" && find . -mindepth 1 -maxdepth 2 | sort | head -20)
if [[ -n $left ]]; then
    echo "FAIL: the test left this behind in its TMPDIR:" >&2
    echo "$left" >&2
    ((status != 0)) || status=1
fi
rm -rf "$work"
exit "$status"
