#!/usr/bin/env bash
# bench-pack.sh [CORPUS_DIR] [LEVEL...]
#
# Compression benchmark of tarnpack's archive writer against gzip -9 and
# xz -6 (each of a tar of the same files), on the product-like corpus made by
# ../shared/bench/make-corpus.sh (built into a temporary directory when no
# corpus is given). Prints sizes, ratios and speeds; CPU times next to the
# wall clock, since the machine may be shared. Every tarnpack archive is read
# back with the stub's reader and compared byte for byte.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench-pack}
CORPUS=${1:-}
shift || true
LEVELS=("$@")
[ ${#LEVELS[@]} -gt 0 ] || LEVELS=(1 2 3 4 5)

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

if [ -z "$CORPUS" ]; then
  CORPUS=$TMP/corpus
  echo "building the corpus in $CORPUS ..." >&2
  bash "$ROOT/../shared/bench/make-corpus.sh" "$CORPUS" full >&2
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target tarn_pack_bench -j2 >/dev/null

INPUT=$(find "$CORPUS" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
(cd "$CORPUS" && tar cf "$TMP/corpus.tar" --sort=name .)

# name, command reading $TMP/corpus.tar on stdin
measure() {
  local name=$1; shift
  local start end size cpu
  start=$(date +%s.%N)
  cpu=$( { /usr/bin/time -f '%U %S' "$@" < "$TMP/corpus.tar" > "$TMP/out" ; } 2>&1 | tail -1 | awk '{ print $1 + $2 }')
  end=$(date +%s.%N)
  size=$(stat -c %s "$TMP/out")
  awk -v n="$name" -v s="$size" -v i="$INPUT" -v w="$(echo "$end - $start" | bc)" -v c="$cpu" 'BEGIN {
    printf "%-18s %10d bytes, %6.2f %% of input, %6.2f s (cpu %.2f s), %6.2f MB/s (cpu %.2f MB/s)\n",
           n ":", s, 100 * s / i, w, c, i / 1e6 / w, i / 1e6 / c }'
  echo "$size" > "$TMP/size.$name"
}

echo "corpus: $CORPUS, $INPUT bytes in $(find "$CORPUS" -type f | wc -l) files"
measure gzip-9 gzip -9 -c
measure xz-6 xz -6 -T1 -c
"$BUILD/tests/tarn_pack_bench" "$CORPUS" "${LEVELS[@]}" | tee "$TMP/tarn.txt"
GZ=$(cat "$TMP/size.gzip-9")
awk -v gz="$GZ" '/^tarnpack level/ { gsub(":", "", $3); printf "level %s: %.3f of the gzip -9 size\n", $3, $4 / gz }' "$TMP/tarn.txt"
