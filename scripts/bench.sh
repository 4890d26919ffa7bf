#!/usr/bin/env bash
# Benchmark: builds the release binary, generates synthetic libraries and times
# kvbconfig against the file-system floor (bench/Floor.cpp) in two cases:
#
#   full    every vorn.cfg changed before each run: the tool rebuilds everything,
#           measured against the floor that writes everything (--mode full);
#   rerun   nothing changed since the last run, measured against the floor that
#           reads what exists and writes no aircraft.cfg and no fsx.cfg (--mode rerun).
#
#   bash scripts/bench.sh                  1,000 and 10,000 packages of 10 liveries
#   bash scripts/bench.sh --tiny           3 packages: proves that it works (CI)
#   bash scripts/bench.sh --sizes "100 1000" --liveries 10 --runs 7 --show
#   bash scripts/bench.sh --tool path/to/other/kvbconfig   (compare two builds)
#
# Each size is generated once under build-release/bench-data/ (never committed),
# installed under FSX only, so that a run is one simulator pass. Warm cache: each
# program runs once untimed first. The timed runs alternate between the tool and
# the floor; before each (outside the timing) the full case changes every
# vorn.cfg (kvb_genlib --stamp) and puts back the fsx.cfg that does not yet list
# the library, so every run rebuilds every aircraft.cfg and registers the library
# again; the rerun case changes nothing, and fsx.cfg stays as the tool left it.
# Every run starts with nothing left to write back to the disk. Wall time is the
# median of the runs, user and system time are those of the median run, peak
# memory the largest of all runs. When strace is installed, one more untimed run
# of each program and case counts its system calls. kvbconfig's standard output
# goes to a file, as the pilot client captures it.
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
strace_bin=$(command -v strace || true)
# The calls that show where the file-system work goes; the rest are summed.
traced_calls="newfstatat getdents64 openat read write close fsync unlink rename"

# Before a run of the full case: every vorn.cfg changed, fsx.cfg as the user had
# it before the library was registered.
prepare_full() {
  "$genlib" --root "$data" --stamp
  local file
  for file in "$data"/pristine/*; do
    case "${file##*/}" in
      fsx.cfg) cp "$file" "$data/appdata/Microsoft/FSX/fsx.cfg" ;;
      Prepar3D.CFG) cp "$file" "$data/appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG" ;;
    esac
  done
  settle
}

# Nothing of the previous run may still wait to be written back: emptying or
# replacing a file whose pages are being written out waits for them, which would
# charge one program for the other's writes.
settle() { sync; }

# One timed run of a case: "wall_us user_s sys_s maxrss_kib" appended to $3.
time_one() {
  local case_name="$1" samples="$2" out="$3"
  shift 3
  if [ "$case_name" = full ]; then prepare_full; else settle; fi
  # The shell's clock, not date: starting a process here costs milliseconds.
  local t0 t1
  t0=${EPOCHREALTIME//[.,]/}
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >"$out" </dev/null
  t1=${EPOCHREALTIME//[.,]/}
  echo "$((t1 - t0)) $(tail -n 1 "$work/time")" >>"$samples"
}

# One untimed run under strace: "total call1 call2 ... other" for $traced_calls.
count_calls() {
  local case_name="$1" counts="$2"
  shift 2
  if [ "$case_name" = full ]; then prepare_full; else settle; fi
  "$strace_bin" -f -c -o "$work/strace.txt" "$@" >"$work/strace-console.txt" </dev/null
  awk -v wanted="$traced_calls" '
    $1 ~ /^[0-9.]+$/ && NF >= 5 { calls[$NF] = $4 }
    END {
      n = split(wanted, names, " ")
      line = calls["total"] + 0
      rest = calls["total"] + 0
      for (i = 1; i <= n; ++i) { line = line " " (calls[names[i]] + 0); rest -= calls[names[i]] }
      print line " " rest
    }' "$work/strace.txt" >"$counts"
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
calls_table="$data_root/calls.txt"
: >"$table"
: >"$calls_table"
if [ -n "$strace_bin" ]; then
  printf '%-9s %-9s %-6s %-10s %9s %8s %8s %8s %9s %7s %7s\n' packages liveries case program \
    "wall s" "user s" "sys s" "RSS MiB" syscalls ratio "calls" >>"$table"
  printf '%-9s %-6s %-10s %9s' packages case program total >>"$calls_table"
  for call in $traced_calls other; do printf ' %10s' "$call" >>"$calls_table"; done
  echo >>"$calls_table"
else
  printf '%-9s %-9s %-6s %-10s %9s %8s %8s %8s %7s\n' packages liveries case program \
    "wall s" "user s" "sys s" "RSS MiB" ratio >>"$table"
fi
per_livery=()

for n in $sizes; do
  data="$data_root/${n}x${liveries}"
  stamp="$(sha1sum "$genlib" | cut -c1-40) $n $liveries fsx"
  if [ ! -f "$data/.stamp" ] || [ "$(cat "$data/.stamp")" != "$stamp" ]; then
    echo "Generating $n packages of $liveries liveries in $data" >&2
    "$genlib" --root "$data" --packages "$n" --liveries "$liveries" --simulators fsx >&2
    echo "$stamp" >"$data/.stamp"
  fi
  work="$data/.bench"
  rm -rf "$work"
  mkdir -p "$work"
  export HOME="$data/home" USER=bench APPDATA="$data/appdata" WINEPREFIX="$data/home/.wine"
  liveries_total=$((n * liveries))

  # Warm-up of the full case, and the sizes that the floor writes.
  prepare_full
  "$tool" "${mode[@]}" >"$work/console.txt" </dev/null
  records=$(wc -l <"$data/client/data/kvb.dat")
  if [ "$records" -ne "$liveries_total" ]; then
    echo "kvbconfig wrote $records database records, expected $liveries_total" >&2
    exit 1
  fi
  "$floor" --record --root "$data" --manifest "$work/manifest.txt" --console "$work/console.txt"
  floor_args=(--root "$data" --manifest "$work/manifest.txt")
  prepare_full
  "$floor" --mode full "${floor_args[@]}" >"$work/floor-console.txt" </dev/null

  for case_name in full rerun; do
    if [ "$case_name" = rerun ]; then
      # The full floor left aircraft.cfg files of its own: one real rebuild puts
      # the tool's files back, then one run of each warms the rerun path.
      prepare_full
      "$tool" "${mode[@]}" >"$work/console.txt" </dev/null
      settle
      "$tool" "${mode[@]}" >"$work/console.txt" </dev/null
      settle
      "$floor" --mode rerun "${floor_args[@]}" >"$work/floor-console.txt" </dev/null
    fi
    echo "Timing $n packages, case $case_name: $runs runs of each program" >&2
    for ((r = 0; r < runs; r++)); do
      time_one "$case_name" "$work/tool-$case_name" "$work/console.txt" "$tool" "${mode[@]}"
      time_one "$case_name" "$work/floor-$case_name" "$work/floor-console.txt" \
        "$floor" --mode "$case_name" "${floor_args[@]}"
    done
    if [ "$(wc -c <"$work/console.txt")" -ne "$(wc -c <"$work/floor-console.txt")" ]; then
      echo "the floor's console output differs in size from kvbconfig's ($case_name)" >&2
      exit 1
    fi
    tool_calls="" floor_calls=""
    if [ -n "$strace_bin" ]; then
      count_calls "$case_name" "$work/calls-tool-$case_name" "$tool" "${mode[@]}"
      count_calls "$case_name" "$work/calls-floor-$case_name" \
        "$floor" --mode "$case_name" "${floor_args[@]}"
      tool_calls=$(cat "$work/calls-tool-$case_name")
      floor_calls=$(cat "$work/calls-floor-$case_name")
      awk -v n="$n" -v c="$case_name" '{
          printf "%-9s %-6s %-10s", n, c, NR == 1 ? "kvbconfig" : "floor"
          for (i = 1; i <= NF; ++i) printf " %10s", $i
          printf "\n"
        }' "$work/calls-tool-$case_name" "$work/calls-floor-$case_name" >>"$calls_table"
    fi

    read -r tw tu ts tm <<<"$(summarise "$work/tool-$case_name")"
    read -r fw fu fs fm <<<"$(summarise "$work/floor-$case_name")"
    awk -v n="$n" -v l="$liveries_total" -v c="$case_name" \
      -v tw="$tw" -v tu="$tu" -v ts="$ts" -v tm="$tm" \
      -v fw="$fw" -v fu="$fu" -v fs="$fs" -v fm="$fm" \
      -v tc="${tool_calls%% *}" -v fc="${floor_calls%% *}" 'BEGIN {
        if (tc != "") {
          fmt = "%-9s %-9s %-6s %-10s %9.3f %8.2f %8.2f %8.1f %9d %7s %7s\n"
          printf fmt, n, l, c, "kvbconfig", tw, tu, ts, tm, tc, sprintf("%.2f", tw / fw), \
            sprintf("%.2f", tc / fc)
          printf fmt, n, l, c, "floor", fw, fu, fs, fm, fc, "", ""
        } else {
          fmt = "%-9s %-9s %-6s %-10s %9.3f %8.2f %8.2f %8.1f %7s\n"
          printf fmt, n, l, c, "kvbconfig", tw, tu, ts, tm, sprintf("%.2f", tw / fw)
          printf fmt, n, l, c, "floor", fw, fu, fs, fm, ""
        }
      }' >>"$table"
    per_livery+=("$case_name $n $(awk -v w="$tw" -v l="$liveries_total" \
      'BEGIN { printf "%.1f", w * 1e6 / l }')")
  done
done

echo
echo "kvbconfig against the file-system floors; ${runs} paired runs each, warm cache, mode $mode_name."
echo "Library under FSX only: one simulator pass. full: every vorn.cfg changed before each run;"
echo "rerun: nothing changed. ratio: kvbconfig's median wall time over the floor's; calls: over its system calls."
cat "$table"
if [ -n "$strace_bin" ]; then
  echo
  echo "System calls of one run of each program (strace -f -c):"
  cat "$calls_table"
else
  echo "(strace is not installed: no system-call counts)"
fi
if [ ${#per_livery[@]} -gt 2 ]; then
  printf 'kvbconfig wall time per livery:'
  for entry in "${per_livery[@]}"; do
    read -r case_name size micro <<<"$entry"
    printf ' %s %s us at %s packages;' "$case_name" "$micro" "$size"
  done
  echo
fi
