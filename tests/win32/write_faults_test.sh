#!/bin/sh
# Writes that the filesystem itself refuses, under Wine: a small tmpfs holding
# a 6 KB external file and batch file, first filled to its last free page,
# then remounted read-only. Each time the platform tests' WriteFaults case
# tries to replace both files with 12 KB and must leave them as they were.
#
#   write_faults_test.sh win32_platform_tests.exe
# Exits 77 (skipped) where no tmpfs can be mounted (not root).
set -u
tests=$1
# The test program through the same wrapper CTest uses for the others.
wine_run=$(cd "$(dirname "$0")/../../cmake" && pwd)/wine-run.sh
dir=$(mktemp -d)
cleanup() {
    umount "$dir" 2>/dev/null
    rmdir "$dir"
}
trap cleanup EXIT INT TERM
mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null || { echo "cannot mount a tmpfs: skipped"; exit 77; }

for name in external.txt DAZ-ER-GBC.BAT; do
    { head -c 6000 /dev/zero | tr '\0' a; printf '\r\n'; } >"$dir/$name"
done
# Fill it up, then give back exactly one page.
cat /dev/zero >"$dir/filler" 2>/dev/null
truncate -s -4096 "$dir/filler"
echo "free before the writes: $(df -B1 --output=avail "$dir" | tail -1) bytes"

folder="Z:$(echo "$dir" | tr / '\\')"
status=0
run() {
    VQD_FAULT_FOLDER="$folder" "$wine_run" "$tests" --gtest_filter='WriteFaults.*' </dev/null 2>&1 | tr -d '\r' >"$dir.out"
    cat "$dir.out"
    grep -q '\[  PASSED  \] 1 test' "$dir.out" || status=1
    rm -f "$dir.out"
}
echo "--- a tmpfs with one free page"
run
mount -o remount,ro "$dir" || exit 1
echo "--- the same tmpfs remounted read-only"
run
exit $status
