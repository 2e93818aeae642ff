#!/usr/bin/env bash
# Builds the benchmarks (bench preset, Release), checks their own parts, runs
# them and prints one table of figures against their targets. The raw results
# stay in build/bench/results (JSON, and the benchmarks' own console output).
# BENCH_REPETITIONS (default 5) sets how many times each benchmark runs; the
# table reads the medians.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make libbenchmark-dev libgtest-dev python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

step() { printf '== %s\n' "$*" >&2; }
results=build/bench/results
# Runs a command with its output in $results/$1, shown only when it fails.
quiet() {
  local log="$results/$1"
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "failed: $*" >&2; exit 1; }
}

mkdir -p "$results"
repetitions="${BENCH_REPETITIONS:-5}"

step "build (bench preset)"
quiet configure.txt cmake --preset bench
quiet build.txt cmake --build --preset bench -j2

step "checks of the benchmarks' own parts"
quiet checks.txt ctest --test-dir build/bench/bench --output-on-failure -j2

step "timing benchmarks ($repetitions repetitions each)"
quiet timing.txt build/bench/bench/pagora_bench \
  --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/timing.json" --benchmark_out_format=json

step "peak resident size (one child process per transfer)"
quiet memory.txt build/bench/bench/pagora_bench_memory \
  --benchmark_out="$results/memory.json" --benchmark_out_format=json

echo
python3 -B bench/report.py "$results/timing.json" "$results/memory.json"
