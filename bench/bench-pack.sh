#!/usr/bin/env bash
# bench-pack.sh [CORPUS_DIR]
#
# The builder's goals, measured in one run on the product-like corpus made by
# ../shared/bench/make-corpus.sh (full; built into a temporary directory when
# no corpus is given), against gzip -9 and xz -6 -T1 of a tar of the same
# files, all timed alike (wall and CPU seconds, peak resident memory):
# - `tarnpack build` of the corpus at levels 1-5, read-back included, with
#   the default threads: size / gzip -9 size, time against gzip -9 and xz -6;
# - levels 3 and 5 without the read-back, and with --threads 1 (CPU time
#   and wall time; the bytes must be the same);
# - entries packed larger than stored (none allowed), the demo's first entry;
# - peak memory on a generated payload of 1.5 GB (sparse files and copies
#   of the corpus, made here).
# Timings of a shared machine say little: the load is printed, and ratios
# of runs made side by side say more. Asserts nothing; exits 1 if a build fails.
set -euo pipefail
export LC_ALL=C

Root=$(cd "$(dirname "$0")/.." && pwd)
Corpus=${1:-}
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
for Tool in gzip xz tar bc; do command -v $Tool >/dev/null || { echo "$Tool is missing" >&2; exit 2; }; done

if [ -z "$Corpus" ]; then
  Corpus=$Work/corpus
  echo "building the corpus in $Corpus ..." >&2
  bash "$Root/../shared/bench/make-corpus.sh" "$Corpus" full >&2
fi
TARN_JOBS=${TARN_JOBS:-2} bash "$Root/scripts/build.sh" host >/dev/null
Tarnpack=$Root/build/host/src/pack/tarnpack
Bytes=$(find "$Corpus" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')

# A minimal project around a folder of files, packed behind a stand-in stub.
MakeProject() { # FOLDER PROJECT
  mkdir -p "$2/Presetup"
  printf '[Config]\r\nProgramName=Bench\r\n' > "$2/Presetup/Tarn.ini"
  cp -r "$1" "$2/Data"
}
MakeProject "$Corpus" "$Work/project"
printf 'MZ' > "$Work/stub.exe"
head -c 4094 /dev/zero >> "$Work/stub.exe"
StubSize=$(stat -c %s "$Work/stub.exe")
(cd "$Corpus" && tar cf "$Work/corpus.tar" --sort=name .)

# Runs a command; sets Wall, Cpu (seconds) and Rss (MB).
Measure() {
  local Start End
  Start=$(date +%s.%N)
  /usr/bin/time -o "$Work/time" -f '%U %S %M' "$@" || { echo "failed: $*" >&2; exit 1; }
  End=$(date +%s.%N)
  Wall=$(echo "$End - $Start" | bc -l)
  read -r Cpu Rss < <(awk '{ print $1 + $2, $3 / 1024 }' "$Work/time")
}
Row() { # name size wall cpu rss
  awk -v n="$1" -v s="$2" -v w="$Wall" -v c="$Cpu" -v r="$Rss" -v b="$Bytes" 'BEGIN {
    printf "%-32s %10d bytes %6.2f s (cpu %6.2f s) %6.1f MB/s %6.0f MB RSS\n", n, s, w, c, b / 1e6 / w, r }'
}
Build() { # name setup args...
  local Name=$1 Setup=$2
  shift 2
  Measure "$Tarnpack" build "$Work/project" -o "$Setup" --stub "$Work/stub.exe" "$@" >/dev/null 2>&1
  Row "$Name" $(( $(stat -c %s "$Setup") - StubSize ))
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
echo "corpus: $Corpus, $Bytes bytes in $(find "$Corpus" -type f | wc -l) files"
Measure sh -c 'gzip -9 -c < "$1" > "$2"' sh "$Work/corpus.tar" "$Work/corpus.tar.gz"
Gz=$(stat -c %s "$Work/corpus.tar.gz"); GzWall=$Wall; GzCpu=$Cpu
Row "gzip -9 (tar)" "$Gz"
Measure sh -c 'xz -6 -T1 -c < "$1" > "$2"' sh "$Work/corpus.tar" "$Work/corpus.tar.xz"
XzWall=$Wall
Row "xz -6 -T1 (tar)" "$(stat -c %s "$Work/corpus.tar.xz")"
declare -A Size Time
for Level in 1 2 3 4 5; do
  Build "tarnpack level $Level" "$Work/setup$Level.exe" --level $Level
  Size[$Level]=$(( $(stat -c %s "$Work/setup$Level.exe") - StubSize )); Time[$Level]=$Wall
done
for Level in 3 5; do
  Build "tarnpack level $Level, no read-back" "$Work/noverify$Level.exe" --level $Level --no-verify
  Build "tarnpack level $Level, 1 thread" "$Work/one$Level.exe" --level $Level --threads 1
  cmp -s "$Work/one$Level.exe" "$Work/setup$Level.exe" && Same=same || Same=DIFFERENT
  echo "  level $Level: 1 thread and $(nproc) threads give the $Same bytes"
done

echo
awk -v gz="$Gz" -v s3="${Size[3]}" -v s5="${Size[5]}" -v t3="${Time[3]}" -v t5="${Time[5]}" \
    -v gzt="$GzWall" -v xzt="$XzWall" -v s1="${Size[1]}" -v s2="${Size[2]}" -v s4="${Size[4]}" 'BEGIN {
  printf "size / gzip -9 size: level 1 %.3f, 2 %.3f, 3 %.3f, 4 %.3f, 5 %.3f\n", s1 / gz, s2 / gz, s3 / gz, s4 / gz, s5 / gz
  printf "level 5: %.3f of gzip -9 (goal <= 0.73); %.1f s against %.1f s of xz -6: %.2fx its time (goal <= 1)\n",
         s5 / gz, t5, xzt, t5 / xzt
  printf "level 3: %.3f of gzip -9 (goal <= 0.78); read-back included %.2fx the speed of gzip -9 (goal >= 1.5)\n",
         s3 / gz, gzt / t3 }'

# Entries that came out larger than stored: none may.
Larger=$("$Tarnpack" list "$Work/setup3.exe" | awk 'NR > 1 && NF >= 8 && $2 > $1 { n++ } END { print n + 0 }')
echo "entries packed larger than stored at level 3: $Larger (goal 0)"
echo "entries stored at level 3: $("$Tarnpack" list "$Work/setup3.exe" | awk 'NR > 1 && NF >= 8 && $4 == "0x30" { n++ } END { print n + 0 }'); the first: $("$Tarnpack" list "$Work/setup3.exe" | awk 'NR == 2 { printf "%s, %s bytes, %s packed, method %s", $NF, $1, $2, $4 }')"

# Peak memory whatever the payload: 1.5 GB of sparse files and copies of the corpus.
Big=$Work/big
mkdir -p "$Big"
for I in 1 2 3; do cp "$Work/corpus.tar" "$Big/copy$I.tar"; done
Sparse=$(( (1500000000 - 3 * $(stat -c %s "$Work/corpus.tar")) / 3 ))
for I in 1 2 3; do truncate -s "$Sparse" "$Big/sparse$I.bin"; done
rm -rf "$Work/project"
MakeProject "$Big" "$Work/project"
BigBytes=$(find "$Work/project/Data" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
Bytes=$BigBytes
Build "tarnpack level 3, 1.5 GB payload" "$Work/big.exe" --level 3
echo "peak memory of tarnpack build: $BigBytes bytes of payload: $(printf '%.0f' "$Rss") MB (goal <= 64 MB + the 1 MiB window)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
