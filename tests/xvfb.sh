#!/bin/sh
# Runs a command on an X server of its own, as `xvfb-run -a` would, except
# that the server picks a free display itself (-displayfd): any number of
# these may start at the same moment without two racing for one display.
#
#   tests/xvfb.sh [-a] [-s "SERVER ARGUMENTS"] COMMAND [ARGUMENTS...]
set -eu
server_args=""
while [ $# -gt 0 ]; do
    case $1 in
        -a) shift ;;
        -s) server_args=$2; shift 2 ;;
        *) break ;;
    esac
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/vqd-xvfb.XXXXXX")
# shellcheck disable=SC2086
Xvfb -displayfd 3 -nolisten tcp $server_args 3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
trap 'exit 143' INT TERM
tries=0
until grep -q '[0-9]' "$dir/display" 2>/dev/null; do
    if ! kill -0 "$server" 2>/dev/null; then
        cat "$dir/log" >&2
        echo "xvfb.sh: the X server did not start" >&2
        exit 1
    fi
    tries=$((tries + 1))
    [ "$tries" -lt 300 ] || { echo "xvfb.sh: no display after 30 s" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=:$(tr -dc 0-9 <"$dir/display")
export DISPLAY
status=0
"$@" || status=$?
exit "$status"
