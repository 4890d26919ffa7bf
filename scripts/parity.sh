#!/usr/bin/env bash
# Runs the Linux and the Windows executable on the same libraries and checks that
# they write the same bytes into every file (kvb.dat, each aircraft.cfg, fsx.cfg,
# Prepar3D.CFG...) and print the same lines on standard output. Standard error is
# kept beside, not compared: each system words its errors and paths its own way.
#
# Both runs share one Wine prefix: the settings name folders on its drive C:,
# which the Linux build reaches through $WINEPREFIX/dosdevices/c: and the Windows
# build natively, and both find the application-data folder in the prefix's
# roaming folder (the Linux build with APPDATA unset). Each scenario is set up
# afresh before each run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
kvb_need_packages g++-mingw-w64-x86-64-posix wine64

cmake --preset default >/dev/null
cmake --build --preset default --target kvbconfig $(
  grep -q kvb_genlib bench/CMakeLists.txt 2>/dev/null && echo kvb_genlib)
cmake --preset windows >/dev/null
cmake --build --preset windows --target kvbconfig

top=$PWD
kvb_start_wine

# Wine names the profile folder after the user; the Linux build looks for it by $USER.
user=$(id -un)
export USER=$user
drive="$WINEPREFIX/drive_c"
roaming="$drive/users/$user/AppData/Roaming"
tree="$drive/kvbparity"     # C:\kvbparity
root='C:\kvbparity'
stage="$top/build-windows/parity"
rm -rf "$stage"
mkdir -p "$stage"

# Puts C:\kvbparity in for a token in every file of a folder.
replace_token() {
  local folder=$1 token=$2
  grep -rlZF -- "$token" "$folder" 2>/dev/null |
    TOKEN=$token xargs -0 -r perl -pi -e 's/\Q$ENV{TOKEN}\E/C:\\kvbparity/g'
}

# Points the settings of a staged scenario at its folders on drive C:.
set_paths() {
  local ini="$1/appdata/VORN/Zaro/config/zaro.ini" fsx=$2 p3d=$3 client=$4
  perl -pi -e "s/^(fsx_path\\s*=)[^\\r\\n]*/\${1}C:\\\\kvbparity\\\\$fsx/i;
               s/^(prepar3d_path\\s*=)[^\\r\\n]*/\${1}C:\\\\kvbparity\\\\$p3d/i;
               s/^(Path\\s*=)[^\\r\\n]*/\${1}C:\\\\kvbparity\\\\$client/i" "$ini"
}

reset_scenario() {
  local template=$1
  rm -rf "$tree" "$roaming/VORN" "$roaming/Microsoft" "$roaming/Lockheed Martin"
  mkdir -p "$tree" "$roaming"
  (cd "$template" && find . -mindepth 1 -maxdepth 1 ! -name appdata -exec cp -a {} "$tree/" \;)
  [ -d "$template/appdata" ] && cp -a "$template/appdata/." "$roaming/"
  return 0
}

# run_tool linux|windows args...: one run from the root of drive C:.
run_tool() {
  local target=$1
  shift
  if [ "$target" = linux ]; then
    (cd "$drive" && env -u APPDATA "$top/build/kvbconfig" "$@" </dev/null)
  else
    (cd "$drive" && /usr/lib/wine/wine64 "$top/build-windows/kvbconfig.exe" "$@" </dev/null)
  fi
}

# The console as lines: no CR, no pause prompt (each system words its own, and
# Wine's, with no input, ends no line).
console_lines() {
  tr -d '\r' | perl -ne 's/^Press any key to continue[ .]*//i and $_ eq "\n" and next; print'
}

failures=0
checked=0
# check_scenario name template "args of run 1" ["args of run 2" ...]
check_scenario() {
  local name=$1 template=$2
  shift 2
  local target runs
  for target in linux windows; do
    reset_scenario "$template"
    for runs in "$@"; do
      # shellcheck disable=SC2086
      run_tool "$target" $runs
    done >"$stage/$name.$target.console" 2>"$stage/$name.$target.errors"
    console_lines <"$stage/$name.$target.console" >"$stage/$name.$target.lines"
    mkdir -p "$stage/$name.$target/appdata"
    cp -a "$tree/." "$stage/$name.$target/"
    cp -a "$roaming/." "$stage/$name.$target/appdata/"
    rm -rf "$stage/$name.$target/appdata/Microsoft/Windows"  # Wine's own
  done
  checked=$((checked + 1))
  if diff -r "$stage/$name.linux" "$stage/$name.windows" >"$stage/$name.diff" &&
    diff "$stage/$name.linux.lines" "$stage/$name.windows.lines" >>"$stage/$name.diff"; then
    echo "same bytes: $name ($(find "$stage/$name.linux" -type f | wc -l) files)"
  else
    echo "DIFFERENT: $name" >&2
    head -40 "$stage/$name.diff" >&2
    failures=$((failures + 1))
  fi
}

# The sample library.
if [ -d examples ]; then
  cp -a examples "$stage/examples"
  set_paths "$stage/examples" FSX Prepar3D Zaro
  check_scenario sample-hidden "$stage/examples" ""
  check_scenario sample-shown "$stage/examples" "--show"
  check_scenario sample-switch "$stage/examples" "--show" "--hidden --dbexport"
fi

# A generated library of realistic size and variety.
if [ -x build/bench/kvb_genlib ]; then
  build/bench/kvb_genlib --root "$stage/generated" --packages 40 --liveries 6 >/dev/null
  rm -rf "$stage/generated/pristine" "$stage/generated/home"
  replace_token "$stage/generated" "$stage/generated"
  check_scenario generated "$stage/generated" "--show" ""
fi

# Applies a whole-run scenario's setup to its staged tree; fails on what only the
# Linux test harness can do (links, escaped names).
apply_setup() {
  local folder=$1 setup=$2 verb path rest
  [ -f "$setup" ] || return 0
  while read -r verb path rest; do
    case "$verb" in
      '' | '#'*) ;;
      mkdir) mkdir -p "$folder/$path" ;;
      readonly) chmod a-w "$folder/$path" ;;
      *) return 1 ;;
    esac
    case "$path" in *%*) return 1 ;; esac
  done < <(tr -d '\r' <"$setup")
}

# The whole-run scenarios that need no environment of their own and no setup
# beyond folders and read-only files.
for scenario in tests/run/scenarios/*/; do
  [ -d "$scenario/input" ] || continue
  name=$(basename "$scenario")
  [ -s "$scenario/env" ] && continue
  # The help says where each system finds the application-data folder: not the same.
  grep -q @APPDATA_RULE@ "$scenario/expected/console.txt" && continue
  mkdir -p "$stage/$name"
  if [ -f "$scenario/base" ]; then
    while read -r base; do
      [ -n "$base" ] && cp -a "$base/." "$stage/$name/"
    done <"$scenario/base"
  fi
  cp -a "$scenario/input/." "$stage/$name/"
  replace_token "$stage/$name" "@ROOT@"
  apply_setup "$stage/$name" "$scenario/setup" || continue
  runs=("")
  [ -f "$scenario/args" ] && mapfile -t runs < <(tr -d '\r' <"$scenario/args")
  check_scenario "run-$name" "$stage/$name" "${runs[@]}"
done

echo "$checked scenarios, $failures with differences (details in $stage)"
[ "$checked" -gt 0 ] && [ "$failures" -eq 0 ]
