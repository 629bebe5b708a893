#!/bin/sh
# Prints figures of the Linux program under Xvfb as "name: value unit" lines
# (not a test: nothing here passes or fails; scripts/bench.sh uses it):
#   - start-up to a shown window: from starting the process until its main
#     window is mapped, median of N runs;
#   - resident memory after IDLE seconds with the window shown and idle
#     (left out when IDLE is 0).
#
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/gui/measure.sh BUILD_DIR [N] [IDLE] [PROGRAM NAME]
#
# PROGRAM (default: the program in BUILD_DIR) is measured instead, its lines
# named startup_NAME_* (the benchmark's empty Qt window, for the floor).
set -eu
build=$1
runs=${2:-10}
idle=${3:-60}
exe=${4:-$build/src/frontend/qt/VQ-DAZ-ER}
what=${5:+_$5}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=xcb

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Map events of the root window's children, through one X connection: polling
# with a new client per try floods the server until connections fail.
events=$scratch/events
watch_maps() {
    : > "$events"
    stdbuf -oL xev -root -event substructure > "$events" 2>/dev/null &
    xev_pid=$!
    sleep 0.3  # time for xev to connect and select the events
}
stop_watching() { kill "$xev_pid" 2>/dev/null; wait "$xev_pid" 2>/dev/null || true; }

# Until a window is mapped; fails when the program has ended first.
wait_shown() {
    until grep -q MapNotify "$events"; do
        kill -0 "$1" 2>/dev/null || { echo "measure: the program ended before showing its window" >&2; exit 1; }
        sleep 0.001
    done
}

times=""
i=0
while [ "$i" -lt "$runs" ]; do
    watch_maps
    t0=$(now_ms)
    "$exe" >/dev/null 2>&1 &
    pid=$!
    wait_shown "$pid"
    t1=$(now_ms)
    stop_watching
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    times="$times $((t1 - t0))"
    i=$((i + 1))
done
sorted=$(echo $times | tr ' ' '\n' | sort -n)
median=$(echo "$sorted" | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}')
echo "startup${what}_to_shown_median_of_$runs: $median ms"
echo "startup${what}_to_shown_fastest: $(echo "$sorted" | head -n 1) ms"
echo "startup${what}_to_shown_slowest: $(echo "$sorted" | tail -n 1) ms"
[ "$idle" -gt 0 ] || exit 0

watch_maps
"$exe" >/dev/null 2>&1 &
pid=$!
wait_shown "$pid"
stop_watching
sleep "$idle"
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "idle_rss_after_${idle}s: ${rss} kB"
echo "idle_rss_peak_after_${idle}s: ${hwm} kB"
