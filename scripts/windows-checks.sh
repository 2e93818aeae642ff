#!/bin/sh
# Builds both Windows modules and checks them: the outer facts of pagora.wfx
# and pagora.wfx64 on file, then the 64-bit unit suite and the test host under
# Wine (headless, with its prefix in build/win64/wineprefix), then a user's
# session with each shipped DLL on Wine (scripts/wine-session.sh).
#
# usage: scripts/windows-checks.sh
# Installs the cross compilers, Wine and the GoogleTest sources first when
# they are missing. Exits non-zero on the first failing step.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)

step() {
  echo "== windows-checks: $*"
}

missing=""
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$missing g++-mingw-w64-i686"
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$missing g++-mingw-w64-x86-64"
command -v wine64 >/dev/null 2>&1 || [ -x /usr/lib/wine/wine64 ] || missing="$missing wine64"
[ -f /usr/src/googletest/CMakeLists.txt ] || missing="$missing googletest"
if [ -n "$missing" ]; then
  step "installing$missing"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
fi

unset DISPLAY WAYLAND_DISPLAY
# The tests leave a Wine server running for the next test; stop it at the end.
trap 'scripts/windows-run.sh build/win64/wineprefix --stop 2>/dev/null || true' EXIT

for preset in win32 win64; do
  step "configuring and building $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j2
done

step "checking the 32-bit module"
ctest --preset win32 -j2
# One test at a time: tests of the unit suite use local files, which Windows
# may keep locked while a parallel test still holds them.
step "checking the 64-bit module, unit suite and test host under Wine"
scripts/windows-run.sh build/win64/wineprefix --init
ctest --preset win64

step "the user's session with both shipped DLLs on Wine"
scripts/wine-session.sh

step "all passed in $(( $(date +%s) - started )) s"
