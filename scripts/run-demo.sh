#!/bin/sh
# Starts VQ-DAZ-ER on its demo configuration: a link named VQ-DAZ-ER-demo (so
# its settings live in their own section, "VQ-DAZ-ER-demo") and the bundled
# test client standing in for the node. The first run pre-fills that section
# and writes the three batch files; later runs keep whatever was changed in
# the settings window since. The default section "VQ-DAZ-ER" is never touched.
#
#   scripts/run-demo.sh [BUILD_DIR]      (default: build)
#
# With no display the program runs on a virtual X server (xvfb-run).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

# --- Build what is missing or out of date ---
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2 --target VQ-DAZ-ER vqd-test-cli

exe=$build/src/frontend/qt/VQ-DAZ-ER
client=$build/tools/test_client/vqd-test-cli
for f in "$exe" "$client"; do
    [ -x "$f" ] || { echo "run-demo: $f was not built" >&2; exit 1; }
done

# --- The demo folder ---
demo=$build/demo
work=$demo/work
node=$demo/node
conf=$node/node.conf
mkdir -p "$work" "$node"
ln -sfn "$exe" "$demo/VQ-DAZ-ER-demo"
ln -sfn "$client" "$node/vqd-test-cli"
if [ ! -f "$conf" ]; then
    cat > "$conf" <<CONF
# The demo's stand-in node: one more block at every getblockcount, eight
# peers, and a second and a half per answer, so the process watcher sees the
# client run.
blocks=2750000
grow=1
connections=8
delay_ms=1500
CONF
fi

# --- The section "VQ-DAZ-ER-demo", once ---
config=${XDG_CONFIG_HOME:-$HOME/.config}
case $config in /*) ;; *) config=$HOME/.config ;; esac
ini=$config/VQ-DAZ-ER/VQ-DAZ-ER-demo.ini
if [ ! -f "$ini" ]; then
    mkdir -p "$(dirname "$ini")"
    cat > "$ini" <<INI
[General]
VQ_CLI_UI_LOCATION_TEXTBOX=$work
CONF_LOCATION_TEXTBOX=$conf
CLI_LOCATION_TEXTBOX=$node
CLI_NAME_TEXTBOX=vqd-test-cli
CLI_GBC_BAT_TICKBOX=1
CLI_GCC_BAT_TICKBOX=1
CLI_STOP_BAT_FULL_LOCATION_TEXTBOX=$work/DAZ-ER-STOP.BAT
CLI_GBC_FULL_BAT_LOCATION_TEXTBOX=$work/DAZ-ER-GBC.BAT
CLI_GCC_FULL_BAT_LOCATION_TEXTBOX=$work/DAZ-ER-GCC.BAT
CLI_GBC_FULL_LOG_LOCATION_TEXTBOX=$work/DAZ-ER-GBC.LOG
CLI_GCC_FULL_LOG_LOCATION_TEXTBOX=$work/DAZ-ER-GCC.LOG
INI
    echo "run-demo: pre-filled $ini"
fi

# --- The batch files, as "Save To .BAT Files" writes them on this platform ---
# (a path holding a blank goes in double quotes, as one word)
word() {
    case $1 in *" "*) printf '"%s"' "$1" ;; *) printf '%s' "$1" ;; esac
}
call="call \"$node/vqd-test-cli\" -conf=$(word "$conf")"
write_batch() {
    [ -f "$work/$1" ] || printf '%s\n' "$2" > "$work/$1"
}
write_batch DAZ-ER-STOP.BAT "$call stop"
write_batch DAZ-ER-GBC.BAT "$call getblockcount > $(word "$work/DAZ-ER-GBC.LOG")"
write_batch DAZ-ER-GCC.BAT "$call getconnectioncount > $(word "$work/DAZ-ER-GCC.LOG")"

echo "run-demo: starting $demo/VQ-DAZ-ER-demo; press START, the counts arrive about 20 s later."
echo "run-demo: a link under any other name starts from its own defaults, e.g."
echo "          ln -s $exe $demo/VQ-DAZ-ER-second && $demo/VQ-DAZ-ER-second"
cd "$demo"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$demo/VQ-DAZ-ER-demo"
fi
echo "run-demo: no display; running on a virtual X server (xvfb-run). Stop it with Ctrl-C."
exec xvfb-run -a -s "-screen 0 1024x768x24" "$demo/VQ-DAZ-ER-demo"
