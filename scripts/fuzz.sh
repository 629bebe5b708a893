#!/bin/sh
# The fuzzers of the settings file's INI text (tests/fuzz), with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/fuzz.sh [SECONDS]   each fuzzer runs SECONDS (default 30), both at once
#   scripts/fuzz.sh build       only builds them
# Builds its own tree (build-fuzz, or $VQD_FUZZ_BUILD) with clang++; the g++
# tree cannot take the instrumentation. Runs from a copy of the corpus in a
# temporary folder, so the runs add nothing to the repository. Exits non-zero
# when a fuzzer finds a fault; the input that shows it is kept and named.
set -eu

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VQD_FUZZ_BUILD:-$root/build-fuzz}
jobs=${VQD_FUZZ_JOBS:-2}

if [ ! -x "$build/ini_hand_edit_fuzzer" ] || [ ! -x "$build/ini_qsettings_fuzzer" ] || [ -w "$build" ]; then
    cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$build" -j"$jobs" >/dev/null
fi
[ "$seconds" != build ] || exit 0

work=$(mktemp -d "${TMPDIR:-/tmp}/vqd-fuzz-XXXXXX")
# The files QSettings reads, one per input, in memory when /dev/shm is there.
if [ -w /dev/shm ]; then scratch=$(mktemp -d /dev/shm/vqd-fuzz-XXXXXX); else scratch=$(mktemp -d); fi
export VQD_FUZZ_SCRATCH="$scratch"
trap 'rm -rf "$scratch"' EXIT
status=0
run() {  # NAME CORPUS [libFuzzer options...]
    name=$1 corpus=$2
    shift 2
    mkdir -p "$work/$name/corpus" "$work/$name/found"
    cp "$root/tests/fuzz/corpus/$corpus/"* "$work/$name/corpus/"
    if (cd "$work/$name" && "$build/$name" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$work/$name/found/" "$@" corpus >"$work/$name/log" 2>&1); then
        printf '%s: %s\n' "$name" "$(grep -E '^#[0-9]+.*DONE' "$work/$name/log" | tail -1)"
    else
        status=1
        echo "$name: FAULT FOUND" >&2
        grep -a -E -A12 '^broken|^==[0-9]+==ERROR|runtime error' "$work/$name/log" | head -40 >&2 || true
        echo "inputs kept in $work/$name/found:" >&2
        ls "$work/$name/found" >&2
    fi
    return "$status"
}
# The two side by side, one core each; each says its own result.
run ini_hand_edit_fuzzer hand_edit -max_len=2048 &
first=$!
# QSettings keeps a cache of the files it read; leak checks after each input
# (which that cache sets off) would slow this one twentyfold. The other keeps them.
run ini_qsettings_fuzzer qsettings -max_len=1024 -detect_leaks=0 || status=1
wait "$first" || status=1
if [ "$status" -eq 0 ]; then rm -rf "$work"; fi
exit "$status"
