#!/bin/sh
# Builds the installation archive build/package/pagora-wfx-<version>.zip and
# checks it. The version is the CMake project's (CMakeLists.txt). The archive
# holds both Windows modules stripped of their symbols and debug sections,
# the install description file (pluginst.inf) and the user's README, the
# two texts with Windows line ends.
#
# usage: scripts/package.sh
# The modules are taken from build/win32 and build/win64 (PAGORA_WIN32_DIR
# and PAGORA_WIN64_DIR name other build folders), each configured with its
# preset when it is not yet and brought up to date first; PAGORA_PACKAGE_DIR
# names another folder for the archive.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

win32_dir=${PAGORA_WIN32_DIR:-build/win32}
win64_dir=${PAGORA_WIN64_DIR:-build/win64}
out_dir=${PAGORA_PACKAGE_DIR:-build/package}

version=$(sed -n 's/^project(pagora VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package.sh: no project version in CMakeLists.txt" >&2
  exit 1
fi
archive=$out_dir/pagora-wfx-$version.zip

build() {  # build() PRESET DIR
  [ -f "$2/CMakeCache.txt" ] || cmake --preset "$1" -B "$2" >/dev/null
  cmake --build "$2" -j2 --target pagora_module >/dev/null
}
build win32 "$win32_dir"
build win64 "$win64_dir"

stage=$out_dir/stage
rm -rf "$stage"
mkdir -p "$stage"
i686-w64-mingw32-strip --strip-all -o "$stage/pagora.wfx" "$win32_dir/pagora.wfx"
x86_64-w64-mingw32-strip --strip-all -o "$stage/pagora.wfx64" "$win64_dir/pagora.wfx64"

rm -f "$archive"
python3 - "$archive" "$stage/pagora.wfx" "$stage/pagora.wfx64" \
  packaging/pluginst.inf packaging/README.txt <<'PY'
import os
import sys
import zipfile

archive, *members = sys.argv[1:]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
    for path in members:
        with open(path, "rb") as f:
            data = f.read()
        if path.endswith((".inf", ".txt")):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        out.writestr(os.path.basename(path), data)
PY

python3 tests/package/check_archive.py --version "$version" "$archive"
# The check itself, on archives made wrong from this one.
python3 tests/package/check_archive_test.py "$archive" "$win32_dir/pagora.wfx"
for module in pagora.wfx pagora.wfx64; do
  printf 'package.sh: %-13s %8d bytes stripped\n' "$module" "$(wc -c < "$stage/$module")"
done
echo "package.sh: $archive"
