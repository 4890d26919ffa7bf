#!/bin/sh
# Runs a Windows program under Wine in the given prefix, quietly, without the
# Mono and Gecko installers. Usage: wine-run.sh <prefix> <program.exe> [args...]
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
