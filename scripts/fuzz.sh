#!/usr/bin/env bash
# Builds the fuzz targets and runs each one from its seed corpus.
#   scripts/fuzz.sh                 15 seconds a target (the test run's share)
#   FUZZ_SECONDS=600 scripts/fuzz.sh    longer runs
#   FUZZ_RUNS=10000000 scripts/fuzz.sh  a fixed number of executions a target
# Findings (crash-*, leak-*) land in build/fuzz/findings and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

seconds=${FUZZ_SECONDS:-15}
runs=${FUZZ_RUNS:--1}
mkdir -p build/fuzz/findings
for target in status titles storage_tree session; do
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  limit=(-max_total_time="$seconds")
  [ "$runs" != "-1" ] && limit=(-runs="$runs")
  log=build/fuzz/$target.log
  if ! build/fuzz/fuzz/fuzz_$target "${limit[@]}" -max_len=65536 -timeout=10 \
       -artifact_prefix=build/fuzz/findings/$target- "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$target found a fault: see build/fuzz/findings" >&2
    exit 1
  fi
  grep -E '^Done' "$log" | sed "s/^/fuzz_$target: /"
done
