#!/bin/sh
# Installs what is missing, builds the Linux program and the Windows program,
# and runs every test: the core on its virtual clock, the Linux services with
# real processes, the Qt front end headless and under Xvfb, and the Windows
# build under Wine. The Linux suite runs a second time built with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails it), the
# settings reader is fuzzed, and a two-minute soak of the real program follows
# (scripts/soak.sh).
#
# The tests run where users live: the main Linux suite as an ordinary user
# (vqd-tester, made by scripts/setup.sh) under a German locale, whose numbers
# take a decimal comma; the sanitized suite as that user under a Turkish
# locale, whose lower case of "I" is a dotless i. Only the tests that mount a
# filesystem (named ...AsRoot) run as root, on their own.
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
user=vqd-tester

# as_user LOCALE COMMAND...: the command as the test user (or as whoever runs
# this script, when that is not root) with only the given locale in force.
as_user() {
    locale=$1
    shift
    if [ "$(id -u)" -eq 0 ]; then
        home=$(getent passwd "$user" | cut -d: -f6)
        runuser -u "$user" -- env -u LC_ALL -u LANGUAGE -u LC_NUMERIC -u LC_CTYPE \
            HOME="$home" LANG="$locale" "$@"
    else
        env -u LC_ALL -u LANGUAGE -u LC_NUMERIC -u LC_CTYPE LANG="$locale" "$@"
    fi
}

# The test user must reach the sources; a checkout inside root's own home is
# copied to a folder the user owns.
src=$(pwd)
if [ "$(id -u)" -eq 0 ] && ! as_user C.UTF-8 test -r "$src/CMakeLists.txt"; then
    src=/var/tmp/vqd-tester-checkout
    rm -rf "$src"
    mkdir -p "$src"
    tar --exclude='./build*' -cf - . | tar -C "$src" -xf -
    chown -R "$user" "$src"
    cd "$src"
fi
for tree in build build-asan build-fuzz; do
    mkdir -p "$tree"
    [ "$(id -u)" -ne 0 ] || chown -R "$user" "$tree"
done

# Says who ran a suite and under which locale, and fails when that is root or
# not the locale asked for, so the log proves the run happened where meant.
# shellcheck disable=SC2016
where='echo "test: $1 as $(id -un) (uid $(id -u)) with $(locale 2>/dev/null | grep LC_NUMERIC)";
       if [ "$(id -u)" -eq 0 ]; then echo "test: $1 ran as root" >&2; exit 1; fi
       locale 2>/dev/null | grep -q "LC_NUMERIC=\"$2\"" || { echo "test: $1 is not under $2" >&2; exit 1; }'

as_user de_DE.UTF-8 sh -c "$where"'
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$3"
    cd build && ctest --output-on-failure -j1 -E AsRoot' sh "main Linux suite" de_DE.UTF-8 "$jobs"
# The filesystem faults need a tmpfs mounted, which only root may do here.
echo "test: tests that mount a filesystem, as $(id -un)"
(cd build && ctest --output-on-failure -j1 -R AsRoot)
tests/package/install_test.sh build

as_user tr_TR.UTF-8 sh -c "$where"'
    . scripts/sanitizers.sh
    configure_sanitized build-asan
    cmake --build build-asan -j"$3"
    cd build-asan && ctest --output-on-failure -j1 -E AsRoot' sh "sanitized Linux suite" tr_TR.UTF-8 "$jobs"

[ ! -x scripts/fuzz.sh ] || as_user tr_TR.UTF-8 scripts/fuzz.sh 30
scripts/soak.sh 120

if [ -x scripts/test-windows.sh ]; then
    scripts/test-windows.sh build-win
fi
echo "test: all tests passed"
