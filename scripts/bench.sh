#!/bin/sh
# The benchmark: figures of the program on this machine, one "name: value unit"
# line each, every comparison measured side by side in the same run. Not part
# of the tests: nothing here passes or fails. About ten minutes.
#
#   scripts/bench.sh [SECTION...]   (builds what it needs into build/ and build-win/)
#
# SECTION is one of watcher stall idle startup week win32 (all by default);
# BENCH_BUILD names another Linux build folder than build/ (relative to the
# source folder, or absolute); BENCH_BUILT=1 measures what is in it as it is,
# building nothing (older binaries kept aside, for a before-and-after).
#
#   watcher_*   one process-count tick against `pgrep -x -c NAME` run as a
#               process, median of 200 each, with about 100, 500 and 2,000
#               processes on the machine (idle ones the benchmark starts and ends)
#   stall_*     the longest the Qt event loop goes without a turn during one
#               block-count poll, against the same poll with a sleeping wait
#   idle_*      CPU time, resident memory and wake-ups a second (the kernel's
#               context-switch counts over all the program's threads) of the
#               running program over 60 s, watching a client by name with
#               always-on-top ticking, on a quiet machine and with 500
#               processes; and that CPU time a second divided by one watcher
#               tick measured right after it with the same processes (back
#               to back, and once a second as the program ticks)
#   startup_*   start to main window shown, median of 10, against an empty Qt
#               window started the same way
#   week_*      a simulated week of the 60-second loop, both poll options on
#   win32_*     the Windows program under Wine: stall during a poll, size, DLLs
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
sections=${*:-watcher stall idle startup week win32}
wanted() { case " $sections " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
build=${BENCH_BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

[ -n "${BENCH_BUILT:-}" ] || [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets="vqd-bench-watcher"
wanted stall && targets="$targets vqd-bench-stall vqd-test-cli"
wanted idle && targets="$targets VQ-DAZ-ER vqd-test-cli"
wanted startup && targets="$targets VQ-DAZ-ER vqd-bench-empty-window"
wanted week && targets="$targets vqd-bench-week"
# shellcheck disable=SC2086
[ -n "${BENCH_BUILT:-}" ] || cmake --build "$build" -j2 --target $targets >/dev/null
exe=$build/src/frontend/qt/VQ-DAZ-ER
client=$build/tools/test_client/vqd-test-cli

scratch=$(mktemp -d /tmp/vqd-bench.XXXXXX)
started=""
cleanup() {
    for p in $started; do kill "$p" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

echo "bench_machine_cores: $(nproc) cores"
echo "bench_machine_processes_at_start: $(ls /proc | grep -c '^[0-9]') processes"

# --- watcher ---
if wanted watcher; then "$build/bench/vqd-bench-watcher" vqd-test-cli 100 500 2000; fi

# --- A configuration for a program started as $1 in folder $2 ---
configure() {
    name=$1 dir=$2 polls=$3
    mkdir -p "$dir/config/VQ-DAZ-ER" "$dir/runtime" "$dir/work"
    chmod 700 "$dir/runtime"
    printf 'blocks=2750000\ngrow=1\nconnections=8\ndelay_ms=300\n' > "$dir/work/node.conf"
    printf '%s\n' "call \"$client\" -conf=$dir/work/node.conf getblockcount > $dir/work/DAZ-ER-GBC.LOG" \
        > "$dir/work/DAZ-ER-GBC.BAT"
    cat > "$dir/config/VQ-DAZ-ER/$name.ini" <<INI
[General]
MainLeft=0
MainTop=0
CLI_NAME_TEXTBOX=vqd-test-cli
AlwaysOnTopTimer_TICKBOX=1
CLI_GBC_BAT_TICKBOX=$polls
CLI_GBC_FULL_BAT_LOCATION_TEXTBOX=$dir/work/DAZ-ER-GBC.BAT
CLI_GBC_FULL_LOG_LOCATION_TEXTBOX=$dir/work/DAZ-ER-GBC.LOG
INI
}

# An X server with a window manager (always-on-top then does real work).
Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$scratch/display" 2>/dev/null &
started="$started $!"
until [ -s "$scratch/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")" QT_QPA_PLATFORM=xcb
openbox --sm-disable >/dev/null 2>&1 &
started="$started $!"
sleep 1

# --- stall ---
if wanted stall; then
    ln -s "$build/bench/vqd-bench-stall" "$scratch/vqd-bench-stall"
    configure vqd-bench-stall "$scratch/stall" 0
    for mode in qt sleeping; do
        XDG_CONFIG_HOME=$scratch/stall/config XDG_RUNTIME_DIR=$scratch/stall/runtime "$scratch/vqd-bench-stall" "$mode" 2>/dev/null
    done
fi

# --- idle ---
# CPU time: the sum over the program's threads of the nanoseconds each spent
# on a CPU (schedstat), which is exact where utime/stime count 10 ms ticks.
# Wake-ups: the kernel's own count of each thread's context switches (every
# time a thread sleeps and wakes again, or is put off the CPU), no tracer.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f", s}'; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches:/ {s += $2} END {print s + 0}'; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
processes() { ls /proc | grep -c '^[0-9]'; }
idle_for() {
    c0=$(cpu_ns "$program") s0=$(switches "$program")
    sleep 60
    c1=$(cpu_ns "$program") s1=$(switches "$program")
    # One watcher tick with the machine as it is now: back to back, and once a
    # second as the program runs it.
    "$build/bench/vqd-bench-watcher" vqd-test-cli "$(processes)" > "$scratch/tick"
    tick=$(awk -F': ' '/_tick:/ {print $2 + 0}' "$scratch/tick")
    cold=$(awk -F': ' '/_tick_once_a_second:/ {print $2 + 0}' "$scratch/tick")
    echo "idle_${1}_cpu_time_60s: $(((c1 - c0) / 1000000)) ms"
    echo "idle_${1}_cpu_share: $(echo "$c0 $c1" | awk '{printf "%.3f", ($2 - $1) / 60e9 * 100}') %"
    echo "idle_${1}_wakeups: $(echo "$s0 $s1" | awk '{printf "%.2f", ($2 - $1) / 60}') per s"
    echo "idle_${1}_watcher_tick: $tick us"
    echo "idle_${1}_watcher_tick_once_a_second: $cold us"
    echo "idle_${1}_cpu_per_watcher_tick: $(echo "$c0 $c1 $tick" | awk '{printf "%.2f", ($2 - $1) / 60e3 / $3}') x"
    echo "idle_${1}_cpu_per_watcher_tick_once_a_second: $(echo "$c0 $c1 $cold" | awk '{printf "%.2f", ($2 - $1) / 60e3 / $3}') x"
    echo "idle_${1}_rss: $(rss_kb "$program") kB"
}
if wanted idle; then
    ln -s "$exe" "$scratch/VQ-DAZ-ER-bench"
    configure VQ-DAZ-ER-bench "$scratch/idle" 0
    (cd "$scratch" && XDG_CONFIG_HOME=$scratch/idle/config XDG_RUNTIME_DIR=$scratch/idle/runtime exec ./VQ-DAZ-ER-bench) \
        >/dev/null 2>&1 &
    program=$!
    started="$started $program"
    sleep 5
    idle_for quiet
    "$build/bench/vqd-bench-watcher" --hold 500 > "$scratch/hold" &
    holder=$!
    started="$started $holder"
    until [ -s "$scratch/hold" ]; do sleep 0.1; done
    echo "idle_500_processes_on_machine: $(cat "$scratch/hold") processes"
    idle_for 500_processes
    kill "$holder"
    wait "$holder" 2>/dev/null || true
    kill "$program"
    wait "$program" 2>/dev/null || true
fi

# --- start-up ---
# Side by side with the floor: an empty Qt window with the same style and font.
if wanted startup; then
    tests/gui/measure.sh "$build" 10 0 | grep '^startup_'
    tests/gui/measure.sh "$build" 10 0 "$build/bench/vqd-bench-empty-window" empty_qt_window | grep '^startup_'
fi

# --- week ---
if wanted week; then "$build/bench/vqd-bench-week"; fi

# --- Windows, under Wine ---
wanted win32 || exit 0
[ -f build-win/CMakeCache.txt ] ||
    cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2 --target vqd_windows_program vqd-win-stall vqd-test-cli >/dev/null
winexe=build-win/VQ-DAZ-ER.exe
echo "win32_exe_size: $(stat -c %s "$winexe") bytes"
echo "win32_exe_dlls: $(x86_64-w64-mingw32-objdump -p "$winexe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')(names)"

# The stall: the Windows counterpart of the Linux figure, in one X display
# with a window manager and Wine's server kept up for both runs.
export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
mkdir -p "$scratch/win"
cp build-win/bench/vqd-win-stall.exe build-win/tools/test_client/vqd-test-cli.exe "$scratch/win/"
printf 'blocks=5\r\ngrow=1\r\ndelay_ms=300\r\n' > "$scratch/win/node.conf"
w=$(echo "Z:$scratch/win" | tr / '\\')
printf '%s\r\n' "call \"$w\\vqd-test-cli.exe\" -conf=$w\\node.conf getblockcount > $w\\DAZ-ER-GBC.LOG" > "$scratch/win/DAZ-ER-GBC.BAT"
cat > "$scratch/win/run.sh" <<INNER
openbox --sm-disable >/dev/null 2>&1 </dev/null &
wm=\$!
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
section='HKCU\\Software\\VB and VBA Program Settings\\VQ-DAZ-ER\\vqd-win-stall'
wine reg add "\$section" /v CLI_NAME_TEXTBOX /t REG_SZ /d vqd-test-cli.exe /f >/dev/null 2>&1
wine reg add "\$section" /v CLI_GBC_FULL_BAT_LOCATION_TEXTBOX /t REG_SZ /d '$w\\DAZ-ER-GBC.BAT' /f >/dev/null 2>&1
wine reg add "\$section" /v CLI_GBC_FULL_LOG_LOCATION_TEXTBOX /t REG_SZ /d '$w\\DAZ-ER-GBC.LOG' /f >/dev/null 2>&1
for mode in qt sleeping; do wine "$scratch/win/vqd-win-stall.exe" \$mode </dev/null 2>/dev/null | tr -d '\r'; done
wine reg delete "\$section" /f >/dev/null 2>&1
wineserver -k
kill \$wm
INNER
xvfb-run -a -s "-screen 0 1024x768x24" sh "$scratch/win/run.sh" | sed 's/_qt_wait/_own_wait/'
