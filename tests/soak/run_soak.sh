#!/usr/bin/env bash
# Starts a reader simulator on its demo reader in a private socket folder,
# runs the soak against it and stops it again.
#   run_soak.sh SIMULATOR SOAK MODULE CYCLES
# Both programs run behind $PAGORA_EMULATOR when it is set (a build whose
# programs this system cannot start itself).
set -euo pipefail
sim=$1 soak=$2 module=$3 cycles=$4
run=${PAGORA_EMULATOR:-}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export PAGORA_READER_DIR=$work/readers
$run "$sim" --socket-dir "$PAGORA_READER_DIR" >"$work/sim.out" 2>"$work/sim.err" &
pid=$!
for _ in $(seq 100); do grep -q ready "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
grep -q ready "$work/sim.out" || { cat "$work/sim.err"; exit 1; }
$run "$soak" "$module" "$work" "$cycles"
