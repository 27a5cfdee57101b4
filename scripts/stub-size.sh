#!/usr/bin/env bash
# Where the bytes of a stub go: its sections as they lie in the file (with
# the padding to the file alignment), then the biggest contributors of code
# and data by object file, read from the linker map that the build writes
# beside the stub (tarn-setup.map).
# Usage: scripts/stub-size.sh STUB [MAP] [COUNT]
#        (MAP defaults to STUB with .map for .exe; COUNT, 12 by default, is
#        the number of contributors listed)
set -euo pipefail
Stub=$1
Map=${2:-${Stub%.exe}.map}
Count=${3:-12}

echo "stub $(basename "$Stub"): $(stat -c %s "$Stub") bytes"
# Sections: name, size in memory, size in the file (aligned). .bss takes no
# file bytes.
x86_64-w64-mingw32-objdump -h "$Stub" | awk '
  function Hex(Text,   Value, I) {   # mawk has no strtonum
    sub(/^0x/, "", Text); Value = 0
    for (I = 1; I <= length(Text); I++) Value = Value * 16 + index("0123456789abcdef", tolower(substr(Text, I, 1))) - 1
    return Value
  }
  $1 ~ /^[0-9]+$/ && NF >= 7 { Name = $2; Size = Hex($3); Offset = Hex($6)
    getline; File = ($0 ~ /CONTENTS/) ? 1 : 0
    Names[++N] = Name; Sizes[N] = Size; Offsets[N] = Offset; HasFile[N] = File }
  END {
    printf "  %-10s %8s %8s\n", "section", "bytes", "in file"
    Headers = Offsets[1]
    for (I = 1; I <= N; I++) if (HasFile[I] && Offsets[I] < Headers) Headers = Offsets[I]
    printf "  %-10s %8s %8d\n", "(headers)", "", Headers
    for (I = 1; I <= N; I++) {
      InFile = 0
      if (HasFile[I]) { InFile = Sizes[I]; if (InFile % 512) InFile += 512 - InFile % 512 }
      printf "  %-10s %8d %8d\n", Names[I], Sizes[I], InFile
    }
  }'

[ -f "$Map" ] || { echo "  (no linker map at $Map)"; exit 0; }
# Contributors: the input sections of the map, summed per object file (an
# archive member by its member name). A section name alone on its line has
# its address, size and file on the next one.
awk -v Count="$Count" '
  function Hex(Text,   Value, I) {   # mawk has no strtonum
    sub(/^0x/, "", Text); Value = 0
    for (I = 1; I <= length(Text); I++) Value = Value * 16 + index("0123456789abcdef", tolower(substr(Text, I, 1))) - 1
    return Value
  }
  function Add(Section, Size, File,   Kind) {
    if (Section ~ /^\.text/) Kind = "code"
    else if (Section ~ /^\.(rdata|rodata|data)/) Kind = "data"
    else return
    sub(/.*\//, "", File)
    sub(/\.(cpp\.)?obj\)?$|\.o\)?$/, "", File)
    sub(/^lib[a-z0-9_]*\.a\(/, "", File)
    Bytes[File] += Size; Part[File, Kind] += Size; Total[Kind] += Size
  }
  /^Linker script and memory map/ { Body = 1; next }
  !Body { next }
  Pending != "" {
    if ($1 ~ /^0x/ && NF >= 3) Add(Pending, Hex($2), $3)
    Pending = ""
  }
  /^ \.[^ ]+$/ { Pending = $1; next }
  /^ \.[^ ]+ +0x[0-9a-f]+ +0x[0-9a-f]+ / { Add($1, Hex($3), $4) }
  END {
    printf "  biggest contributors of code and data (of %d code, %d data bytes):\n", Total["code"], Total["data"]
    printf "  %-24s %8s %8s\n", "object", "code", "data"
    for (Shown = 0; Shown < Count; Shown++) {
      Best = ""
      for (File in Bytes) if (!(File in Done) && (Best == "" || Bytes[File] > Bytes[Best])) Best = File
      if (Best == "" || Bytes[Best] == 0) break
      Done[Best] = 1
      printf "  %-24s %8d %8d\n", Best, Part[Best, "code"], Part[Best, "data"]
    }
  }' "$Map"
