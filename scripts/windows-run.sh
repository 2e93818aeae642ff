#!/bin/sh
# Runs a Windows program under Wine, headless, in a private Wine prefix.
#
# usage: windows-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
#        windows-run.sh PREFIX_DIR --init   (create the prefix, start its server)
#        windows-run.sh PREFIX_DIR --stop   (end the prefix's Wine server)
#
# The build sets this script as its cross-compiling emulator, so ctest runs
# every test executable through it. The prefix is created on first use (under
# a lock, as ctest may start several tests at once) and reused afterwards; no
# window, display or user prompt is ever involved. The program's exit status
# is passed through.
set -eu

if [ $# -lt 2 ]; then
  echo "usage: windows-run.sh PREFIX_DIR PROGRAM.exe [ARGS...] | PREFIX_DIR --init | PREFIX_DIR --stop" >&2
  exit 2
fi
prefix=$1
shift

find_tool() {
  for candidate in "$@"; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return 0
    fi
  done
  return 1
}

# PAGORA_WINE names another loader: the 32-bit one (/usr/lib/wine/wine, from
# wine32) runs 32-bit programs, in a prefix of its own made with
# PAGORA_WINEARCH=win32.
wine=${PAGORA_WINE:-}
[ -n "$wine" ] || wine=$(find_tool wine64 /usr/lib/wine/wine64 /usr/lib64/wine/wine64) || {
  echo "windows-run.sh: wine64 not found (install the wine64 package)" >&2
  exit 127
}
wineserver=$(find_tool wineserver64 /usr/lib/wine/wineserver64 wineserver) || {
  echo "windows-run.sh: wineserver not found (install the wine64 package)" >&2
  exit 127
}

unset DISPLAY WAYLAND_DISPLAY
if [ "$1" = "--stop" ]; then
  [ -d "$prefix" ] || exit 0
  WINEPREFIX=$(cd "$prefix" && pwd)
  export WINEPREFIX
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true  # gone before the next start
  exit 0
fi
mkdir -p "$prefix"
WINEPREFIX=$(cd "$prefix" && pwd)
WINEARCH=${PAGORA_WINEARCH:-win64}
WINELOADER=$wine
WINESERVER=$wineserver
WINEDEBUG=-all
# No Mono or Gecko download prompts, no desktop menu entries.
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX WINEARCH WINELOADER WINESERVER WINEDEBUG WINEDLLOVERRIDES

# The stamp is written only once wineboot has finished, so an interrupted
# first run is redone. One server is kept between programs, which spares each
# test executable the start of a new one; it ends by itself a minute after the
# last program. A new server gets its background services from a silent first
# program: started by a test executable instead, they would hold its output
# open (and its caller waiting) long after it exits. The lock keeps parallel
# first runs from racing through these steps.
ready=$WINEPREFIX/.ready
(
  flock 9
  if [ ! -f "$ready" ]; then
    if ! "$wine" wineboot --init >"$WINEPREFIX.log" 2>&1 9>&-; then
      echo "windows-run.sh: creating the Wine prefix failed, see $WINEPREFIX.log" >&2
      exit 1
    fi
    "$wineserver" -w 9>&-
    touch "$ready"
  fi
  # (The lock's descriptor is not handed on to processes that outlive this.)
  if "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"

if [ "$1" = "--init" ]; then
  exit 0
fi
exec "$wine" "$@"
