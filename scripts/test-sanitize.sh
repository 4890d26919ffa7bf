#!/usr/bin/env bash
# Builds the sanitizer preset (AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs every test of the Linux build under it: any leak or report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j 2
ctest --preset sanitize -j 2
