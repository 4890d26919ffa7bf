#!/usr/bin/env bash
# Makes the Windows programs that the version reader's tests read: small PE images,
# 32-bit and 64-bit, each with a version resource, and a few damaged ones. Run it only
# to change them; the tests read the committed files and need no MinGW.
# Needs the MinGW binutils and a C preprocessor:
#   apt-get install binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 cpp
set -euo pipefail
cd "$(dirname "$0")/../tests/data/exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version resource: FILEVERSION a,b,c,d and a product version that differs.
version_rc() {
  local v="$1,$2,$3,$4"
  cat <<RC
LANGUAGE 9, 1
${5:-1} VERSIONINFO
FILEVERSION $v
PRODUCTVERSION $1,$2,0,0
FILEOS 0x40004
FILETYPE 1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileVersion", "$1.$2.$3.$4"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
RC
}

# Other resources before and after the version in the type directory, some of them
# under a name rather than a number, as real programs have them.
MANIFEST='1 24 BEGIN "<assembly/>" END'
DATA='1 RCDATA BEGIN "kvb" END
1 KVBDATA BEGIN "kvb" END'
MORE="$MANIFEST
$DATA
1 3 BEGIN \"kvb\" END
1 KVBMORE BEGIN \"kvb\" END"

# link NAME BITS [CODE]: the image NAME from $work/NAME.rc, with CODE bytes of code.
link() {
  local name=$1 arch=x86_64 target=pe-x86-64
  [ "$2" = 32 ] && arch=i686 target=pe-i386
  printf '\t.text\n\t.globl start\nstart:\n\txorl %%eax, %%eax\n\tret\n\t.fill %d, 1, 0xcc\n' \
    "${3:-0}" >"$work/start.s"
  "$arch-w64-mingw32-as" "$work/start.s" -o "$work/start.o"
  "$arch-w64-mingw32-windres" --preprocessor=cpp -F "$target" "$work/$name.rc" -O coff \
    -o "$work/res.o"
  "$arch-w64-mingw32-ld" -s -e start --subsystem console --no-insert-timestamp \
    --disable-dynamicbase --disable-reloc-section "$work/start.o" "$work/res.o" -o "$name"
}

# exe NAME BITS MAJOR MINOR BUILD REVISION [more resources] [code bytes]
exe() {
  { version_rc "$3" "$4" "$5" "$6"; printf '%s\n' "${7:-}"; } >"$work/$1.rc"
  link "$1" "$2" "${8:-0}"
}

exe fsx-10.0.61637.exe 32 10 0 61637 0 "$MANIFEST"
exe fsx-10.0.62615.exe 32 10 0 62615 0 "$MANIFEST"
exe p3d-1.4.4747.exe 32 1 4 4747 0 "$DATA"
exe p3d-2.5.12945.exe 32 2 5 12945 0 "$DATA"
exe p3d-3.1.2.exe 32 3 1 2 15831 "$DATA"
exe p3d-3.4.22.exe 32 3 4 22 19868 "$DATA"
# Resources that begin 4 KiB into the file, and version data 4 KiB into them, as in a
# real program.
exe p3d-4.5.14.exe 64 4 5 14 34698 "$MORE
2 RCDATA BEGIN \"$(printf '%*s' 4000 '' | tr ' ' k)\" END" 4096
exe p3d-5.4.9.exe 64 5 4 9 28482 "$MORE"
exe p3d-6.0.34.exe 64 6 0 34 31011 "$MORE"
# The resources in a section of another name, as some linkers make them.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-objcopy --rename-section .rsrc=.vdata p3d-6.0.34.exe

# Two names and two languages: the first of each, in directory order, is 5.4.9.28482.
{
  version_rc 5 4 9 28482
  version_rc 2 0 0 2 2
  version_rc 1 0 0 1 | sed 's/^LANGUAGE 9, 1/LANGUAGE 12, 1/'
} >"$work/several-versions.exe.rc"
link several-versions.exe 64

printf '%s\n' "$MORE" >"$work/no-version.exe.rc"
link no-version.exe 64

: >empty.exe
# An MS-DOS program: the header and stub of a Windows one, without the rest.
head -c 128 p3d-1.4.4747.exe >not-pe.exe

u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
put32() {
  printf "$(printf '\\%03o' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The file offset of the version's data entry: type 16, then the first entry of each
# level, in the resource directory whose section starts at file offset $2.
data_entry() {
  local at=$(($2 + 16))
  while [ "$(u32 "$1" $at)" != 16 ]; do at=$((at + 8)); done
  at=$(($2 + ($(u32 "$1" $((at + 4))) & 0x7fffffff) + 16))
  at=$(($2 + ($(u32 "$1" $((at + 4))) & 0x7fffffff) + 16))
  echo $(($2 + $(u32 "$1" $((at + 4)))))
}
# The resource section's file offset and address.
rsrc_offset() {
  echo $((0x$(x86_64-w64-mingw32-objdump -h "$1" | awk '$2 == ".rsrc" { print $6 }')))
}
rsrc_rva() {
  local pe magic
  pe=$(u32 "$1" 60)
  magic=$(od -An -tu2 -j $((pe + 24)) -N2 "$1" | tr -d ' ')
  u32 "$1" $((pe + 24 + (magic == 267 ? 96 : 112) + 16))
}

# The version data lies far beyond every section.
cp p3d-2.5.12945.exe outside.exe
put32 outside.exe "$(data_entry outside.exe "$(rsrc_offset outside.exe)")" $((0x7fff0000))

# The file ends inside the version's fixed part, after its signature.
rsrc=$(rsrc_offset p3d-5.4.9.exe)
entry=$(data_entry p3d-5.4.9.exe "$rsrc")
data=$(($(u32 p3d-5.4.9.exe "$entry") - $(rsrc_rva p3d-5.4.9.exe) + rsrc))
head -c $((data + 48)) p3d-5.4.9.exe >truncated.exe
chmod 644 ./*.exe
ls -l ./*.exe
