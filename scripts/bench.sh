#!/usr/bin/env bash
# Benchmark: builds the release binary, generates synthetic libraries and times
# kvbconfig against the file-system floor (bench/Floor.cpp) in the same run.
#
#   bash scripts/bench.sh                  1,000 and 10,000 packages of 10 liveries
#   bash scripts/bench.sh --tiny           3 packages: proves that it works (CI)
#   bash scripts/bench.sh --sizes "100 1000" --liveries 10 --runs 7 --show
#   bash scripts/bench.sh --tool path/to/other/kvbconfig   (compare two builds)
#
# Each size is generated once under build-release/bench-data/ (never committed)
# and installed under both simulators, so a run of either program does both
# passes. Warm cache: each program runs once untimed first, and every run starts
# with the files cached and nothing left to write back. The library stays in
# the state that a run leaves (aircraft.cfg present, panel folders as the mode
# wants them), which a run rebuilds the same way every time; only the two
# simulator configuration files are restored before every run, so that every
# run registers the library and rewrites them as a first run does. Wall time is
# the median of the runs, user and system time are those of the median run's
# program, peak memory the largest of all runs. kvbconfig's standard output goes
# to a file, as the pilot client captures it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_packages cmake ninja-build g++ time

sizes="1000 10000"
liveries=10
runs=5
mode=()
tool_override=""
mode_name="hidden (the default)"
while [ $# -gt 0 ]; do
  case "$1" in
    --tiny) sizes="3" ;;
    --sizes) sizes="$2"; shift ;;
    --liveries) liveries="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    --show) mode=(--show); mode_name="--show" ;;
    --tool) tool_override="$2"; shift ;;
    *) echo "usage: scripts/bench.sh [--tiny] [--sizes \"N...\"] [--liveries M] [--runs R] [--show] [--tool PATH]" >&2
       exit 2 ;;
  esac
  shift
done
[ "$runs" -ge 1 ] || { echo "--runs must be at least 1" >&2; exit 2; }

cmake --preset release >/dev/null
cmake --build --preset release --target kvbconfig kvb_genlib kvb_floor >/dev/null
bin="$PWD/build-release"
tool="${tool_override:-$bin/kvbconfig}"
genlib="$bin/bench/kvb_genlib"
floor="$bin/bench/kvb_floor"
data_root="$bin/bench-data"
mkdir -p "$data_root"

# One timed run: "wall_us user_s sys_s maxrss_kib" appended to $1.
time_one() {
  local samples="$1" out="$2"
  shift 2
  restore
  local t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >"$out" </dev/null
  t1=$(date +%s%N)
  echo "$(( (t1 - t0) / 1000 )) $(tail -n 1 "$work/time")" >>"$samples"
}

# Every run starts alike: the simulator files as generated, and nothing of the
# previous run still waiting to be written back (emptying or deleting a file
# whose pages are being written out waits for them, which would charge one
# program for the other's writes).
restore() {
  cp "$data/pristine/fsx.cfg" "$data/appdata/Microsoft/FSX/fsx.cfg"
  cp "$data/pristine/Prepar3D.CFG" "$data/appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG"
  sync
}

# Median wall of a sample file, with that run's user and system time, and the
# largest peak memory: "wall_s user_s sys_s maxrss_mib".
summarise() {
  local max_rss
  max_rss=$(awk '$4 > m { m = $4 } END { print m }' "$1")
  sort -n "$1" | awk -v n="$(wc -l <"$1")" -v rss="$max_rss" \
    'NR == int((n + 1) / 2) { printf "%.3f %.2f %.2f %.1f\n", $1 / 1e6, $2, $3, rss / 1024 }'
}

table="$data_root/table.txt"
: >"$table"
printf '%-9s %-9s %-10s %9s %8s %8s %10s %12s %7s\n' packages liveries program \
  "wall s" "user s" "sys s" "RSS MiB" "liveries/s" ratio >>"$table"
per_livery=()

for n in $sizes; do
  data="$data_root/${n}x${liveries}"
  stamp="$(sha1sum "$genlib" | cut -c1-40) $n $liveries"
  if [ ! -f "$data/.stamp" ] || [ "$(cat "$data/.stamp")" != "$stamp" ]; then
    echo "Generating $n packages of $liveries liveries in $data" >&2
    "$genlib" --root "$data" --packages "$n" --liveries "$liveries" >&2
    echo "$stamp" >"$data/.stamp"
  fi
  work="$data/.bench"
  rm -rf "$work"
  mkdir -p "$work"
  export HOME="$data/home" USER=bench APPDATA="$data/appdata" WINEPREFIX="$data/home/.wine"

  # Warm-up, and the sizes that the floor writes.
  restore
  "$tool" "${mode[@]}" >"$work/console.txt" </dev/null
  records=$(wc -l <"$data/client/data/kvb.dat")
  if [ "$records" -ne $((n * liveries)) ]; then
    echo "kvbconfig wrote $records database records, expected $((n * liveries))" >&2
    exit 1
  fi
  "$floor" --record --root "$data" --manifest "$work/manifest.txt" --console "$work/console.txt"
  time_one "$work/warm-floor" "$work/floor-console.txt" \
    "$floor" --root "$data" --manifest "$work/manifest.txt" "${mode[@]}"

  echo "Timing $n packages: $runs runs of each program" >&2
  for ((r = 0; r < runs; r++)); do
    time_one "$work/tool" "$work/console.txt" "$tool" "${mode[@]}"
    time_one "$work/floor" "$work/floor-console.txt" \
      "$floor" --root "$data" --manifest "$work/manifest.txt" "${mode[@]}"
  done
  if [ "$(wc -c <"$work/console.txt")" -ne "$(wc -c <"$work/floor-console.txt")" ]; then
    echo "the floor's console output differs in size from kvbconfig's" >&2
    exit 1
  fi
  restore

  read -r tw tu ts tm <<<"$(summarise "$work/tool")"
  read -r fw fu fs fm <<<"$(summarise "$work/floor")"
  steps=$((2 * n * liveries))
  awk -v n="$n" -v l="$((n * liveries))" -v steps="$steps" \
    -v tw="$tw" -v tu="$tu" -v ts="$ts" -v tm="$tm" \
    -v fw="$fw" -v fu="$fu" -v fs="$fs" -v fm="$fm" 'BEGIN {
      fmt = "%-9s %-9s %-10s %9.3f %8.2f %8.2f %10.1f %12.0f %7s\n"
      printf fmt, n, l, "kvbconfig", tw, tu, ts, tm, steps / tw, sprintf("%.2f", tw / fw)
      printf fmt, n, l, "floor", fw, fu, fs, fm, steps / fw, ""
    }' >>"$table"
  per_livery+=("$n $(awk -v w="$tw" -v s="$steps" 'BEGIN { printf "%.2f", w * 1e6 / s }')")
done

echo
echo "kvbconfig against the file-system floor; ${runs} timed runs each, warm cache, mode $mode_name."
echo "Both simulators hold the library: a run processes each livery twice; liveries/s counts both passes."
cat "$table"
if [ ${#per_livery[@]} -gt 1 ]; then
  printf 'kvbconfig time per livery:'
  for entry in "${per_livery[@]}"; do
    read -r size micro <<<"$entry"
    printf ' %s us at %s packages;' "$micro" "$size"
  done
  echo
fi
