#!/usr/bin/env bash
# Builds the tool and runs it on the sample library in examples/, in a scratch
# copy under build/sample/, then shows what it changed. Arguments go to the tool:
#   bash scripts/run-sample.sh            # hides the library's aircraft (default)
#   bash scripts/run-sample.sh --show     # shows them (creates the panel folders)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kvb_need_build_tools
cmake --preset default >/dev/null
cmake --build --preset default --target kvbconfig

sample="$PWD/build/sample"
rm -rf "$sample"
mkdir -p "$sample/home"
cp -R examples/. "$sample/"

# The sample's settings name Windows folders; point them at the scratch copy.
printf '%s\r\n' '; Zaro pilot client settings, written by scripts/run-sample.sh' \
  '[INSTALL]' \
  "Path=$sample/Zaro" \
  "fsx_path=$sample/FSX" \
  "prepar3d_path=$sample/Prepar3D" \
  'Debug=0' >"$sample/appdata/VORN/Zaro/config/zaro.ini"

echo "== kvbconfig${*:+ $*}"
(cd "$sample" && APPDATA="$sample/appdata" HOME="$sample/home" USER="${USER:-kvb}" \
  "$OLDPWD/build/kvbconfig" "$@" </dev/null)

# Files hold CR LF; show them with plain line ends.
show() { echo; echo "== $1"; sed 's/\r$//' "$sample/$1"; }
show Zaro/data/kvb.dat
echo "(both passes write this file; the Prepar3D pass runs last, so it lists that library)"
show FSX/SimObjects/VORN_KVB/VORN_A320/aircraft.cfg
echo
echo "== panel folders"
panels=$(cd "$sample" && find FSX Prepar3D -iname panel | sort)
echo "${panels:-(none: the aircraft are hidden)}"
for cfg in "Microsoft/FSX/fsx.cfg" "Lockheed Martin/Prepar3D/Prepar3D.CFG"; do
  echo
  echo "== appdata/$cfg (changes)"
  if diff -u --strip-trailing-cr "examples/appdata/$cfg" "$sample/appdata/$cfg"; then
    echo "(unchanged: the library is registered already)"
  fi
done
