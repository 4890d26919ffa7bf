#!/usr/bin/env bash
# Benchmark: builds the release binary, generates synthetic libraries from the
# templates in bench/data and times kvbconfig against the file-system floor
# (bench/Floor.cpp) in two cases:
#
#   full    every vorn.cfg changed before each run: the tool rebuilds everything,
#           measured against the floor that writes everything (--mode full);
#   rerun   nothing changed since the last run, measured against the floor that
#           reads what exists and writes no aircraft.cfg and no fsx.cfg (--mode rerun).
#
#   bash scripts/bench.sh                  1,000 and 10,000 packages of 10 liveries
#   bash scripts/bench.sh --tiny           3 packages: proves that it works (CI)
#   bash scripts/bench.sh --sizes "100 1000" --liveries 10 --runs 7 --show
#   bash scripts/bench.sh --tool path/to/other/kvbconfig   (time another build)
#   bash scripts/bench.sh --before REV   (also the tool of git revision REV, same runs)
#   bash scripts/bench.sh --old-library REV   (also the library of REV's generator)
#
# Each size is generated once under build-release/bench-data/ (never committed),
# installed under FSX only, so that a run is one simulator pass. --old-library
# builds bench/GenLib.cpp of a git revision with g++ in a temporary folder and
# measures its library too, in a table of its own. --before builds kvbconfig of a
# git revision in a temporary folder and times it in the same runs: each pair
# of a tool and its floor alternates with the other tool's pair, so both are
# measured under the same load and their rows sit in one table. Warm cache: each program runs
# once untimed first. The timed runs alternate between the tool and the floor;
# before each (outside the timing) the full case changes every vorn.cfg
# (kvb_genlib --stamp) and puts back the fsx.cfg that does not yet list the
# library, so every run rebuilds every aircraft.cfg and registers the library
# again; the rerun case changes nothing, and fsx.cfg stays as the tool left it.
# Every run starts with nothing left to write back to the disk. Wall time is the
# median of the runs, user and system time are those of the median run, peak
# memory the largest of all runs; the ratio is the median over the pairs of the
# tool's wall time over its floor's. When strace is installed, one more untimed
# run of each program and case counts its system calls; when valgrind is, one
# more under callgrind counts its instructions, at up to 1,000 packages.
# kvbconfig's standard output goes to a file, as the pilot client captures it, and
# its report lines to another.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_packages cmake ninja-build g++ time
kvb_need_packages strace valgrind ||
  echo "(going on without the counts of system calls or instructions)" >&2

sizes="1000 10000"
liveries=10
runs=7
mode=()
tool_override=""
before_rev=""
old_rev=""
mode_name="hidden (the default)"
callgrind_max=1000
while [ $# -gt 0 ]; do
  case "$1" in
    --tiny) sizes="3" ;;
    --sizes) sizes="$2"; shift ;;
    --liveries) liveries="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    --show) mode=(--show); mode_name="--show" ;;
    --tool) tool_override="$2"; shift ;;
    --before) before_rev="$2"; shift ;;
    --old-library) old_rev="$2"; shift ;;
    *) echo "usage: scripts/bench.sh [--tiny] [--sizes \"N...\"] [--liveries M] [--runs R] [--show] [--tool PATH] [--before REV] [--old-library REV]" >&2
       exit 2 ;;
  esac
  shift
done
[ "$runs" -ge 1 ] || { echo "--runs must be at least 1" >&2; exit 2; }

cmake --preset release >/dev/null
cmake --build --preset release --target kvbconfig kvb_genlib kvb_floor >/dev/null
bin="$PWD/build-release"
tool="${tool_override:-$bin/kvbconfig}"
floor="$bin/bench/kvb_floor"
data_root="$bin/bench-data"
mkdir -p "$data_root"
strace_bin=$(command -v strace || true)
valgrind_bin=$(command -v valgrind || true)
# The calls that show where the file-system work goes; the rest are summed.
traced_calls="newfstatat getdents64 openat read write close fsync unlink rename"

# The libraries: label, generator, folder prefix, what generates it.
libraries=("templates|$bin/bench/kvb_genlib|$data_root/|$(cat bench/data/* | sha1sum | cut -c1-40)")
work_root=$(mktemp -d -p "$data_root" .tables.XXXXXX)
old_bin="$work_root/old"
trap 'rm -rf "$work_root"' EXIT
if [ -n "$old_rev" ]; then
  mkdir "$old_bin"
  git show "$old_rev:bench/GenLib.cpp" >"$old_bin/GenLib.cpp"
  echo "Building the generator of $old_rev" >&2
  g++ -std=c++17 -O2 -DKVB_BENCH_DATA="\"$PWD/bench/data\"" -o "$old_bin/kvb_genlib" \
    "$old_bin/GenLib.cpp"
  libraries+=("old: the generator of $old_rev|$old_bin/kvb_genlib|$data_root/old-|old")
fi

# The tools timed: name and path. The first one prepares each case.
programs=("kvbconfig|$tool")
if [ -n "$before_rev" ]; then
  before_src="$work_root/before-src"
  mkdir "$before_src"
  echo "Building the kvbconfig of $before_rev" >&2
  git archive "$before_rev" | tar -x -C "$before_src"
  cmake -S "$before_src" -B "$before_src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKVB_BUILD_TESTS=OFF >/dev/null
  cmake --build "$before_src/build" --target kvbconfig >/dev/null
  programs+=("before|$before_src/build/kvbconfig")
fi

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

prepare() { if [ "$1" = full ]; then prepare_full; else settle; fi; }

# One timed run of a case: "wall_us user_s sys_s maxrss_kib" appended to $3.
time_one() {
  local case_name="$1" samples="$2" out="$3"
  shift 3
  prepare "$case_name"
  # The shell's clock, not date: starting a process here costs milliseconds.
  local t0 t1
  t0=${EPOCHREALTIME//[.,]/}
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >"$out" 2>"$work/report.txt" </dev/null
  t1=${EPOCHREALTIME//[.,]/}
  echo "$((t1 - t0)) $(tail -n 1 "$work/time")" >>"$samples"
}

# One untimed run under strace: "total call1 call2 ... other" for $traced_calls.
count_calls() {
  local case_name="$1" counts="$2"
  shift 2
  prepare "$case_name"
  "$strace_bin" -f -c -o "$work/strace.txt" "$@" >"$work/strace-console.txt" \
    2>"$work/report.txt" </dev/null
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

# One untimed run under callgrind: its instructions per livery, or "-".
count_instructions() {
  local case_name="$1"
  shift
  if [ -z "$valgrind_bin" ] || [ "$n" -gt "$callgrind_max" ]; then echo "-"; return; fi
  prepare "$case_name"
  "$valgrind_bin" --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" \
    >"$work/callgrind-console.txt" 2>/dev/null </dev/null
  awk -v l="$liveries_total" '/^summary:/ { printf "%.0f\n", $2 / l }' "$work/callgrind.out"
}

# Median wall of a sample file, with that run's user and system time, and the
# largest peak memory: "wall_s user_s sys_s maxrss_mib".
summarise() {
  local max_rss
  max_rss=$(awk '$4 > m { m = $4 } END { print m }' "$1")
  sort -n "$1" | awk -v n="$(wc -l <"$1")" -v rss="$max_rss" \
    'NR == int((n + 1) / 2) { printf "%.3f %.2f %.2f %.1f\n", $1 / 1e6, $2, $3, rss / 1024 }'
}

# The median over the pairs of tool wall over floor wall, and its range:
# "median min-max".
pair_ratios() {
  paste -d ' ' "$1" "$2" | awk '{ print $1 / $5 }' | sort -g |
    awk '{ r[NR] = $1 } END { printf "%.2f %.2f-%.2f\n", r[int((NR + 1) / 2)], r[1], r[NR] }'
}

# Measures one library at every size: its table, system calls and time per livery.
measure() {
  local label="$1" prefix="$3" source="$4"
  genlib="$2"
  table="$work_root/table-${#done_tables[@]}"
  calls_table="$work_root/calls-${#done_tables[@]}"
  per_livery=()
  : >"$calls_table"
  printf '%-9s %-9s %-6s %-10s %9s %8s %8s %8s %9s %10s %7s %11s %7s\n' packages liveries \
    case program "wall s" "user s" "sys s" "RSS MiB" syscalls instr/liv ratio range calls \
    >"$table"
  printf '%-9s %-6s %-10s %9s' packages case program total >>"$calls_table"
  for call in $traced_calls other; do printf ' %10s' "$call" >>"$calls_table"; done
  echo >>"$calls_table"
  local cfg_sizes=""

  for n in $sizes; do
    data="${prefix}${n}x${liveries}"
    local stamp
    stamp="$(sha1sum "$genlib" | cut -c1-40) $source $n $liveries fsx"
    if [ ! -f "$data/.stamp" ] || [ "$(cat "$data/.stamp")" != "$stamp" ]; then
      echo "Generating $n packages of $liveries liveries in $data" >&2
      "$genlib" --root "$data" --packages "$n" --liveries "$liveries" --simulators fsx >&2
      echo "$stamp" >"$data/.stamp"
    fi
    cfg_sizes="$cfg_sizes $n: $(find "$data/FSX" -name vorn.cfg -printf '%s\n' | sort -n |
      awk '{ s[NR] = $1 } END { printf "median %d, %d to %d;", s[int((NR + 1) / 2)], s[1], s[NR] }')"
    work="$data/.bench"
    rm -rf "$work"
    mkdir -p "$work"
    export HOME="$data/home" USER=bench APPDATA="$data/appdata" WINEPREFIX="$data/home/.wine"
    liveries_total=$((n * liveries))

    # Warm-up of the full case, and the sizes that the floor writes.
    prepare_full
    "$tool" "${mode[@]}" >"$work/console.txt" 2>"$work/report.txt" </dev/null
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
        "$tool" "${mode[@]}" >"$work/console.txt" 2>"$work/report.txt" </dev/null
        for program in "${programs[@]}"; do
          settle
          "${program#*|}" "${mode[@]}" >"$work/console.txt" 2>"$work/report.txt" </dev/null
        done
        settle
        "$floor" --mode rerun "${floor_args[@]}" >"$work/floor-console.txt" </dev/null
      fi
      echo "Timing $n packages ($label), case $case_name: $runs runs of each program" >&2
      for ((r = 0; r < runs; r++)); do
        for p in "${!programs[@]}"; do
          time_one "$case_name" "$work/tool$p-$case_name" "$work/console.txt" \
            "${programs[p]#*|}" "${mode[@]}"
          time_one "$case_name" "$work/floor$p-$case_name" "$work/floor-console.txt" \
            "$floor" --mode "$case_name" "${floor_args[@]}"
          if [ "$(wc -c <"$work/console.txt")" -ne "$(wc -c <"$work/floor-console.txt")" ]; then
            echo "the floor's console output differs in size from ${programs[p]%%|*}'s" >&2
            exit 1
          fi
        done
      done
      local floor_calls="-" floor_instr
      if [ -n "$strace_bin" ]; then
        count_calls "$case_name" "$work/calls-floor-$case_name" \
          "$floor" --mode "$case_name" "${floor_args[@]}"
        floor_calls=$(cut -d ' ' -f 1 "$work/calls-floor-$case_name")
      fi
      floor_instr=$(count_instructions "$case_name" "$floor" --mode "$case_name" "${floor_args[@]}")
      for p in "${!programs[@]}"; do
        local name="${programs[p]%%|*}" path="${programs[p]#*|}" tool_calls="-" tool_instr
        if [ -n "$strace_bin" ]; then
          count_calls "$case_name" "$work/calls-tool$p-$case_name" "$path" "${mode[@]}"
          tool_calls=$(cut -d ' ' -f 1 "$work/calls-tool$p-$case_name")
          awk -v n="$n" -v c="$case_name" -v name="$name" '{
              printf "%-9s %-6s %-10s", n, c, name
              for (i = 1; i <= NF; ++i) printf " %10s", $i
              printf "\n"
            }' "$work/calls-tool$p-$case_name" >>"$calls_table"
        fi
        tool_instr=$(count_instructions "$case_name" "$path" "${mode[@]}")

        read -r tw tu ts tm <<<"$(summarise "$work/tool$p-$case_name")"
        read -r fw fu fs fm <<<"$(summarise "$work/floor$p-$case_name")"
        read -r ratio range <<<"$(pair_ratios "$work/tool$p-$case_name" "$work/floor$p-$case_name")"
        awk -v n="$n" -v l="$liveries_total" -v c="$case_name" -v name="$name" \
          -v tw="$tw" -v tu="$tu" -v ts="$ts" -v tm="$tm" -v tc="$tool_calls" -v ti="$tool_instr" \
          -v fw="$fw" -v fu="$fu" -v fs="$fs" -v fm="$fm" -v fc="$floor_calls" -v fi="$floor_instr" \
          -v ratio="$ratio" -v range="$range" 'BEGIN {
            fmt = "%-9s %-9s %-6s %-10s %9.3f %8.2f %8.2f %8.1f %9s %10s %7s %11s %7s\n"
            calls = tc == "-" ? "" : sprintf("%.2f", tc / fc)
            printf fmt, n, l, c, name, tw, tu, ts, tm, tc, ti, ratio, range, calls
            printf fmt, n, l, c, "floor", fw, fu, fs, fm, fc, fi, "", "", ""
          }' >>"$table"
        if [ "$p" -eq 0 ]; then
          per_livery+=("$case_name $n $(awk -v w="$tw" -v l="$liveries_total" \
            'BEGIN { printf "%.1f", w * 1e6 / l }')")
        fi
      done
      if [ -n "$strace_bin" ]; then
        awk -v n="$n" -v c="$case_name" '{
            printf "%-9s %-6s %-10s", n, c, "floor"
            for (i = 1; i <= NF; ++i) printf " %10s", $i
            printf "\n"
          }' "$work/calls-floor-$case_name" >>"$calls_table"
      fi
    done
  done

  {
    echo
    echo "Library: $label; vorn.cfg bytes at${cfg_sizes%;}"
    cat "$table"
    if [ -n "$strace_bin" ]; then
      echo "System calls of one run of each program (strace -f -c):"
      cat "$calls_table"
    fi
    if [ ${#per_livery[@]} -gt 2 ]; then
      printf 'kvbconfig wall time per livery:'
      for entry in "${per_livery[@]}"; do
        read -r case_name size micro <<<"$entry"
        printf ' %s %s us at %s packages;' "$case_name" "$micro" "$size"
      done
      echo
    fi
  } >"$table.done"
  done_tables+=("$table.done")
}

done_tables=()
for library in "${libraries[@]}"; do
  IFS='|' read -r label genlib_path prefix source <<<"$library"
  measure "$label" "$genlib_path" "$prefix" "$source"
done

echo
echo "kvbconfig against the file-system floors; ${runs} paired runs each, warm cache, mode $mode_name."
echo "Library under FSX only: one simulator pass. full: every vorn.cfg changed before each run;"
echo "rerun: nothing changed. ratio: median over the pairs of kvbconfig's wall time over its floor's,"
echo "range: the lowest and highest of those; calls: kvbconfig's system calls over the floor's;"
echo "instr/liv: instructions per livery under callgrind (up to $callgrind_max packages)."
[ -z "$before_rev" ] || echo "before: the kvbconfig of $before_rev ($(git rev-parse --short "$before_rev")), its pairs alternating with kvbconfig's."
[ -n "$strace_bin" ] || echo "(strace is not installed: no system-call counts)"
[ -n "$valgrind_bin" ] || echo "(valgrind is not installed: no instruction counts)"
cat "${done_tables[@]}"
