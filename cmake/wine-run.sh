#!/bin/bash
# Runs one Windows program under Wine for CTest:  wine-run.sh PROGRAM [ARGS...]
#
# On a busy machine the Wine loader now and then gives up before the program
# runs: it exits with an error within a few milliseconds and the program
# prints nothing. Every test program here writes to standard output as soon
# as it runs, so a start that fails that way is tried once more and said so
# on standard error; any run that printed something, or that lasted longer
# than a loader failure can, keeps its own exit status.
set -u
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
for attempt in 1 2; do
  started=$(date +%s%N)
  wine "$@" | tee "$out"
  status=${PIPESTATUS[0]}
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ "$elapsed_ms" -ge 1000 ]; then
    exit "$status"
  fi
  echo "wine-run: wine exited with $status after $elapsed_ms ms without starting $1 (attempt $attempt)" >&2
done
exit "$status"
