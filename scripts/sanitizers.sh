# Sourced by scripts/test.sh and scripts/soak.sh: the sanitized build tree and
# the options under which anything it built runs. Any report ends the program
# with a failure; leaks are checked at exit.

sanitize_flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"

# configure_sanitized TREE: AddressSanitizer and UndefinedBehaviorSanitizer,
# with the test seams the soak needs (never in the program that run.sh builds).
configure_sanitized() {
    # -O1 and line tables only: what the sanitizers' reports need, at less
    # than half the compile time of -O2 -g.
    cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQD_TEST_SEAMS=ON \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DCMAKE_C_FLAGS="$sanitize_flags" -DCMAKE_CXX_FLAGS="$sanitize_flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
}

# The one leak seen inside a system library (libdbus) is suppressed by the
# file below; nothing of the project's own is.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$(pwd)/tests/soak/lsan-system.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
