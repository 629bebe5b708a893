#!/bin/sh
# The Windows program as a user sees it, under Wine on an X display: the main
# window shows, a screenshot is taken, Tab walks the focus order, a real click
# (xdotool) on START starts the countdown, the display counts down, and
# closing stores the options.
#
#   gui_click_test.sh VQ-DAZ-ER.exe vqd-win-probe.exe SHOT_DIR
# Exits 77 (skipped) without a display or without xdotool and import.
set -u
program=$1 probe=$2 shots=$3

[ -n "${DISPLAY:-}" ] || { echo "no display: skipped"; exit 77; }
for tool in xdotool import wine; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool missing: skipped"; exit 77; }
done

work=$(mktemp -d)
name=VQ-DAZ-ER-guitest  # a copy under its own name has a section of its own
section="HKCU\\Software\\VB and VBA Program Settings\\VQ-DAZ-ER\\$name"
title="TARNWICK - VQ-DAZ-ER - $name"
cp "$program" "$work/$name.exe"
mkdir -p "$shots"

fail() {
    echo "FAIL: $*"
    wine "$probe" close "$title" >/dev/null 2>&1
    sleep 2
    wine reg delete "$section" /f >/dev/null 2>&1
    rm -rf "$work"
    exit 1
}
probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }

wine reg delete "$section" /f >/dev/null 2>&1
wine reg add "$section" /v CLI_GBC_BAT_TICKBOX /t REG_SZ /d 1 /f >/dev/null 2>&1 || fail "cannot seed the registry"

# Started with its standard streams away from CTest's pipes.
wine "$work/$name.exe" </dev/null >"$work/program.log" 2>&1 &
program_pid=$!

start=""
for _ in $(seq 1 60); do
    start=$(probe center "$title" START_STOP_BUTTON) && [ -n "$start" ] && break
    sleep 0.5
done
[ -n "$start" ] || fail "the main window did not appear"
sleep 1
import -window root "$shots/win32-main-window.png" || fail "no screenshot"
[ "$(probe text "$title" START_STOP_BUTTON)" = "START" ] || fail "the button does not read START"
[ "$(probe text "$title" AUTORUN_TIMER_TEXTBOX)" = "-- --" ] || fail "the countdown display is not at rest"

# The keyboard: the focus starts on START; Tab walks the focus order through the
# program's message loop (a disabled Auto Close is skipped), Shift+Tab walks back.
[ "$(probe focus "$title")" = "START_STOP_BUTTON" ] || fail "the focus does not start on START"
xdotool key Tab
sleep 0.5
[ "$(probe focus "$title")" = "AUTOSTART_TICKBOX" ] || fail "Tab gave the focus to \"$(probe focus "$title")\""
xdotool key Tab
sleep 0.5
[ "$(probe focus "$title")" = "AlwaysOnTopTimer_TICKBOX" ] || fail "Tab did not skip the disabled Auto Close"
xdotool key shift+Tab shift+Tab
sleep 0.5
[ "$(probe focus "$title")" = "START_STOP_BUTTON" ] || fail "Shift+Tab did not walk back to START"

set -- $start
xdotool mousemove "$1" "$2" click 1
sleep 2.6
caption=$(probe text "$title" START_STOP_BUTTON)
display=$(probe text "$title" AUTORUN_TIMER_TEXTBOX)
import -window root "$shots/win32-main-window-counting.png"
echo "after the click: button \"$caption\", countdown \"$display\""
[ "$caption" = "STOP" ] || fail "the click did not start the run (button \"$caption\")"
case "$display" in
    10|09|08|07) ;;
    *) fail "the countdown shows \"$display\"" ;;
esac

wine "$probe" close "$title" >/dev/null 2>&1 || fail "cannot close the window"
for _ in $(seq 1 40); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.25
done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after its window closed"

stored=$(wine reg query "$section" /v CLI_GBC_BAT_TICKBOX 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {print $3}')
left=$(wine reg query "$section" /v MainLeft 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {print $3}')
wine reg delete "$section" /f >/dev/null 2>&1
rm -rf "$work"
[ "$stored" = "1" ] || fail "the option was not stored at closing (\"$stored\")"
[ -n "$left" ] || fail "the position was not stored at closing"
echo "screenshots: $shots/win32-main-window.png $shots/win32-main-window-counting.png"
echo "PASS"
