#!/bin/sh
# Runs a Windows program under Wine in the given prefix, quietly, without the
# Mono and Gecko installers. Usage: wine-run.sh <prefix> <program.exe> [args...]
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A new prefix is made apart, so that its messages and services stay out of the
# program's output.
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
fi
exec /usr/lib/wine/wine64 "$@"
