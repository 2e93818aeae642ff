#!/usr/bin/env bash
# Static analysis: clang-tidy (configuration in .clang-tidy) and cppcheck
# over the product and the tools. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
sources=$(git ls-files 'plugin/*.cpp' 'catalog/*.cpp' 'devlink/*.cpp' 'tools/*.cpp' \
          | grep -v -e '_test\.cpp$' -e 'test_support' | grep -v 'platform_windows\.cpp$' | grep -v 'test_modules/')

echo "clang-tidy: $(echo "$sources" | wc -l) files"
if ! echo "$sources" | xargs -P2 -n4 clang-tidy -p build/native --quiet 2>&1 \
     | grep -E 'warning:|error:' ; then
  echo "clang-tidy: clean"
else
  exit 1
fi

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
  --enable=warning,performance,portability --suppressions-list=.cppcheck-suppressions \
  -I . $sources devlink/platform_windows.cpp
echo "cppcheck: clean"
