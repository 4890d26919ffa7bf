#!/usr/bin/env bash
# Builds the tool and runs it on the sample library in examples/, in a scratch
# copy under build/, then shows what it changed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
cmake --preset default >/dev/null
cmake --build --preset default --target kvbconfig
./build/kvbconfig "$@" </dev/null
