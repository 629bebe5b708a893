#!/bin/sh
# Installs what is missing, builds the Linux program and the Windows program,
# and runs every test: the core on its virtual clock, the Linux services with
# real processes, the Qt front end headless and under Xvfb, and the Windows
# build under Wine. The Linux suite runs a second time built with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails it), the
# settings reader is fuzzed, and a two-minute soak of the real program follows
# (scripts/soak.sh).
#
# The stages overlap where they can: the sanitized, Windows and fuzzer
# builds run (at low priority) while the main suite's tests, which mostly
# wait, run; then the sanitized suite, the Windows suite, the fuzzers and the
# soak run side by side, each with its own display. Tests that share a display
# or a Wine prefix hold a CTest resource lock. Each stage prints its minutes
# when it ends, and the log of a stage that ran beside others is printed
# whole when it ends.
#
# The tests run where users live: the main Linux suite as an ordinary user
# (vqd-tester, made by scripts/setup.sh) under a German locale, whose numbers
# take a decimal comma; the sanitized suite as that user under a Turkish
# locale, whose lower case of "I" is a dotless i. Only the tests that mount a
# filesystem (named ...AsRoot) run as root, on their own.
set -eu
cd "$(dirname "$0")/.."
began=$(date +%s)

# took START NAME: how long the stage since START took, said at its end.
took() {
    s=$(($(date +%s) - $1))
    printf 'stage: %s took %d min %02d s\n' "$2" $((s / 60)) $((s % 60))
}

t=$(date +%s)
scripts/setup.sh
took "$t" "setup"

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

# Line tables rather than full debug information: a third less compile time,
# and backtraces still name files and lines.
t=$(date +%s)
as_user de_DE.UTF-8 sh -c '
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
    cmake --build build -j"$1"' sh "$jobs"
took "$t" "main build"

logs=$(mktemp -d /tmp/vqd-test-logs.XXXXXX)
chmod 755 "$logs"
# The builds the later stages need, one after another at low priority, beside
# the main suite's tests.
(
    t=$(date +%s)
    as_user tr_TR.UTF-8 nice -n 15 sh -c '. scripts/sanitizers.sh
        configure_sanitized build-asan
        cmake --build build-asan -j"$1"' sh "$jobs"
    took "$t" "sanitized build (beside the main suite)"
    touch "$logs/asan-built"
    t=$(date +%s)
    nice -n 15 scripts/test-windows.sh build-win build
    took "$t" "Windows build (beside the main suite)"
    touch "$logs/win-built"
    t=$(date +%s)
    as_user tr_TR.UTF-8 nice -n 15 scripts/fuzz.sh build
    took "$t" "fuzzer build (beside the main suite)"
) >"$logs/builds.log" 2>&1 &
builds=$!

t=$(date +%s)
as_user de_DE.UTF-8 sh -c "$where"'
    cd build && ctest --output-on-failure -j"$3" -E AsRoot' sh "main Linux suite" de_DE.UTF-8 4
took "$t" "main Linux suite"
# The filesystem faults need a tmpfs mounted, which only root may do here.
t=$(date +%s)
echo "test: tests that mount a filesystem, as $(id -un)"
(cd build && ctest --output-on-failure -j1 -R AsRoot)
tests/package/install_test.sh build
took "$t" "tests as root and the package"

status=0
wait "$builds" || status=$?
cat "$logs/builds.log"
[ "$status" -eq 0 ] || { echo "test: a build failed" >&2; exit "$status"; }

# Side by side, each on displays of its own; each log is printed when all end.
t=$(date +%s)
as_user tr_TR.UTF-8 sh -c "$where"'
    . scripts/sanitizers.sh
    cd build-asan && ctest --output-on-failure -j"$3" -E AsRoot' sh "sanitized Linux suite" tr_TR.UTF-8 3 \
    >"$logs/asan.log" 2>&1 &
asan=$!
scripts/test-windows.sh build-win test >"$logs/windows.log" 2>&1 &
windows=$!
scripts/soak.sh 120 >"$logs/soak.log" 2>&1 &
soak=$!
as_user tr_TR.UTF-8 scripts/fuzz.sh 30 >"$logs/fuzz.log" 2>&1 &
fuzz=$!
failed=""
for stage in asan windows soak fuzz; do
    eval "pid=\$$stage"
    stage_status=0
    wait "$pid" || stage_status=$?
    echo "===== $stage ====="
    cat "$logs/$stage.log"
    [ "$stage_status" -eq 0 ] || failed="$failed $stage"
done
took "$t" "sanitized suite, Windows suite, soak and fuzzers side by side"
took "$began" "everything"
[ -z "$failed" ] || { echo "test: failed:$failed" >&2; exit 1; }
rm -rf "$logs"
echo "test: all tests passed"
