#!/usr/bin/env bash
# bench-decode.sh [CORPUS_DIR]
#
# Decoding speed of the setup's archive reader, in one run:
# - `tarnpack test` of setups packed from the corpus at levels 3 and 5, end to
#   end (process start included), against `gzip -dc` and `xz -dc` of a tar of
#   the same files; best wall time of $RUNS runs, CPU time beside it;
# - the stub's own decoder: bench/stub_decode_bench.cpp, built with the stub's
#   flags for i686 and run under Wine where 32-bit programs run, else (said
#   so) the x86_64 build of the same program.
# The corpus is made by ../shared/bench/make-corpus.sh (full) when none is
# given. Environment: RUNS (default 5), TARN_JOBS for the builds. Asserts nothing.
set -euo pipefail
export LC_ALL=C

Root=$(cd "$(dirname "$0")/.." && pwd)
Runs=${RUNS:-5}
Corpus=${1:-}
for Tool in gzip xz tar bc; do command -v $Tool >/dev/null || { echo "$Tool is missing" >&2; exit 2; }; done

Work=$(mktemp -d)
source "$Root/scripts/wine-session.sh"
trap 'WineSessionStop; rm -rf "$Work"' EXIT

if [ -z "$Corpus" ]; then
  Corpus=$Work/corpus
  echo "building the corpus in $Corpus ..." >&2
  bash "$Root/../shared/bench/make-corpus.sh" "$Corpus" full >&2
fi
TARN_JOBS=${TARN_JOBS:-2} bash "$Root/scripts/build.sh" host >/dev/null
Tarnpack=$Root/build/host/src/pack/tarnpack

# Best wall seconds of $Runs runs of a command (output discarded), and the
# CPU seconds (user + system) of that run, as "WALL CPU".
BestTime() {
  local Best= BestCpu= Start End Took Cpu
  for ((I = 0; I < Runs; I++)); do
    Start=$(date +%s.%N)
    /usr/bin/time -o "$Work/time" -f '%U %S' "$@" >/dev/null 2>&1
    Cpu=$(awk '{ print $1 + $2 }' "$Work/time")
    End=$(date +%s.%N)
    Took=$(echo "$End - $Start" | bc -l)
    if [ -z "$Best" ] || [ "$(echo "$Took < $Best" | bc -l)" = 1 ]; then Best=$Took; BestCpu=$Cpu; fi
  done
  echo "$Best $BestCpu"
}

# A minimal project around the corpus, packed behind a stand-in stub.
Project=$Work/project
mkdir -p "$Project/Presetup"
printf '[Config]\r\nProgramName=Bench\r\n' > "$Project/Presetup/Tarn.ini"
cp -r "$Corpus" "$Project/Data"
printf 'MZ' > "$Work/stub.exe"
head -c 4094 /dev/zero >> "$Work/stub.exe"
for Level in 3 5; do
  "$Tarnpack" build "$Project" -o "$Work/setup$Level.exe" --stub "$Work/stub.exe" --level "$Level" >/dev/null 2>&1 ||
    { echo "tarnpack build failed at level $Level" >&2; exit 1; }
done
(cd "$Corpus" && tar cf "$Work/corpus.tar" --sort=name .)
gzip -9 -c "$Work/corpus.tar" > "$Work/corpus.tar.gz"
xz -6 -T1 -c "$Work/corpus.tar" > "$Work/corpus.tar.xz"
Bytes=$(find "$Corpus" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); corpus $Bytes bytes; best of $Runs runs, wall (cpu) seconds"
read -r GzWall GzCpu <<<"$(BestTime gzip -dc "$Work/corpus.tar.gz")"
read -r XzWall XzCpu <<<"$(BestTime xz -dc "$Work/corpus.tar.xz")"
Line() { # name wall cpu
  awk -v n="$1" -v w="$2" -v c="$3" -v b="$Bytes" -v g="$GzWall" 'BEGIN {
    printf "%-26s %6.3f s (cpu %6.3f s) %7.1f MB/s   %5.2fx the speed of gzip -dc\n", n, w, c, b / 1e6 / w, g / w }'
}
Line "gzip -dc (tar.gz -9)" "$GzWall" "$GzCpu"
Line "xz -dc (tar.xz -6)" "$XzWall" "$XzCpu"
for Level in 3 5; do
  read -r Wall Cpu <<<"$(BestTime "$Tarnpack" test "$Work/setup$Level.exe")"
  Line "tarnpack test (level $Level)" "$Wall" "$Cpu"
done
echo "goal: tarnpack test >= 1.60x the speed of gzip -dc"

# The stub's decoder, built for i686 (the shipped stub) and x86_64 with the
# stub's flags; run under Wine in a private prefix.
Built=
for Build in win32 win64; do
  [ $Build = win32 ] && Arch=i686 || Arch=x86_64
  [ -f "$Root/build/$Build/build.ninja" ] ||
    cmake -S "$Root" -B "$Root/build/$Build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$Root/cmake/toolchain-$Arch-mingw.cmake" >/dev/null 2>&1 || continue
  cmake --build "$Root/build/$Build" --target tarn_stub_decode_bench -j "${TARN_JOBS:-2}" >/dev/null 2>&1 &&
    Built="$Built $Build"
done
WineSessionStart when-needed >/dev/null 2>&1 || { echo "stub decoder: no Wine session"; exit 0; }
WinSetup=$("$TARN_WINE" winepath -w "$Work/setup3.exe" 2>/dev/null | tr -d '\r')
for Build in $Built; do
  Program=$Root/build/$Build/src/archive/tarn_stub_decode_bench.exe
  if Out=$("$TARN_WINE" "$Program" "$WinSetup" "$Runs" </dev/null 2>&1); then
    echo "$Out" | grep 'stub decoder'
  else
    echo "stub decoder ($Build build): does not run here (this machine may run no 32-bit code)"
  fi
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
