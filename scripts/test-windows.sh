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

kvb_start_wine

# One test executable at a time: the whole-run tests use the prefix's one
# roaming folder.
ctest --preset windows
