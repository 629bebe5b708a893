#!/bin/sh
# Runs a Windows test program under Wine with the desktop set to another DPI
# (LogPixels), then puts the setting back.
#   at_dpi.sh DPI PROGRAM.exe [ARGS...]
set -u
dpi=$1
shift
[ -n "${DISPLAY:-}" ] || { echo "no display: skipped"; exit 77; }
key='HKCU\Control Panel\Desktop'
restore() { wine reg delete "$key" /v LogPixels /f </dev/null >/dev/null 2>&1; }
trap restore EXIT INT TERM
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1 || exit 1
# The test program through the same wrapper CTest uses for the others.
"$(dirname "$0")/../../cmake/wine-run.sh" "$@" </dev/null
