#!/bin/sh
# Installs what is missing, builds, and starts the program on its demo
# configuration: the bundled test client stands in for the node.
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs" --target VQ-DAZ-ER vqd-test-cli
exec scripts/run-demo.sh build
