#!/bin/sh
# The soak of the Windows program under Wine, on a virtual X display with a
# window manager, against the stand-in client built for Windows:
#
#   scripts/soak-windows.sh [SECONDS]      (default 300: five minutes)
#
# The same shape as scripts/soak.sh: the poll loop with both poll options on,
# the watcher and always-on-top ticking, and rounds driven with xdotool of
# Settings opened, the external file's name changed, "Save To Registry",
# "Save To .BAT Files", closed; START, then STOP before the countdown runs out
# or, every other round, after it ran out and the run went on to polling.
# The processes running the program's image and the client's are counted
# through the Win32 API by a small probe (bench/win32_soak_probe.cpp); its
# handles on the Linux side (Wine answers the Win32 handle count with 0).
#
# It fails unless: the descriptors and threads of the Linux process hosting
# the program are at most their values after start-up, one process
# of the program and none of the client remain, no zombie is left on the
# Linux side, the registry holds the value saved last, and the program ends
# when its window is closed. Not part of scripts/test.sh.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
secs=${1:-300}
build=$root/build-win

[ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target vqd_windows_program vqd-win-soak-probe vqd-test-cli >/dev/null

scratch=$(mktemp -d /tmp/vqd-soak-win.XXXXXX)
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
name=VQ-DAZ-ER-soak
client=soakcli.exe
section="HKCU\\Software\\VB and VBA Program Settings\\VQ-DAZ-ER\\$name"
cp "$build/VQ-DAZ-ER.exe" "$scratch/$name.exe"
cp "$build/tools/test_client/vqd-test-cli.exe" "$scratch/$client"
probe_exe=$build/bench/vqd-win-soak-probe.exe
mkdir -p "$scratch/work"
printf 'blocks=2750000\r\ngrow=1\r\nconnections=8\r\ndelay_ms=300\r\n' > "$scratch/work/node.conf"

cat > "$scratch/inner.sh" <<INNER
#!/bin/sh
set -u
scratch=$scratch secs=$secs name=$name client=$client probe_exe=$probe_exe section='$section'
INNER
cat >> "$scratch/inner.sh" <<'INNER'
win() { echo "Z:$1" | tr / '\\'; }
probe() { wine "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
shown() { wine "$probe_exe" center "$@" >/dev/null 2>&1; }  # the probe's own exit status
verdict=$scratch/verdict
: > "$verdict"
fail() { echo "FAIL: $*" >> "$verdict"; }
openbox --sm-disable >/dev/null 2>&1 </dev/null &
wm=$!
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1

work=$(win "$scratch/work")
wine reg delete "$section" /f >/dev/null 2>&1
set_key() { wine reg add "$section" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }
set_key MainLeft 0
set_key MainTop 0
set_key SETTINGS-Left 0
set_key SETTINGS-Top 4200
set_key VQ_CLI_UI_LOCATION_TEXTBOX "$work"
set_key CONF_LOCATION_TEXTBOX "$work\\node.conf"
set_key CLI_LOCATION_TEXTBOX "$(win "$scratch")"
set_key CLI_NAME_TEXTBOX "$client"
set_key CLI_GBC_BAT_TICKBOX 1
set_key CLI_GCC_BAT_TICKBOX 1
set_key AlwaysOnTopTimer_TICKBOX 1
set_key UPDATE_EXTERNAL_FILE_TICKBOX 1
set_key UPDATE_EXTERNAL_FILE_TEXTBOX "$work\\external-start.txt"
set_key CLI_STOP_BAT_FULL_LOCATION_TEXTBOX "$work\\DAZ-ER-STOP.BAT"
set_key CLI_GBC_FULL_BAT_LOCATION_TEXTBOX "$work\\DAZ-ER-GBC.BAT"
set_key CLI_GCC_FULL_BAT_LOCATION_TEXTBOX "$work\\DAZ-ER-GCC.BAT"
set_key CLI_GBC_FULL_LOG_LOCATION_TEXTBOX "$work\\DAZ-ER-GBC.LOG"
set_key CLI_GCC_FULL_LOG_LOCATION_TEXTBOX "$work\\DAZ-ER-GCC.LOG"
call="call \"$(win "$scratch")\\$client\" -conf=$work\\node.conf"
printf '%s\r\n' "$call stop" > "$scratch/work/DAZ-ER-STOP.BAT"
printf '%s\r\n' "$call getblockcount > $work\\DAZ-ER-GBC.LOG" > "$scratch/work/DAZ-ER-GBC.BAT"
printf '%s\r\n' "$call getconnectioncount > $work\\DAZ-ER-GCC.LOG" > "$scratch/work/DAZ-ER-GCC.BAT"

# From the scratch folder: the external file's name typed below is relative.
(cd "$scratch" && exec wine "$scratch/$name.exe") </dev/null >"$scratch/program.log" 2>&1 &
program=$!
t0=$(date +%s)
until shown main START_STOP_BUTTON; do
    kill -0 "$program" 2>/dev/null || { fail "the program ended before showing its window"; exit 0; }
    [ $(($(date +%s) - t0)) -lt 60 ] || { fail "the main window did not appear"; exit 0; }
    sleep 0.5
done
sleep 3
# Wine answers GetProcessHandleCount and GetGuiResources with 0, so the
# handles are counted on the Linux side: the descriptors and threads of the
# process that hosts the program (Wine keeps a descriptor for each open file,
# pipe or process handle it uses).
host=$(pgrep -f "^$scratch/$name.exe" | head -n 1)
host_counts() { echo "fds $(ls "/proc/$host/fd" 2>/dev/null | wc -l) threads $(awk '/^Threads:/ {print $2}' "/proc/$host/status")"; }
processes() { probe count "$1" | awk '{print $2}'; }
counts0=$(host_counts)
echo "after start-up: $(probe count "$name.exe"); host process $host: $counts0" >> "$verdict"

click() {
    xy=$(probe center "$1" "$2") || xy=""
    set -- $xy
    [ $# -eq 2 ] && xdotool mousemove "$1" "$2" click 1
    sleep 0.5
}
round=0 last=$work\\external-start.txt
while [ $(($(date +%s) - t0)) -lt "$secs" ]; do
    round=$((round + 1))
    tries=0
    until shown settings CLOSE_BUTTON; do
        [ $((tries % 6)) -eq 0 ] && click main SETTINGS_BUTTON
        tries=$((tries + 1))
        [ $tries -lt 60 ] || break
        sleep 0.5
    done
    if ! shown settings CLOSE_BUTTON; then
        fail "round $round: the settings window did not open"
        break
    fi
    sleep 2  # Wine shows the window before it has moved it to its stored place
    click settings UPDATE_EXTERNAL_FILE_TEXTBOX
    xdotool key End
    xdotool key --repeat 120 --delay 5 BackSpace
    xdotool type "external-$round.txt"
    [ "$round" -eq 1 ] && import -window root "$scratch/settings-round-1.png"
    sleep 0.5
    click settings SAVE_REGISTRY_BUTTON
    last=external-$round.txt
    click settings SAVE_BATS_BUTTON
    click settings CLOSE_BUTTON
    tries=0
    while shown settings CLOSE_BUTTON && [ $tries -lt 30 ]; do
        tries=$((tries + 1))
        sleep 0.5
    done
    click main START_STOP_BUTTON
    if [ $((round % 2)) -eq 1 ]; then sleep 4; else sleep 26; fi
    click main START_STOP_BUTTON
    sleep 3
    kill -0 "$program" 2>/dev/null || { fail "the program ended during round $round"; break; }
done

# Let the last poll and the last client finish, then count.
tries=0
while [ "$(processes "$client")" != 0 ] && [ $tries -lt 30 ]; do
    tries=$((tries + 1))
    sleep 0.5
done
sleep 2
tries=0
until [ "$(host_counts)" = "$counts0" ] || [ $tries -ge 20 ]; do  # a leak never comes back
    tries=$((tries + 1))
    sleep 0.5
done
counts1=$(host_counts)
echo "at the end after $round rounds: $(probe count "$name.exe"); host process: $counts1;" \
    "client processes $(processes "$client"), client calls $(cat "$scratch/work/node.conf.calls" 2>/dev/null | wc -l)" >> "$verdict"
[ "$(processes "$name.exe")" = 1 ] || fail "processes of the program: $(processes "$name.exe")"
[ "$(processes "$client")" = 0 ] || fail "client processes left: $(processes "$client")"
set -- $counts0 $counts1
[ "$6" -le "$2" ] && [ "$8" -le "$4" ] || fail "the host process went from $counts0 to $counts1"
stored=$(wine reg query "$section" /v UPDATE_EXTERNAL_FILE_TEXTBOX 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {print $3}')
case "$stored" in
    *"$last") ;;
    *) fail "the registry holds \"$stored\", not the last saved \"$last\"" ;;
esac

wine "$probe_exe" close >/dev/null 2>&1
tries=0
while kill -0 "$program" 2>/dev/null && [ $tries -lt 60 ]; do
    tries=$((tries + 1))
    sleep 0.5
done
kill -0 "$program" 2>/dev/null && { fail "the program did not end when its window was closed"; kill "$program"; }
zombies=$(ps -eo ppid=,stat= | awk -v p=$$ '$1 == p && $2 ~ /^Z/' | wc -l)
[ "$zombies" -eq 0 ] || fail "zombies: $zombies"
wine reg delete "$section" /f >/dev/null 2>&1
wineserver -k
kill "$wm" 2>/dev/null
INNER

echo "soak-windows: $secs s of $name.exe under Wine"
xvfb-run -a -s "-screen 0 1024x768x24" sh "$scratch/inner.sh"
cat "$scratch/verdict"
if grep -q '^FAIL' "$scratch/verdict"; then
    echo "soak-windows: FAILED (files in $scratch)"
    exit 1
fi
rm -rf "$scratch"
echo "soak-windows: passed"
