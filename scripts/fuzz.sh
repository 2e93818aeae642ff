#!/usr/bin/env bash
# Builds the fuzz targets and runs each one from its seed corpus, two at a
# time (FUZZ_PARALLEL), each for a fixed time or a fixed number of runs.
#   scripts/fuzz.sh                      15 seconds a target (the test run's share)
#   FUZZ_SECONDS=600 scripts/fuzz.sh     longer runs
#   FUZZ_RUNS=10000000 scripts/fuzz.sh   a fixed number of executions a target
# Findings (crash-*, leak-*, timeout-*) land in build/fuzz/findings and fail
# the run; each target's log is build/fuzz/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

export FUZZ_SECONDS=${FUZZ_SECONDS:-15}
export FUZZ_RUNS=${FUZZ_RUNS:--1}
mkdir -p build/fuzz/findings

run_target() {
  local target=$1
  local work=build/fuzz/corpus/$target
  local log=build/fuzz/$target.log
  local limit=-max_total_time=$FUZZ_SECONDS
  [ "$FUZZ_RUNS" != "-1" ] && limit=-runs=$FUZZ_RUNS
  mkdir -p "$work"
  if ! build/fuzz/fuzz/fuzz_"$target" "$limit" -max_len=65536 -timeout=10 \
       -artifact_prefix=build/fuzz/findings/"$target"- "$work" fuzz/corpus/"$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$target found a fault: see build/fuzz/findings" >&2
    return 1
  fi
  grep -E '^Done' "$log" | sed "s/^/fuzz_$target: /"
}
export -f run_target

printf '%s\n' status titles storage_tree session |
  xargs -P "${FUZZ_PARALLEL:-2}" -I{} bash -c 'run_target {}'
