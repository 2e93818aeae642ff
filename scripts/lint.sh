#!/usr/bin/env bash
# Static analysis: clang-tidy (configuration in .clang-tidy) and cppcheck
# over the product and the tools. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "layers"
python3 scripts/check_layers.py

cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
sources=$(git ls-files 'platform/*.cpp' 'state/*.cpp' 'devlink/*.cpp' 'catalog/*.cpp' 'plugin/*.cpp' 'tools/*.cpp' \
          | grep -v -e '_test\.cpp$' | grep -v 'platform_windows\.cpp$')

# The PE loader and the host's bridge to it build for 32-bit x86 only: they
# are checked with that build's compile commands, the rest with the native.
cmake --preset native32 -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
x86_sources=$(echo "$sources" | grep -e '^tools/peloader/' -e 'pe_exports_bridge' || true)
native_sources=$(echo "$sources" | grep -v -e '^tools/peloader/' -e 'pe_exports_bridge')

# Fails when clang-tidy reports anything (its own exit status is not read:
# under pipefail it would decide the pipeline whatever was found).
tidy() {
  local build=$1 files=$2 found
  echo "clang-tidy ($build): $(echo "$files" | wc -l) files"
  found=$(echo "$files" | xargs -P2 -n4 clang-tidy -p "$build" --quiet 2>&1 | grep -E 'warning:|error:' || true)
  [ -z "$found" ] || { echo "$found"; return 1; }
}
if tidy build/native "$native_sources" && tidy build/native32 "$x86_sources"; then
  echo "clang-tidy: clean"
else
  exit 1
fi

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
  --enable=warning,performance,portability --suppressions-list=.cppcheck-suppressions \
  -I . $sources platform/platform_windows.cpp
echo "cppcheck: clean"
