#!/bin/sh
# The user's session (tests/windows/wine_session.cpp) with each shipped DLL
# on Wine, the simulator serving a reader image on loopback TCP, under two
# ANSI code pages: 1252 (locale C.UTF-8) and 1251 (ru_RU.UTF-8). The 64-bit
# DLL runs under wine64 everywhere; the 32-bit one under wine where this
# machine executes 32-bit x86 code, else under the PE loader and
# qemu-i386-static (the native32 step of scripts/test.sh). Says which ran.
#
# usage: scripts/wine-session.sh   (after the native, win32 and win64 builds)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)
readersim=build/native/pagora-readersim
[ -x "$readersim" ] || { cmake --preset native >/dev/null && cmake --build --preset native -j2 --target pagora-readersim; }

say() { echo "== wine-session: $*"; }

# A locale whose code page is not 1252, made where it is missing.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 2>/dev/null || say "cannot make the locale ru_RU.UTF-8"
fi

tmp=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  # The 32-bit prefix's Wine server is this script's to stop; the 64-bit
  # one is shared with the other Windows checks, which stop it.
  [ ! -d build/win32/wineprefix ] || scripts/windows-run.sh build/win32/wineprefix --stop 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# Two free loopback ports in a row: the reader's and its control channel's.
free_ports() {
  python3 - <<'PY'
import socket
while True:
    a = socket.socket(); a.bind(("127.0.0.1", 0)); port = a.getsockname()[1]
    if port >= 65534: a.close(); continue
    b = socket.socket()
    try:
        b.bind(("127.0.0.1", port + 1)); print(port); break
    except OSError:
        pass
    finally:
        a.close(); b.close()
PY
}

# The demo image with 1 MiB of internal memory (so a book of 1.2 MB goes to
# the card) and two more titles: one in accented letters, one whose title
# and author hold what no file name may.
make_image() {
  "$readersim" --write-demo "$1" >/dev/null
  sed -i '/^\[internal\]/,/^\[/ s/^size_mib = .*/size_mib = 1/' "$1/reader.ini"
  head -c 5000 /dev/urandom > "$1/internal/book/cafe.rb"
  head -c 3000 /dev/urandom > "$1/internal/book/dune.rb"
  cat >> "$1/reader.ini" <<'INI'

[title book\cafe.rb]
title = Café crème à 5 €
author = Zoë Ångström

[title book\dune.rb]
title = ..\..\Dune: Messiah *?
author = C:x/<y>|
INI
}

failed=0
# run LABEL LOADER ARCH EXE DLL LOCALE
run() {
  label=$1 loader=$2 arch=$3 exe=$4 dll=$5 locale=$6
  image=$tmp/$label/image work=$tmp/$label/work
  mkdir -p "$work"
  make_image "$image"
  port=$(free_ports)
  "$readersim" --image "$image" --tcp "$port" --socket-dir "$tmp/$label/sockets" \
    > "$tmp/$label/sim.out" 2> "$tmp/$label/sim.err" &
  sim_pid=$!
  for _ in $(seq 50); do grep -q ready "$tmp/$label/sim.out" 2>/dev/null && break; sleep 0.1; done
  if LC_ALL=$locale PAGORA_WINE=$loader PAGORA_WINEARCH=$arch scripts/windows-run.sh \
       "build/$arch/wineprefix" "$exe" \
       "$(windows_path "$root/$dll")" "$port" "$(windows_path "$image")" "$(windows_path "$work")"; then
    say "$label: passed"
  else
    say "$label: FAILED"
    failed=1
  fi
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
}

scripts/windows-run.sh build/win64/wineprefix --init
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
for locale in C.UTF-8 ru_RU.UTF-8; do
  run "64-bit-$locale" "$wine64" win64 build/win64/tests/windows/wine_session.exe \
    build/win64/pagora.wfx64 "$locale"
done

# 32-bit x86 code runs here when a -m32 program does.
printf 'int main(void){return 0;}\n' > "$tmp/m32.c"
if gcc -m32 "$tmp/m32.c" -o "$tmp/m32" 2>/dev/null && "$tmp/m32" 2>/dev/null && [ -x /usr/lib/wine/wine ]; then
  PAGORA_WINE=/usr/lib/wine/wine PAGORA_WINEARCH=win32 scripts/windows-run.sh build/win32/wineprefix --init
  for locale in C.UTF-8 ru_RU.UTF-8; do
    run "32-bit-$locale" /usr/lib/wine/wine win32 build/win32/tests/windows/wine_session.exe \
      build/win32/pagora.wfx "$locale"
  done
  say "ran pagora.wfx64 under wine64 and pagora.wfx under wine (32-bit)"
else
  say "ran pagora.wfx64 under wine64; this machine runs no 32-bit x86 code, so pagora.wfx runs under the PE loader and qemu-i386-static instead (native32 step)"
fi
say "took $(( $(date +%s) - started )) s"
exit $failed
