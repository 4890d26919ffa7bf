#!/usr/bin/env bash
# Builds the tool and runs every test of the Linux build.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j "$(nproc)"
