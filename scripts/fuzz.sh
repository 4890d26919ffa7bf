#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz, with clang) and runs each for a fixed time.
# Usage: scripts/fuzz.sh [seconds per target, default 20]
# Fails on any finding; the input that caused it is kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
seconds=${1:-20}
kvb_need_packages cmake ninja-build g++ clang libclang-rt-14-dev
cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j2 >build-fuzz/build.log || { cat build-fuzz/build.log >&2; exit 1; }
mkdir -p build-fuzz/findings
# The targets' scratch files, gone after the run even when a target crashed.
scratch_parent=/dev/shm
[ -d "$scratch_parent" ] || scratch_parent="${TMPDIR:-/tmp}"
KVB_FUZZ_SCRATCH=$(mktemp -d -p "$scratch_parent" kvb-fuzz.XXXXXX)
export KVB_FUZZ_SCRATCH
trap 'rm -rf "$KVB_FUZZ_SCRATCH"' EXIT
status=0
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  [ -x "build-fuzz/$target" ] || continue
  work="build-fuzz/work/$target"
  log="build-fuzz/$target.log"
  mkdir -p "$work"
  # New inputs go to the work folder; the committed seeds stay as they are.
  if "build-fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" \
      "$work" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    echo "$target: FINDING (see $log and build-fuzz/findings/)" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -5 >&2 || true
    status=1
  fi
done
exit $status
