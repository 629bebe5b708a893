#!/bin/sh
# Builds the Debian package in the given build tree, installs it on this
# machine as a user would (apt resolves its Qt dependencies), starts the
# installed program under Xvfb and waits for its main window to appear.
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build}

cmake --build "$build" --target package >/dev/null
deb=$(ls "$PWD/$build"/vq-daz-er_*_*.deb | head -n 1)
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=120 "$deb" >/dev/null

for f in /usr/bin/VQ-DAZ-ER /usr/share/applications/VQ-DAZ-ER.desktop \
         /usr/share/icons/hicolor/64x64/apps/VQ-DAZ-ER.png; do
    test -e "$f" || { echo "package test: $f not installed" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
# The installed program, started by the name the desktop entry gives, under its
# default section in a throw-away configuration folder.
XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=xcb \
sh tests/xvfb.sh -s "-screen 0 1024x768x24" sh -c '
    exec_line=$(sed -n "s/^Exec=//p" /usr/share/applications/VQ-DAZ-ER.desktop)
    PATH=/usr/bin:$PATH $exec_line & pid=$!
    found=$(timeout 20 xdotool search --sync --onlyvisible --name "^TARNWICK - VQ-DAZ-ER - VQ-DAZ-ER\$" || true)
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -n "$found" ] || { echo "package test: the installed program showed no window" >&2; exit 1; }
'
echo "package test: installed $(basename "$deb"), its window appeared"
