#!/usr/bin/env bash
# Cross-builds the Windows executable and its tests with MinGW-w64 and runs every
# test under Wine, in a throwaway Wine prefix inside build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
kvb_need_packages g++-mingw-w64-x86-64-posix wine64

cmake --preset windows >/dev/null
cmake --build --preset windows

# One Wine server for the whole run: every process start under Wine would
# otherwise start (and wait for) its own.
export WINEPREFIX="$PWD/build-windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Creates the prefix when needed and starts Wine's services now, away from the
# output pipes of the tests: a service that inherits one would hold it open.
[ -f "$WINEPREFIX/system.reg" ] || echo "Creating the Wine prefix $WINEPREFIX" >&2
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true

# One test executable at a time: the whole-run tests use the prefix's one
# roaming folder.
ctest --preset windows
