#!/usr/bin/env bash
# Decoding speed of the setup's archive reader, measured with `tarnpack test`
# on archives our builder packs, next to `gzip -dc` and `xz -dc` of the very
# same bytes. Prints MB/s of output (best of several runs) and ratios; it
# asserts nothing.
#
# Usage: bench/bench-decode.sh [CORPUS_DIR]
#   CORPUS_DIR  files to pack (e.g. made by make-corpus.sh); without it a mix
#               of this system's documentation, programs and synthetic sound
#               is used, split into an LZ set and an audio set.
# Environment: TARNPACK (default build/host/src/pack/tarnpack), RUNS (default 5),
#              LEVEL (compression level for tarnpack build, default 3).
set -euo pipefail
export LC_ALL=C

Root=$(cd "$(dirname "$0")/.." && pwd)
Tarnpack=${TARNPACK:-$Root/build/host/src/pack/tarnpack}
Runs=${RUNS:-5}
Level=${LEVEL:-3}
[ -x "$Tarnpack" ] || { echo "no tarnpack at $Tarnpack (build it, or set TARNPACK)" >&2; exit 2; }
for Tool in gzip xz tar; do command -v $Tool >/dev/null || { echo "$Tool is missing" >&2; exit 2; }; done

Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT

# Best wall-clock seconds of $Runs runs of a command (output discarded).
BestTime() {
  local Best= Start End Took
  for ((I = 0; I < Runs; I++)); do
    Start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    End=$(date +%s.%N)
    Took=$(echo "$End - $Start" | bc -l)
    if [ -z "$Best" ] || [ "$(echo "$Took < $Best" | bc -l)" = 1 ]; then Best=$Took; fi
  done
  echo "$Best"
}

MegabytesPerSecond() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }

# Packs the files of $2 into a setup program $3 with a minimal project.
PackSet() {
  local Name=$1 Source=$2 Out=$3 Project=$Work/$1.project
  mkdir -p "$Project/Presetup" "$Project/Data"
  printf '[Config]\r\nProgramName=Bench\r\n' > "$Project/Presetup/Tarn.ini"
  cp -r "$Source/." "$Project/Data/"
  printf 'MZ' > "$Work/stub.exe"
  head -c 4094 /dev/zero >> "$Work/stub.exe"
  "$Tarnpack" build "$Project" -o "$Out" --stub "$Work/stub.exe" --level "$Level" --no-verify >/dev/null 2>&1 ||
    { echo "tarnpack build failed for $Name:" >&2; "$Tarnpack" build "$Project" -o "$Out" --stub "$Work/stub.exe" 2>&1 | grep error >&2; exit 1; }
}

Measure() {
  local Name=$1 Source=$2
  local Setup=$Work/$Name.exe Tar=$Work/$Name.tar
  PackSet "$Name" "$Source" "$Setup"
  (cd "$Source" && tar cf "$Tar" --sort=name .)
  gzip -6 -c "$Tar" > "$Tar.gz"
  xz -6 -T1 -c "$Tar" > "$Tar.xz"
  local Bytes Packed Gz Xz
  Bytes=$(find "$Source" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
  Packed=$(stat -c %s "$Setup")
  Gz=$(stat -c %s "$Tar.gz"); Xz=$(stat -c %s "$Tar.xz")
  local TTarn TGz TXz
  "$Tarnpack" test "$Setup" >/dev/null || { echo "tarnpack test failed on $Name" >&2; exit 1; }
  TTarn=$(BestTime "$Tarnpack" test "$Setup")
  TGz=$(BestTime gzip -dc "$Tar.gz")
  TXz=$(BestTime xz -dc "$Tar.xz")
  printf '%-6s %7.1f MB  | tarnpack test %7s MB/s (ratio %5.3f) | gzip -dc %7s MB/s (%5.3f) | xz -dc %7s MB/s (%5.3f) | vs gzip %sx\n' \
    "$Name" "$(echo "$Bytes / 1000000" | bc -l)" \
    "$(MegabytesPerSecond "$Bytes" "$TTarn")" "$(echo "$Packed / $Bytes" | bc -l)" \
    "$(MegabytesPerSecond "$Bytes" "$TGz")" "$(echo "$Gz / $Bytes" | bc -l)" \
    "$(MegabytesPerSecond "$Bytes" "$TXz")" "$(echo "$Xz / $Bytes" | bc -l)" \
    "$(echo "scale=2; $TGz / $TTarn" | bc -l)"
}

echo "tarnpack build level $Level, best of $Runs runs; MB/s of decoded output"
if [ $# -ge 1 ]; then
  Measure corpus "$1"
  exit 0
fi

# LZ set: text documentation and programs of this system, sorted for a stable pick.
Lz=$Work/lz
mkdir -p "$Lz/doc" "$Lz/bin"
find /usr/share/doc -name '*.gz' -size +2k | sort | sed -n '1,400p' > "$Work/doc-list"
while read -r File; do
  Name=$(echo "$File" | md5sum | cut -c1-16)
  zcat "$File" > "$Lz/doc/$Name.txt" 2>/dev/null || true
done < "$Work/doc-list"
for Program in cmake ninja gzip xz tar objdump ld.bfd; do
  Path=$(command -v $Program || true)
  [ -n "$Path" ] && cp "$(readlink -f "$Path")" "$Lz/bin/$Program"
done
Measure lz "$Lz"

# Audio set: 16-bit PCM, mono and stereo, made with sox when it is there.
if command -v sox >/dev/null; then
  Audio=$Work/audio
  mkdir -p "$Audio"
  sox -n -r 22050 -c 1 -b 16 "$Audio/mono.wav" synth 60 pluck C3 pluck E3 tremolo 3 40 2>/dev/null
  sox -n -r 44100 -c 2 -b 16 "$Audio/stereo.wav" synth 60 sine 220-880 brownnoise gain -6 2>/dev/null
  Measure audio "$Audio"
else
  echo "audio: sox not found, set skipped"
fi
