#!/bin/sh
# Installs what is missing, builds the Linux program and the Windows program,
# and runs every test: the core on its virtual clock, the Linux services with
# real processes, the Qt front end headless and under Xvfb, and the Windows
# build under Wine. The Linux suite runs a second time built with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails it), and
# a two-minute soak of the real program follows (scripts/soak.sh).
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j1)
tests/package/install_test.sh build

(
    . scripts/sanitizers.sh
    configure_sanitized build-asan
    cmake --build build-asan -j"$jobs"
    cd build-asan && ctest --output-on-failure -j1
)
scripts/soak.sh 120

if [ -x scripts/test-windows.sh ]; then
    scripts/test-windows.sh build-win
fi
echo "test: all tests passed"
