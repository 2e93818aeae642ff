#!/usr/bin/env bash
# The project's whole test run: installs what it needs, builds the native
# plugin and tools and runs their tests (unit, simulator, end to end), then
# builds and checks the two Windows DLLs and runs the Windows suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

step() { printf '\n== %s\n' "$*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native -j2

step "Windows builds, DLL checks and the Windows suite under Wine"
scripts/windows-checks.sh

step "all tests passed"
