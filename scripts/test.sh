#!/bin/sh
# Installs what is missing, builds the Linux program and the Windows program,
# and runs every test: the core on its virtual clock, the Linux services with
# real processes, the Qt front end headless and under Xvfb, and the Windows
# build under Wine.
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j1)
tests/package/install_test.sh build

if [ -x scripts/test-windows.sh ]; then
    scripts/test-windows.sh build-win
fi
echo "test: all tests passed"
