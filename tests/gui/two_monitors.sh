#!/bin/sh
# Runs a test program on two monitors side by side: the X server's one wide
# screen (2048x768, started with -noreset so the cut outlives xrandr's
# connection) is cut into a left and a right half of 1024x768 each.
set -eu
xrandr --setmonitor left 1024/271x768/203+0+0 screen
xrandr --setmonitor right 1024/271x768/203+1024+0 none
exec "$@"
