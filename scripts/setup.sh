#!/bin/sh
# Installs the Debian packages the build, the program and its tests need,
# skipping those already present. Runs as root, or through sudo.
set -eu

PACKAGES="
cmake make g++ pkg-config
libgtest-dev googletest
qt6-base-dev libsm-dev libxcb1-dev
fonts-dejavu-core fonts-liberation
xvfb xauth x11-utils xdotool imagemagick openbox
g++-mingw-w64-x86-64-posix wine wine64
litecoind
prometheus trayer
locales-all x11-xserver-utils
clang libclang-rt-14-dev
desktop-file-utils dbus-daemon dbus-x11 python3-dbusmock python3-pyatspi at-spi2-core
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

# The tests run as a user of their own, as people run the program: not root.
add_test_user() {
    if [ "$(id -u)" -eq 0 ] && ! id vqd-tester >/dev/null 2>&1; then
        useradd --create-home --shell /bin/sh vqd-tester
    fi
}

if [ -z "$missing" ]; then
    add_test_user
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "setup: these packages are missing and neither root nor sudo is available:$missing" >&2
    exit 1
fi

echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
add_test_user
