#!/bin/sh
# A soak of the real Linux program on the real clock, under Xvfb with a
# window manager, against the fast stand-in client:
#
#   scripts/soak.sh [SECONDS]        (default 120; one hour: scripts/soak.sh 3600)
#
# Two copies run side by side, each on an X server of its own:
#   - "asan": the sanitized build (build-asan), its poll loop shortened to
#     five seconds through the test seam VQD_TEST_LOOP_MS, which only a build
#     configured with VQD_TEST_SEAMS honours;
#   - "plain": the program exactly as shipped (build), on its real 60-second
#     loop; resident memory is measured here, as the sanitizers inflate it.
# Both poll in their loop (both poll options on), watch their client by name,
# keep always-on-top ticking, and are driven with xdotool through rounds of:
# Settings opened, the external file's name changed, "Save To Registry",
# "Save To .BAT Files", closed (the main window then writes that file after
# each block-count poll); START, then STOP before the countdown runs out, or
# every other round 15 s after it ran out and the run went on to polling.
#
# It fails unless, for each copy: no sanitizer report, no zombie child, the
# same number of open file descriptors and threads as after start-up, the
# store holding the value saved last (before and after the program closes),
# and a clean exit when its window is closed; for "plain" also resident
# memory within 1 MB (1024 kB) of its value after the first minute.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
secs=${1:-120}
[ "$secs" -ge 70 ] || { echo "soak: at least 70 seconds (the memory figure is taken after the first minute)" >&2; exit 2; }

. scripts/sanitizers.sh

# --- Builds (nothing to do when scripts/test.sh built them already) ---
# SOAK_COPIES picks the copies to run (default both: "asan plain").
copies=${SOAK_COPIES:-asan plain}
case " $copies " in *" plain "*)
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j2 --target VQ-DAZ-ER vqd-test-cli >/dev/null ;;
esac
case " $copies " in *" asan "*)
    [ -f build-asan/CMakeCache.txt ] || configure_sanitized build-asan
    cmake --build build-asan -j2 --target VQ-DAZ-ER vqd-test-cli >/dev/null ;;
esac

scratch=$(mktemp -d /tmp/vqd-soak.XXXXXX)
started=""
cleanup() {
    for p in $started; do kill "$p" 2>/dev/null || true; done
    # Whatever a copy left running when it stopped early.
    for f in "$scratch"/*/program.pid "$scratch"/*/openbox.pid "$scratch"/*/xvfb.pid; do
        [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
    done
    [ -n "${SOAK_KEEP:-}" ] || rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# Centre of a control, in pixels of its window's client area, from its
# rectangle in twips (15 twips to a pixel at 96 dots per inch).
at() { echo $((($1 + $3 / 2) / 15)) $((($2 + $4 / 2) / 15)); }
SETTINGS_BUTTON=$(at 240 2640 855 495)
START_STOP_BUTTON=$(at 3960 2640 975 495)
EXTERNAL_FILE_BOX=$(at 120 2880 5775 375)
SAVE_REGISTRY_BUTTON=$(at 6120 6120 1455 615)
SAVE_BATS_BUTTON=$(at 7800 6120 1455 615)
CLOSE_BUTTON=$(at 10680 6120 1095 615)

fd_count() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
thread_count() { awk '/^Threads:/ {print $2}' "/proc/$1/status"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
zombies() { ps -eo ppid=,stat= | awk -v p="$1" '$1 == p && $2 ~ /^Z/' | wc -l; }
visible_windows() { xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; }

# soak_one LABEL BUILD LOOP_MS: runs one copy; its verdict goes to LABEL/verdict.
soak_one() {
    label=$1 build=$2 loop_ms=$3
    d=$scratch/$label
    mkdir -p "$d/work" "$d/node" "$d/config/VQ-DAZ-ER" "$d/runtime"
    chmod 700 "$d/runtime"
    log=$d/program.log
    fail() { echo "FAIL $label: $*" >> "$d/verdict"; }

    # A copy, not a link: the watcher matches the name of the program a
    # process runs, and the link's target would carry the original name.
    client=soakcli-$label
    cp "$build/tools/test_client/vqd-test-cli" "$d/node/$client"
    ln -s "$root/$build/src/frontend/qt/VQ-DAZ-ER" "$d/VQ-DAZ-ER-soak"
    printf 'blocks=2750000\ngrow=1\nconnections=8\ndelay_ms=300\n' > "$d/node/node.conf"
    ini=$d/config/VQ-DAZ-ER/VQ-DAZ-ER-soak.ini
    cat > "$ini" <<INI
[General]
MainLeft=0
MainTop=0
SETTINGS-Left=0
SETTINGS-Top=4200
VQ_CLI_UI_LOCATION_TEXTBOX=$d/work
CONF_LOCATION_TEXTBOX=$d/node/node.conf
CLI_LOCATION_TEXTBOX=$d/node
CLI_NAME_TEXTBOX=$client
CLI_GBC_BAT_TICKBOX=1
CLI_GCC_BAT_TICKBOX=1
AlwaysOnTopTimer_TICKBOX=1
UPDATE_EXTERNAL_FILE_TICKBOX=1
UPDATE_EXTERNAL_FILE_TEXTBOX=external-start.txt
CLI_STOP_BAT_FULL_LOCATION_TEXTBOX=$d/work/DAZ-ER-STOP.BAT
CLI_GBC_FULL_BAT_LOCATION_TEXTBOX=$d/work/DAZ-ER-GBC.BAT
CLI_GCC_FULL_BAT_LOCATION_TEXTBOX=$d/work/DAZ-ER-GCC.BAT
CLI_GBC_FULL_LOG_LOCATION_TEXTBOX=$d/work/DAZ-ER-GBC.LOG
CLI_GCC_FULL_LOG_LOCATION_TEXTBOX=$d/work/DAZ-ER-GCC.LOG
INI
    call="call \"$d/node/$client\" -conf=$d/node/node.conf"
    printf '%s\n' "$call stop" > "$d/work/DAZ-ER-STOP.BAT"
    printf '%s\n' "$call getblockcount > $d/work/DAZ-ER-GBC.LOG" > "$d/work/DAZ-ER-GBC.BAT"
    printf '%s\n' "$call getconnectioncount > $d/work/DAZ-ER-GCC.LOG" > "$d/work/DAZ-ER-GCC.BAT"

    # An X server and a window manager of this copy's own.
    Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$d/display" 2>/dev/null &
    echo $! > "$d/xvfb.pid"
    until [ -s "$d/display" ]; do sleep 0.1; done
    DISPLAY=:$(cat "$d/display")
    export DISPLAY
    openbox --sm-disable >/dev/null 2>&1 &
    echo $! > "$d/openbox.pid"
    sleep 1

    export XDG_CONFIG_HOME="$d/config" XDG_RUNTIME_DIR="$d/runtime" QT_QPA_PLATFORM=xcb
    if [ "$loop_ms" -gt 0 ]; then export VQD_TEST_LOOP_MS=$loop_ms; else unset VQD_TEST_LOOP_MS; fi
    (cd "$d" && exec ./VQ-DAZ-ER-soak) > "$log" 2>&1 &
    pid=$!
    echo "$pid" > "$d/program.pid"
    t0=$(date +%s)
    main=""
    while [ -z "$main" ]; do
        kill -0 "$pid" 2>/dev/null || { fail "the program ended before showing its window"; return; }
        main=$(visible_windows "$pid" | head -n 1)
        sleep 0.2
    done
    sleep 3
    fds0=$(fd_count "$pid") threads0=$(thread_count "$pid")
    rss60=""

    click() { xdotool mousemove --window "$1" $2 $3 click 1; sleep 0.3; }
    round=0 last=external-start.txt
    while [ $(($(date +%s) - t0)) -lt "$secs" ]; do
        round=$((round + 1))
        # Settings: open, change a field, save both ways, close.
        # A click while a poll locks the button is dropped, as it should be:
        # click again every three seconds until the window is there.
        settings="" tries=0
        while [ -z "$settings" ] && [ $tries -lt 300 ]; do
            [ $((tries % 30)) -eq 0 ] && click "$main" $SETTINGS_BUTTON
            settings=$(visible_windows "$pid" | grep -vx "$main" | head -n 1 || true)
            tries=$((tries + 1))
            sleep 0.1
        done
        if [ -z "$settings" ]; then
            import -window root "$d/no-settings-window.png" 2>/dev/null || true
            fail "round $round: the settings window did not open (screen: $d/no-settings-window.png with SOAK_KEEP=1)"
            break
        fi
        sleep 0.5
        click "$settings" $EXTERNAL_FILE_BOX
        xdotool key --window "$settings" ctrl+a
        xdotool type --window "$settings" "external-$round.txt"
        sleep 0.3
        click "$settings" $SAVE_REGISTRY_BUTTON
        last=external-$round.txt
        click "$settings" $SAVE_BATS_BUTTON
        click "$settings" $CLOSE_BUTTON
        tries=0
        while visible_windows "$pid" | grep -qx "$settings" && [ $tries -lt 150 ]; do
            tries=$((tries + 1))
            sleep 0.1
        done
        # START; STOP before the countdown runs out, or every other round
        # after it ran out and the run went on to polling.
        click "$main" $START_STOP_BUTTON
        # (STOP also stops the poll loop, which the countdown's end starts again.)
        if [ $((round % 2)) -eq 1 ]; then sleep 4; else sleep 26; fi
        click "$main" $START_STOP_BUTTON
        sleep 3
        if [ -z "$rss60" ] && [ $(($(date +%s) - t0)) -ge 60 ]; then rss60=$(rss_kb "$pid"); fi
        kill -0 "$pid" 2>/dev/null || { fail "the program ended during round $round"; break; }
    done

    # Let the last poll and the last client finish, then compare.
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 300 ]; do
        [ "$(fd_count "$pid")" -eq "$fds0" ] && [ "$(thread_count "$pid")" -eq "$threads0" ] &&
            ! pgrep -x "$client" >/dev/null && break
        tries=$((tries + 1))
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fds1=$(fd_count "$pid") threads1=$(thread_count "$pid") rss1=$(rss_kb "$pid")
        echo "$label: rounds $round, client calls $(wc -l < "$d/node/node.conf.calls" 2>/dev/null || echo 0)," \
            "open fds $fds0 -> $fds1, threads $threads0 -> $threads1, zombies $(zombies "$pid")" >> "$d/verdict"
        [ "$fds1" -eq "$fds0" ] || fail "open file descriptors went from $fds0 to $fds1"
        [ "$threads1" -eq "$threads0" ] || fail "threads went from $threads0 to $threads1"
        [ "$(zombies "$pid")" -eq 0 ] || fail "zombie children: $(zombies "$pid")"
        if [ "$loop_ms" -eq 0 ]; then
            echo "$label: resident memory after the first minute ${rss60} kB, at the end ${rss1} kB" >> "$d/verdict"
            delta=$((rss1 - rss60))
            [ "${delta#-}" -le 1024 ] || fail "resident memory moved by $delta kB after the first minute"
        fi
    fi
    grep -qx "UPDATE_EXTERNAL_FILE_TEXTBOX=$last" "$ini" || fail "the store does not hold the last saved value $last"

    # Close the window as a user does; the program must end cleanly (the leak
    # check runs at exit).
    xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4 2>/dev/null || true
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 600 ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "the program did not end when its window was closed"
        kill "$pid"
    fi
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program exited with status $status"
    grep -qx "UPDATE_EXTERNAL_FILE_TEXTBOX=$last" "$ini" || fail "after closing, the store does not hold $last"
    if grep -Eq "Sanitizer|runtime error:" "$log"; then
        fail "sanitizer report (below)"
        cat "$log" >> "$d/verdict"
    fi
    kill "$(cat "$d/openbox.pid")" "$(cat "$d/xvfb.pid")" 2>/dev/null || true
}

for label in $copies; do
    mkdir -p "$scratch/$label"
    case $label in
    asan) (soak_one asan build-asan 5000) & ;;
    plain) (soak_one plain build 0) & ;;
    *) echo "soak: no copy named $label" >&2; exit 2 ;;
    esac
    started="$started $!"
done
echo "soak: $secs s of the real program: $copies (asan: sanitized, on a 5-second loop; plain: as shipped, on its 60-second loop)"
wait
started=""
failed=0
for label in $copies; do
    if [ -f "$scratch/$label/verdict" ]; then cat "$scratch/$label/verdict"; else echo "FAIL $label: no verdict"; failed=1; fi
    grep -q '^FAIL' "$scratch/$label/verdict" 2>/dev/null && failed=1
done
if [ "$failed" -ne 0 ]; then
    echo "soak: FAILED"
    exit 1
fi
echo "soak: passed"
