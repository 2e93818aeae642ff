#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing.
# Where this machine executes 32-bit x86 code, that includes Wine's 32-bit
# half (wine32, from the i386 architecture), which runs the 32-bit DLL.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev libgmock-dev libbenchmark-dev python3
          clang libclang-rt-14-dev clang-tidy cppcheck
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine64
          g++-multilib qemu-user-static locales)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'int main(void){return 0;}\n' > "$probe/m32.c"
if gcc -m32 "$probe/m32.c" -o "$probe/m32" 2>/dev/null && "$probe/m32" 2>/dev/null; then
  if ! installed wine32:i386; then
    echo "Installing: wine32 (this machine runs 32-bit x86 code)"
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
  fi
else
  echo "This machine runs no 32-bit x86 code: the 32-bit DLL runs under the PE loader and qemu-i386-static"
fi
