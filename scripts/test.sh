#!/usr/bin/env bash
# The project's whole test run. It installs what it needs, then:
#   1. builds the native plugin and tools and runs every test (unit,
#      simulator, command-line host, end to end over the socket);
#   2. runs the same suite under the address, undefined-behaviour and leak
#      sanitizers, and the unit suite under the thread sanitizer;
#   3. builds both Windows DLLs, checks them as built, and runs the Windows
#      suite and a Windows host under Wine; packs them into the installation
#      archive and checks it;
#   4. builds the native tree for 32-bit x86 and runs the whole native suite
#      under qemu-i386-static, the end-to-end tests a second time against
#      the shipped 32-bit DLL in the PE loader;
#   5. runs each fuzz target for a short, fixed time;
#   6. runs the static analysis.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

step() { printf '\n== %s (at %d s)\n' "$*" "$SECONDS"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native -j2

step "the same under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
ctest --preset asan -j2

step "the unit suite, with its threaded stress, under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j2
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/pagora_unit_tests

step "Windows builds, DLL checks and the Windows suite under Wine"
scripts/windows-checks.sh

step "installation archive"
scripts/package.sh

step "32-bit x86 build; its suite and the shipped 32-bit DLL under qemu-i386-static"
# The end-to-end tests load build/win32/pagora.wfx: built above, and again
# here (a no-op then) so this step stands on its own.
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset native32 >/dev/null
cmake --build --preset native32 -j2
ctest --preset native32 -j2

step "fuzz targets, ${FUZZ_SECONDS:=15} seconds each"
FUZZ_SECONDS=$FUZZ_SECONDS scripts/fuzz.sh

step "static analysis"
scripts/lint.sh

step "all tests passed"
